// The installer end to end on a machine without Flash: a movie installer
// that carries our flashax.exe installs the control from its payload, shows
// the movie in its content panel (captured for capture.sh to compare with
// `ssbuild render --size 350x150`), installs, and on a second run finds the
// control and runs no Flash installer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "artifacts.h"
#include "control_test_support.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "sample_data_file.h"
#include "raster/png.h"
#include "window_driver.h"

namespace ssi::e2e {
namespace {

constexpr char kControlClass[] = "SsiFlashPlayerControl";

// What the screen shows of `window`, as a PNG.
bool SaveWindowPng(HWND window, const std::string& path) {
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  const bool copied = bits && BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  player::Image image;
  image.width = w;
  image.height = h;
  image.rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  const auto* bgrx = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; copied && i < image.rgba.size(); i += 4) {
    image.rgba[i] = bgrx[i + 2];
    image.rgba[i + 1] = bgrx[i + 1];
    image.rgba[i + 2] = bgrx[i];
    image.rgba[i + 3] = 255;
  }
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  const std::vector<uint8_t> png = player::EncodePng(image);
  return copied && test::WriteWholeFile(path, std::string(png.begin(), png.end()));
}

HWND MovieWindow(HWND form) {
  for (HWND w : driver::Descendants(form))
    if (driver::ClassOf(w) == kControlClass) return w;
  return nullptr;
}

class InstallerMovie : public E2eTest {};

TEST_F(InstallerMovie, OurFlashInstallerBringsTheMovieIntoThePanelAndASecondRunSkipsIt) {
  const char* movie = std::getenv("SSI_CAPTURE_MOVIE");
  const char* out = std::getenv("SSI_CAPTURE_OUT");
  ASSERT_TRUE(movie && out);
  ASSERT_EQ(test::RegisteredServer(), "");
  TestPayload p = MeadowPayload(library_, false, false);
  p.displayMode = 2;
  p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
  p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
  p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
  p.entries[entry::kPreview] = {"installer.scf", test::ReadWholeFile(test::UnixToWinePath(movie)),
                                5};
  p.entries[entry::kFlashInstaller] = {"flashax.exe", test::ReadWholeFile(test::FlashaxPath()), 3};
  const std::string image = Compose(stub_, p).image;

  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, image);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(test::RegisteredServer(), test::SystemFolder() + "ssiflash.ocx");
  EXPECT_TRUE(driver::ReadControlById(form, control_id::kInstallBtn).enabled);
  const HWND shown = MovieWindow(form);
  ASSERT_NE(shown, nullptr) << driver::DumpWindow(form);
  EXPECT_EQ(GetParent(shown), driver::FindControl(form, control_id::kContentPanel));
  EXPECT_EQ(driver::Describe(driver::ReadControl(shown).inParent),
            driver::Describe({1, 1, 350, 150}));
  SetForegroundWindow(form);
  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(500);
  EXPECT_TRUE(SaveWindowPng(shown, test::UnixToWinePath(out)));

  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  ASSERT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitInstalled);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  // The second run finds the control: no Flash installer is written or run.
  DeleteFileA((meadow_.windowsDir + "flashax.exe").c_str());
  InstallerSession again;
  form = LaunchAndWaitForForm(again, image);
  ASSERT_NE(form, nullptr);
  EXPECT_NE(MovieWindow(form), nullptr);
  EXPECT_FALSE(FileExists(meadow_.windowsDir + "flashax.exe"));
  CloseAndWait(again, form, driver::CloseHow::kCloseBox);
}

}  // namespace
}  // namespace ssi::e2e
