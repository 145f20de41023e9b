// The installer window as the user sees it after a successful set-up, with
// and without a licence to accept, and at 96, 120 and 144 DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "screenshot.h"
#include "win_handles.h"

namespace ssi::e2e {
namespace {

namespace id = control_id;
using driver::Box;
using driver::ControlState;
using driver::ReadControlById;
using driver::ReadWindow;

constexpr int kContentBottom = 152;
constexpr int kButtonPanelHeight = 63;
constexpr int kLicenceHeight = 103;  // also the licence box's minimum height

// A design size (96 DPI) at `dpi`.
int AtDpi(int length, int dpi) { return MulDiv(length, dpi, 96); }

class InstallerWindow : public E2eTest {};

// buttonPanel fills the client width at the bottom; the install button keeps
// its right margin and the progress bar its left and right ones. A margin
// left between two sizes that were each rounded may be a pixel off.
void ExpectButtonPanelLaidOut(HWND form, int dpi = 96) {
  const driver::WindowState w = ReadWindow(form);
  const ControlState panel = ReadControlById(form, id::kButtonPanel);
  EXPECT_EQ(panel.inParent.left, 0);
  EXPECT_EQ(panel.inParent.top, w.client.height - AtDpi(kButtonPanelHeight, dpi));
  EXPECT_EQ(panel.inParent.width, w.client.width);
  EXPECT_EQ(panel.inParent.height, AtDpi(kButtonPanelHeight, dpi));
  const ControlState install = ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.inParent.top, AtDpi(34, dpi));
  EXPECT_EQ(install.inParent.width, AtDpi(107, dpi));
  EXPECT_EQ(install.inParent.height, AtDpi(25, dpi));
  EXPECT_NEAR(panel.inParent.width - install.inParent.right(), AtDpi(2, dpi), 1)
      << "installBtn is anchored right";
  const ControlState progress = ReadControlById(form, id::kProgressBar);
  EXPECT_EQ(progress.inParent.left, AtDpi(1, dpi));
  EXPECT_EQ(progress.inParent.top, AtDpi(20, dpi));
  EXPECT_NEAR(panel.inParent.width - progress.inParent.right(), AtDpi(2, dpi), 1)
      << "progressBar is anchored right";
}

// The licence box fills the gap between the panels less 6 pixels, but never
// gets lower than its minimum height, and the buttons never cover it.
void ExpectLicenceBoxBetweenPanels(HWND form, int dpi = 96) {
  const driver::WindowState w = ReadWindow(form);
  const ControlState licence = ReadControlById(form, id::kLicenseScrollBox);
  const int contentBottom = AtDpi(kContentBottom, dpi);
  const int buttonTop = w.client.height - AtDpi(kButtonPanelHeight, dpi);
  EXPECT_EQ(licence.inParent.left, 0);
  EXPECT_EQ(licence.inParent.top, contentBottom + AtDpi(2, dpi));
  EXPECT_EQ(licence.inParent.width, w.client.width);
  EXPECT_EQ(licence.inParent.height,
            std::max(AtDpi(kLicenceHeight, dpi),
                     (buttonTop - AtDpi(2, dpi)) - (contentBottom + AtDpi(4, dpi))));
  EXPECT_LE(licence.inParent.bottom(), buttonTop) << "the buttons cover the licence box";
}

// Every visible control lies inside its parent's client area, and the
// buttons apart.
void ExpectNothingClipped(HWND form) {
  for (HWND child : driver::Descendants(form)) {
    const ControlState c = driver::ReadControl(child);
    if (!c.visible || c.id == id::kLabCopying || c.id == id::kLabFile) continue;
    Box parent = GetParent(child) == form ? ReadWindow(form).client
                                          : driver::ReadControl(GetParent(child)).client;
    // As designed, `contentPanel` is a pixel wider than the window's client
    // area; only its bevel's right edge lies beyond, the picture does not.
    if (c.id == id::kContentPanel) parent.width = c.inParent.width;
    EXPECT_TRUE(c.inParent.left >= 0 && c.inParent.top >= 0 && c.inParent.right() <= parent.width &&
                c.inParent.bottom() <= parent.height)
        << "control " << c.id << " at " << driver::Describe(c.inParent) << " in "
        << driver::Describe(parent);
  }
  const Box decline = ReadControlById(form, id::kDeclineBtn).inParent;
  EXPECT_LT(decline.right(), ReadControlById(form, id::kInstallBtn).inParent.left)
      << "the buttons overlap";
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

// Wine takes the system DPI from HKCU\Control Panel\Desktop\LogPixels when a
// program starts; the caption growing with it shows that Wine honoured it.
bool SetSystemDpi(DWORD dpi) {
  RegKey key;
  return RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                         nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
         RegSetValueExA(key.get(), "LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi),
                        sizeof dpi) == ERROR_SUCCESS;
}

class WindowDpi : public E2eTest {};

// At each DPI, with and without a licence: the client area is the 96-DPI one
// scaled, every control and rule scales, and resizing down to the smallest size the user can drag
// it to keeps the buttons at the bottom and the licence box at least its minimum height, uncovered.
// A screenshot of each goes to build/win32/dpi-screenshots.
TEST_F(WindowDpi, EverySizeScalesWithTheSystemDpiAndTheLicenceKeepsItsMinimum) {
  const char* buildDir = std::getenv("SSI_BUILD_DIR");
  ASSERT_TRUE(buildDir && *buildDir);
  const std::string shots = test::UnixToWinePath(buildDir) + "\\dpi-screenshots\\";
  CreateDirectoryA(shots.c_str(), nullptr);

  driver::WindowState at96;
  driver::WindowState plainAt96;
  for (const int dpi : {96, 120, 144}) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    ASSERT_TRUE(SetSystemDpi(static_cast<DWORD>(dpi)));
    InstallerSession session;
    HWND form = LaunchAndWaitForForm(session, Meadow(true, false));
    ASSERT_TRUE(form);
    EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
    Sleep(300);  // let the preview paint
    const std::string shot = shots + "installer-" + std::to_string(dpi) + "dpi.bmp";
    EXPECT_TRUE(SaveScreenshot(form, shot)) << shot;
    std::cout << shot << "\n" << driver::DumpWindow(form);

    const driver::WindowState w = ReadWindow(form);
    if (dpi == 96) {
      at96 = w;
    } else {
      EXPECT_GT(w.frameHeight(), at96.frameHeight()) << "Wine did not take the DPI";
    }
    EXPECT_NEAR(w.client.width, AtDpi(at96.client.width, dpi), 2);
    EXPECT_NEAR(w.client.height, AtDpi(at96.client.height, dpi), 2);
    EXPECT_EQ(ReadControlById(form, id::kBmpPanel).inParent.width, AtDpi(350, dpi));
    EXPECT_EQ(ReadControlById(form, id::kLicenseScrollBox).inParent.height,
              AtDpi(kLicenceHeight, dpi));

    POINT minimum{};
    ASSERT_TRUE(driver::MinimumTrackSize(form, minimum));
    EXPECT_NEAR(minimum.x - w.frameWidth(), AtDpi(359 - at96.frameWidth(), dpi), 2);
    for (const SIZE size :
         {SIZE{w.window.width, w.window.height}, SIZE{AtDpi(520, dpi), AtDpi(460, dpi)},
          SIZE{AtDpi(400, dpi), AtDpi(500, dpi)}, SIZE{minimum.x, minimum.y}}) {
      SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
      ASSERT_TRUE(driver::ResizeWindow(form, size.cx, size.cy));
      const driver::WindowState resized = ReadWindow(form);
      EXPECT_EQ(resized.window.width, size.cx);
      EXPECT_EQ(resized.window.height, size.cy);
      EXPECT_EQ(ReadControlById(form, id::kContentPanel).inParent.bottom(),
                AtDpi(kContentBottom, dpi))
          << "the preview keeps its place";
      ExpectButtonPanelLaidOut(form, dpi);
      ExpectLicenceBoxBetweenPanels(form, dpi);
      ExpectNothingClipped(form);
    }

    CloseAndWait(session, form, driver::CloseHow::kCloseBox);
    EXPECT_EQ(session.ExitCode(), kExitNotInstalled);

    // Without a licence the frame is a fixed one, which Wine does not grow.
    InstallerSession plainSession;
    HWND plain = LaunchAndWaitForForm(plainSession, Meadow(false, false));
    ASSERT_TRUE(plain);
    const driver::WindowState p = ReadWindow(plain);
    if (dpi == 96) plainAt96 = p;
    EXPECT_NEAR(p.client.width, AtDpi(plainAt96.client.width, dpi), 2);
    EXPECT_EQ(p.client.height, AtDpi(kContentBottom, dpi) + AtDpi(kButtonPanelHeight, dpi));
    ExpectButtonPanelLaidOut(plain, dpi);
    ExpectNothingClipped(plain);
    CloseAndWait(plainSession, plain, driver::CloseHow::kCloseBox);
  }
}

}  // namespace
}  // namespace ssi::e2e
