// The installer window as the user sees it after a successful set-up, with
// and without a licence to accept.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e_fixture.h"
#include "installer_form.h"

namespace ssi::e2e {
namespace {

namespace id = control_id;
using driver::ControlState;
using driver::ReadControlById;
using driver::ReadWindow;

constexpr int kContentBottom = 152;
constexpr int kButtonPanelHeight = 63;
constexpr int kLicenceHeight = 103;  // also the licence box's minimum height

class InstallerWindow : public E2eTest {};

// buttonPanel fills the client width at the bottom; the install button keeps
// its right margin and the progress bar its left and right ones.
void ExpectButtonPanelLaidOut(HWND form) {
  const driver::WindowState w = ReadWindow(form);
  const ControlState panel = ReadControlById(form, id::kButtonPanel);
  EXPECT_EQ(panel.inParent.left, 0);
  EXPECT_EQ(panel.inParent.top, w.client.height - kButtonPanelHeight);
  EXPECT_EQ(panel.inParent.width, w.client.width);
  EXPECT_EQ(panel.inParent.height, kButtonPanelHeight);
  const ControlState install = ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.inParent.top, 34);
  EXPECT_EQ(install.inParent.width, 107);
  EXPECT_EQ(panel.inParent.width - install.inParent.right(), 2) << "installBtn is anchored right";
  const ControlState progress = ReadControlById(form, id::kProgressBar);
  EXPECT_EQ(progress.inParent.left, 1);
  EXPECT_EQ(progress.inParent.top, 20);
  EXPECT_EQ(panel.inParent.width - progress.inParent.right(), 2) << "progressBar is anchored right";
}

// The licence box fills the gap between the panels less 6 pixels, but never
// gets lower than its minimum height.
void ExpectLicenceBoxBetweenPanels(HWND form) {
  const driver::WindowState w = ReadWindow(form);
  const ControlState licence = ReadControlById(form, id::kLicenseScrollBox);
  const int buttonTop = w.client.height - kButtonPanelHeight;
  EXPECT_EQ(licence.inParent.left, 0);
  EXPECT_EQ(licence.inParent.top, kContentBottom + 2);
  EXPECT_EQ(licence.inParent.width, w.client.width);
  EXPECT_EQ(licence.inParent.height,
            std::max(kLicenceHeight, (buttonTop - 2) - (kContentBottom + 4)));
}

TEST_F(InstallerWindow, WithoutLicenceShowsInstallOnAFixedWindowFittedToThePreview) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Meadow(false, false));
  ASSERT_TRUE(form);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  const driver::WindowState w = ReadWindow(form);
  EXPECT_EQ(w.caption, "Install meadow");
  EXPECT_FALSE(w.sizeable);
  EXPECT_TRUE(w.systemMenu);
  EXPECT_FALSE(w.minimizeBox);
  EXPECT_FALSE(w.maximizeBox);
  EXPECT_EQ(w.window.width, 359);

  const ControlState content = ReadControlById(form, id::kContentPanel);
  ASSERT_TRUE(content.exists());
  EXPECT_EQ(content.inParent.top, 0);
  EXPECT_EQ(content.inParent.bottom(), kContentBottom);
  EXPECT_EQ(w.window.height, w.frameHeight() + kContentBottom + kButtonPanelHeight)
      << "frame " << w.frameHeight() << ", client " << driver::Describe(w.client);

  const ControlState install = ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.text, "Install");
  EXPECT_TRUE(install.visible);
  EXPECT_TRUE(install.enabled);
  EXPECT_FALSE(ReadControlById(form, id::kDeclineBtn).visible);
  EXPECT_FALSE(ReadControlById(form, id::kLicenseScrollBox).visible);
  EXPECT_TRUE(ReadControlById(form, id::kBmpPanel).visible) << "the bitmap preview is shown";
  EXPECT_FALSE(ReadControlById(form, id::kLabCopying).visible) << "no status before the install";
  EXPECT_FALSE(ReadControlById(form, id::kLabFile).visible);
  ExpectButtonPanelLaidOut(form);
  std::cout << driver::DumpWindow(form);

  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

TEST_F(InstallerWindow, WithLicenceShowsItBetweenThePanelsOnASizeableWindow) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Meadow(true, false));
  ASSERT_TRUE(form);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  const driver::WindowState w = ReadWindow(form);
  EXPECT_EQ(w.caption, "Install meadow");
  EXPECT_TRUE(w.sizeable);
  EXPECT_EQ(w.window.width, 359);
  EXPECT_EQ(w.window.height,
            w.frameHeight() + kContentBottom + kLicenceHeight + 4 + kButtonPanelHeight)
      << "frame " << w.frameHeight() << ", client " << driver::Describe(w.client);

  const ControlState install = ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.text, "Accept and Install");
  EXPECT_TRUE(install.enabled);
  const ControlState decline = ReadControlById(form, id::kDeclineBtn);
  EXPECT_TRUE(decline.visible);
  EXPECT_TRUE(decline.enabled);
  EXPECT_EQ(decline.text, "&Decline");
  const ControlState licence = ReadControlById(form, id::kLicenseScrollBox);
  EXPECT_TRUE(licence.visible);
  EXPECT_EQ(licence.text, kLicenceText);
  const LONG style = GetWindowLongA(licence.hwnd, GWL_STYLE);
  EXPECT_NE(style & ES_READONLY, 0) << "the licence cannot be edited";
  EXPECT_NE(style & WS_VSCROLL, 0);

  POINT minimum{};
  ASSERT_TRUE(driver::MinimumTrackSize(form, minimum));
  EXPECT_EQ(minimum.x, 359);
  // The design's 340, unless that would let the buttons cover the licence box.
  EXPECT_EQ(minimum.y, std::max(340, w.frameHeight() + kContentBottom + 2 + kLicenceHeight +
                                         kButtonPanelHeight));
  ExpectButtonPanelLaidOut(form);
  ExpectLicenceBoxBetweenPanels(form);
  std::cout << driver::DumpWindow(form);

  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

TEST_F(InstallerWindow, ResizingKeepsTheButtonsAtTheBottomAndStretchesTheLicence) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Meadow(true, false));
  ASSERT_TRUE(form);

  POINT minimum{};
  ASSERT_TRUE(driver::MinimumTrackSize(form, minimum));
  for (const SIZE size : {SIZE{520, 480}, SIZE{400, 600}, SIZE{minimum.x, minimum.y}}) {
    SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
    ASSERT_TRUE(driver::ResizeWindow(form, size.cx, size.cy));
    const driver::WindowState w = ReadWindow(form);
    EXPECT_EQ(w.window.width, size.cx);
    EXPECT_EQ(w.window.height, size.cy);
    ExpectButtonPanelLaidOut(form);
    ExpectLicenceBoxBetweenPanels(form);
    EXPECT_EQ(ReadControlById(form, id::kContentPanel).inParent.bottom(), kContentBottom)
        << "the preview keeps its place";
  }

  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

}  // namespace
}  // namespace ssi::e2e
