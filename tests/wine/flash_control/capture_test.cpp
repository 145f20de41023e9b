// The control's picture of a corpus movie, drawn through IViewObject2 at the
// installer's panel size into a DIB, saved as a PNG for compare-frames.py to
// set beside `ssbuild render --size` of the same movie (capture.sh).
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "artifacts.h"
#include "control_test_support.h"
#include "raster/png.h"
#include "shockwave_flash.h"

namespace ssi::test {
namespace {

TEST(Capture, TheControlDrawsTheMovieAtThePanelSize) {
  const char* movie = std::getenv("SSI_CAPTURE_MOVIE");
  const char* out = std::getenv("SSI_CAPTURE_OUT");
  ASSERT_TRUE(movie && out);
  const int w = 350, h = 150;
  RegisterBuiltControl();
  flash::IShockwaveFlash* control = nullptr;
  ASSERT_EQ(CoCreateInstance(flash::kClsid, nullptr, CLSCTX_INPROC_SERVER,
                             flash::kIidShockwaveFlash, reinterpret_cast<void**>(&control)),
            S_OK);
  const std::string path = UnixToWinePath(movie);
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(path.size()));
  for (size_t i = 0; i < path.size(); ++i) text[i] = static_cast<unsigned char>(path[i]);
  EXPECT_EQ(control->put_Movie(text), S_OK);
  SysFreeString(text);
  EXPECT_EQ(control->Stop(), S_OK);  // the first frame, as `ssbuild render` draws it
  long frames = 0;
  EXPECT_EQ(control->get_TotalFrames(&frames), S_OK);
  EXPECT_GT(frames, 0);

  IViewObject2* view = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, dib);
  const RECTL bounds{0, 0, w, h};
  EXPECT_EQ(
      view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
      S_OK);
  GdiFlush();
  player::Image image;
  image.width = w;
  image.height = h;
  image.rgba.resize(static_cast<size_t>(w) * h * 4);
  const auto* bgrx = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    image.rgba[i] = bgrx[i + 2];
    image.rgba[i + 1] = bgrx[i + 1];
    image.rgba[i + 2] = bgrx[i];
    image.rgba[i + 3] = 255;
  }
  const std::vector<uint8_t> png = player::EncodePng(image);
  EXPECT_TRUE(WriteWholeFile(UnixToWinePath(out), std::string(png.begin(), png.end())));
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  view->Release();
  control->Release();
}

}  // namespace
}  // namespace ssi::test
