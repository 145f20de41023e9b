// The movie preview through the real installer: the stub with a movie
// payload, started as its own process, with the stand-in control present,
// missing and installed from the payload, or missing for good.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "flash_standin.h"
#include "flash_test_support.h"
#include "installer_form.h"
#include "window_driver.h"

namespace ssi::e2e {
namespace {

using Lines = std::vector<std::string>;

// Saves what the screen shows of `window` as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& path) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
  GdiFlush();
  const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  if (bits) bytes.append(static_cast<const char*>(bits), imageSize);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return copied && bits && test::WriteWholeFile(path, bytes);
}

class FlashWindow : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    test::ResetStandin();
    test::UnregisterStandinControl();
    DeleteFileA((meadow_.windowsDir + "flashax.exe").c_str());
  }
  void TearDown() override { test::ResetStandin(); }

  // The meadow payload with a movie preview, and the stand-in installer as
  // entry 2 when asked for.
  std::string MovieInstaller(bool withFlashInstaller) const {
    TestPayload p = MeadowPayload(library_, false, false);
    p.displayMode = 2;
    p.entries[entry::kPreview] = {"installer.scf", "FWS stand-in movie", 5};
    if (withFlashInstaller)
      p.entries[entry::kFlashInstaller] = {"flashax.exe",
                                           test::ReadWholeFile(test::StandinInstallerPath()), 3};
    return Compose(stub_, p).image;
  }

  static HWND MovieWindow(HWND form) {
    for (HWND w : driver::Descendants(form))
      if (driver::ClassOf(w) == standin::kWindowClass) return w;
    return nullptr;
  }

  static bool InstallEnabled(HWND form) {
    return driver::ReadControlById(form, control_id::kInstallBtn).enabled;
  }

  // Closes the window and returns the calls the control got meanwhile.
  Lines CloseAndCollect(InstallerSession& session, HWND form) {
    test::ClearStandinLog();
    CloseAndWait(session, form, driver::CloseHow::kCloseBox);
    return test::StandinLog();
  }
};

TEST_F(FlashWindow, WithTheControlPresentTheMoviePlaysInsideTheContentPanel) {
  test::RegisterStandinControl();
  test::ClearStandinLog();
  InstallerSession session;
  const HWND form = LaunchAndWaitForForm(session, MovieInstaller(true));
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(InstallEnabled(form));
  const HWND movie = MovieWindow(form);
  ASSERT_NE(movie, nullptr) << driver::DumpWindow(form);
  const driver::ControlState state = driver::ReadControl(movie);
  EXPECT_EQ(GetParent(movie), driver::FindControl(form, control_id::kContentPanel));
  EXPECT_EQ(driver::Describe(state.inParent), driver::Describe({1, 1, 350, 150}));
  EXPECT_TRUE(state.visible);
  // One probe, no installer, then the player's seven steps.
  EXPECT_EQ(test::StandinLog(),
            (Lines{"create", "destroy", "create", "SetClientSite site", "InitNew",
                   "dispatch put Movie " + meadow_.saverDir + "installer.scf",
                   "DoVerb -5 rect=1,1,351,151", "SetVariable WMode=Opaque", "dispatch get SAlign ",
                   "SetVariable =alClient", "dispatch put Menu false"}));
  EXPECT_EQ(GetFileAttributesA((meadow_.windowsDir + "flashax.exe").c_str()),
            INVALID_FILE_ATTRIBUTES);

  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  const char* buildDir = std::getenv("SSI_BUILD_DIR");
  if (buildDir) {
    const std::string shot =
        test::UnixToWinePath(std::string(buildDir) + "/flash-movie-window.bmp");
    EXPECT_TRUE(SaveScreenshot(form, shot)) << shot;
  }

  EXPECT_EQ(CloseAndCollect(session, form),
            (Lines{"StopPlay", "InPlaceDeactivate", "Close", "SetClientSite null", "destroy"}));
}

TEST_F(FlashWindow, AMissingControlIsInstalledHiddenFromThePayloadAndThenPlays) {
  InstallerSession session;
  const HWND form = LaunchAndWaitForForm(session, MovieInstaller(true));
  ASSERT_NE(form, nullptr);
  const Lines log = test::StandinLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "flashax /Q show=0"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "flashax /Q: control registered"), log.end());
  // Created in the installer that was running while the control came.
  EXPECT_NE(MovieWindow(form), nullptr) << driver::DumpWindow(form);
  EXPECT_TRUE(InstallEnabled(form));
  CloseAndCollect(session, form);
}

TEST_F(FlashWindow, AMissingControlWithoutAFlashInstallerLeavesNoMovieAndInstallDisabled) {
  InstallerSession session;
  const HWND form = LaunchAndWaitForForm(session, MovieInstaller(false));
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(MovieWindow(form), nullptr);
  EXPECT_FALSE(InstallEnabled(form));
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  EXPECT_TRUE(CloseAndCollect(session, form).empty());
}

TEST_F(FlashWindow, AnInstallerThatLeavesTheControlMissingKeepsInstallEnabled) {
  test::SetStandinNumber(standin::kInstallerSkips, 1);
  InstallerSession session;
  const HWND form = LaunchAndWaitForForm(session, MovieInstaller(true));
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(MovieWindow(form), nullptr);
  EXPECT_TRUE(InstallEnabled(form));
  const Lines log = test::StandinLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "flashax /Q: told to register nothing"), log.end());
  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

}  // namespace
}  // namespace ssi::e2e
