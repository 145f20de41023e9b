// The installer window at 96, 120 and 144 DPI. Wine takes the system DPI
// from HKCU\Control Panel\Desktop\LogPixels when a program starts, so each
// installer is started after the value is set; the caption growing with it
// shows that Wine honoured it. A screenshot of each window goes to
// build/win32/dpi-screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"

namespace ssi::e2e {
namespace {

namespace id = control_id;
using driver::Box;
using driver::ReadControlById;
using driver::ReadWindow;

int AtDpi(int length, int dpi) { return MulDiv(length, dpi, 96); }

bool SetSystemDpi(DWORD dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const bool set = RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi),
                                  sizeof dpi) == ERROR_SUCCESS;
  RegCloseKey(key);
  return set;
}

// The window as the screen shows it, as a 24-bit BMP file.
void SaveScreenshot(HWND form, const std::string& path) {
  RECT r{};
  GetWindowRect(form, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  const HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD pixelBytes = stride * static_cast<DWORD>(height);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  const BITMAPFILEHEADER file{0x4D42, offset + pixelBytes, 0, 0, offset};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(pixelBytes));
  SelectObject(memory, old);
  DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  std::cout << "screenshot: " << path << " (" << width << "x" << height << ")\n";
}

bool Inside(const Box& inner, const Box& outer) {
  return inner.left >= 0 && inner.top >= 0 && inner.right() <= outer.width &&
         inner.bottom() <= outer.height;
}

// Every visible control lies inside its parent's client area, the buttons
// apart, and the licence box between the panels without being covered.
void ExpectNothingClipped(HWND form) {
  for (HWND child : driver::Descendants(form)) {
    const driver::ControlState c = driver::ReadControl(child);
    if (!c.visible || c.id == id::kLabCopying || c.id == id::kLabFile) continue;
    const driver::ControlState parent = driver::ReadControl(GetParent(child));
    Box parentClient = GetParent(child) == form ? ReadWindow(form).client : parent.client;
    // As designed, `contentPanel` is a pixel wider than the window's client
    // area; only its bevel's right edge lies beyond, the picture does not.
    if (c.id == id::kContentPanel) parentClient.width = c.inParent.width;
    EXPECT_TRUE(Inside(c.inParent, parentClient))
        << "control " << c.id << " at " << driver::Describe(c.inParent) << " in "
        << driver::Describe(parentClient);
  }
  const Box decline = ReadControlById(form, id::kDeclineBtn).inParent;
  const Box install = ReadControlById(form, id::kInstallBtn).inParent;
  EXPECT_LT(decline.right(), install.left) << "the buttons overlap";
  const Box content = ReadControlById(form, id::kContentPanel).inParent;
  const Box licence = ReadControlById(form, id::kLicenseScrollBox).inParent;
  const Box panel = ReadControlById(form, id::kButtonPanel).inParent;
  EXPECT_GE(licence.top, content.bottom());
  EXPECT_LE(licence.bottom(), panel.top) << "the buttons cover the licence box";
}

class WindowDpi : public E2eTest {};

TEST_F(WindowDpi, EverySizeScalesWithTheSystemDpiAndTheLicenceKeepsItsMinimum) {
  const char* buildDir = std::getenv("SSI_BUILD_DIR");
  ASSERT_TRUE(buildDir && *buildDir);
  const std::string shots = test::UnixToWinePath(buildDir) + "\\dpi-screenshots\\";
  CreateDirectoryA(shots.c_str(), nullptr);

  driver::WindowState at96;
  for (const int dpi : {96, 120, 144}) {
    SCOPED_TRACE(std::to_string(dpi) + " DPI");
    ASSERT_TRUE(SetSystemDpi(static_cast<DWORD>(dpi)));
    InstallerSession session;
    HWND form = LaunchAndWaitForForm(session, Meadow(true, false));
    ASSERT_TRUE(form);
    EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
    Sleep(300);  // let the preview paint
    SaveScreenshot(form, shots + "installer-" + std::to_string(dpi) + "dpi.bmp");
    std::cout << driver::DumpWindow(form);

    const driver::WindowState w = ReadWindow(form);
    if (dpi == 96) {
      at96 = w;
      EXPECT_EQ(w.window.width, 359) << "the design's width, unscaled";
    } else {
      EXPECT_GT(w.frameHeight(), at96.frameHeight()) << "Wine did not take the DPI";
    }
    EXPECT_NEAR(w.client.width, AtDpi(at96.client.width, dpi), 2);
    EXPECT_NEAR(w.client.height, AtDpi(at96.client.height, dpi), 2);
    EXPECT_EQ(ReadControlById(form, id::kContentPanel).inParent.bottom(), AtDpi(152, dpi));
    EXPECT_EQ(ReadControlById(form, id::kBmpPanel).inParent.width, AtDpi(350, dpi));
    EXPECT_EQ(ReadControlById(form, id::kButtonPanel).inParent.height, AtDpi(63, dpi));
    EXPECT_EQ(ReadControlById(form, id::kInstallBtn).inParent.height, AtDpi(25, dpi));
    EXPECT_EQ(ReadControlById(form, id::kLicenseScrollBox).inParent.height, AtDpi(103, dpi));
    ExpectNothingClipped(form);

    // At the smallest size the user can drag it to, the licence box keeps
    // its minimum height and stays clear of the buttons.
    POINT minimum{};
    ASSERT_TRUE(driver::MinimumTrackSize(form, minimum));
    EXPECT_NEAR(minimum.x - w.frameWidth(), AtDpi(359 - at96.frameWidth(), dpi), 2);
    ASSERT_TRUE(driver::ResizeWindow(form, minimum.x, minimum.y));
    EXPECT_EQ(ReadControlById(form, id::kLicenseScrollBox).inParent.height, AtDpi(103, dpi));
    ExpectNothingClipped(form);

    CloseAndWait(session, form, driver::CloseHow::kCloseBox);
    EXPECT_EQ(session.ExitCode(), kExitNotInstalled);
  }
}

}  // namespace
}  // namespace ssi::e2e
