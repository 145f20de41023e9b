// Our control through IDispatch by the published dispatch ids, against a
// table of literal expectations; its events; a movie it cannot read; and the
// installer's own hosting of it.
#include <windows.h>
#include <ocidl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "artifacts.h"
#include "control_test_support.h"
#include "flash_support.h"
#include "flash_test_support.h"
#include "shockwave_flash.h"

namespace ssi::test {
namespace {

enum Kind { kGet, kPut, kCall };

struct Step {
  DISPID id;
  Kind kind;
  std::vector<std::wstring> args;  // numbers, "true"/"false", or texts
  std::string expected;            // the result as text; "error" for a failure
};

VARIANT Arg(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  if (text == L"true" || text == L"false") {
    v.vt = VT_BOOL;
    v.boolVal = text == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (!text.empty() && (iswdigit(text[0]) || text[0] == L'-')) {
    v.vt = VT_I4;
    v.lVal = wcstol(text.c_str(), nullptr, 0);
  } else {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text.c_str());
  }
  return v;
}

std::string Text(const VARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY:
      return "";
    case VT_BOOL:
      return v.boolVal ? "true" : "false";
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_INT:
      return std::to_string(v.intVal);
    case VT_BSTR: {
      std::string out;
      for (UINT i = 0; v.bstrVal && i < SysStringLen(v.bstrVal); ++i)
        out += static_cast<char>(v.bstrVal[i]);
      return out;
    }
    default:
      return "type " + std::to_string(v.vt);
  }
}

std::string Call(IDispatch* control, const Step& step) {
  std::vector<VARIANT> args;
  for (auto it = step.args.rbegin(); it != step.args.rend(); ++it) args.push_back(Arg(*it));
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{args.data(), step.kind == kPut ? &named : nullptr,
                    static_cast<UINT>(args.size()), step.kind == kPut ? 1u : 0u};
  const WORD flags = step.kind == kPut   ? DISPATCH_PROPERTYPUT
                     : step.kind == kGet ? DISPATCH_PROPERTYGET
                                         : DISPATCH_METHOD;
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = control->Invoke(step.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                     step.kind == kPut ? nullptr : &result, nullptr, nullptr);
  for (VARIANT& v : args) VariantClear(&v);
  const std::string text = FAILED(hr) ? "error" : Text(result);
  VariantClear(&result);
  return text;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class ControlTest : public testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltControl();
    folder = MakeTempFolder("control");
    movie = folder + "tiny.swf";
    ASSERT_TRUE(WriteWholeFile(movie, TinyMovie(200, 100, 0x204080, 5)));
  }
  IDispatch* Create() {
    IDispatch* control = nullptr;
    EXPECT_EQ(CoCreateInstance(flash::kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&control)),
              S_OK);
    return control;
  }
  std::string folder, movie;
};

TEST_F(ControlTest, MembersByTheirDispatchIdsGiveTheDocumentedAnswers) {
  IDispatch* control = Create();
  ASSERT_NE(control, nullptr);
  const std::wstring path = Wide(movie);
  const std::vector<Step> steps = {
      {102, kPut, {path}, ""},  // Movie
      {102, kGet, {}, movie},
      {-525, kGet, {}, "4"},         // ReadyState: complete
      {124, kGet, {}, "5"},          // TotalFrames
      {130, kCall, {}, "100"},       // PercentLoaded
      {131, kCall, {L"4"}, "true"},  // FrameLoaded
      {131, kCall, {L"5"}, "false"},
      {128, kCall, {}, "0"},    // CurrentFrame
      {125, kGet, {}, "true"},  // Playing
      {113, kCall, {}, ""},     // Stop
      {125, kGet, {}, "false"},
      {112, kCall, {}, ""},      // Play
      {129, kCall, {}, "true"},  // IsPlaying
      {127, kCall, {L"3"}, ""},  // GotoFrame stops there
      {128, kCall, {}, "3"},
      {107, kGet, {}, "3"},  // FrameNum
      {125, kGet, {}, "false"},
      {127, kCall, {L"99"}, ""},  // past the end: the last frame
      {128, kCall, {}, "4"},
      {116, kCall, {}, ""},  // Rewind
      {128, kCall, {}, "0"},
      {115, kCall, {}, ""},  // Forward
      {128, kCall, {}, "1"},
      {114, kCall, {}, ""},  // Back
      {128, kCall, {}, "0"},
      {144, kCall, {L"/", L"middle"}, ""},  // TGotoLabel
      {128, kCall, {}, "2"},
      {146, kCall, {L"_root"}, "middle"},  // TCurrentLabel
      {143, kCall, {L"/spin", L"2"}, ""},  // TGotoFrame on the sprite
      {145, kCall, {L"/spin"}, "2"},       // TCurrentFrame
      {145, kCall, {L"/nothere"}, "error"},
      {151, kCall, {L"greeting", L"hello"}, ""},  // SetVariable
      {152, kCall, {L"greeting"}, "hello"},       // GetVariable
      {152, kCall, {L"unset"}, ""},
      {152, kCall, {L"$version"}, "WIN 10,0,0,0"},
      {132, kCall, {}, "655360"},  // FlashVersion 10.0
      {123, kGet, {}, "-1"},       // BackgroundColor: the movie's own
      {123, kPut, {L"3368601"}, ""},
      {140, kGet, {}, "336699"},  // BGColor follows
      {140, kPut, {L"#FF0000"}, ""},
      {123, kGet, {}, "16711680"},
      {134, kPut, {L"tl"}, ""},  // SAlign
      {134, kGet, {}, "LT"},
      {121, kGet, {}, "5"},  // AlignMode: left | top
      {121, kPut, {L"10"}, ""},
      {134, kGet, {}, "RB"},
      {120, kGet, {}, "0"},  // ScaleMode: showAll
      {120, kPut, {L"2"}, ""},
      {137, kGet, {}, "exactfit"},  // Scale follows
      {137, kPut, {L"noBorder"}, ""},
      {120, kGet, {}, "1"},
      {135, kGet, {}, "true"},  // Menu
      {135, kPut, {L"false"}, ""},
      {135, kGet, {}, "false"},
      {133, kGet, {}, "Window"},  // WMode
      {133, kPut, {L"Opaque"}, ""},
      {133, kGet, {}, "Opaque"},
      {106, kGet, {}, "true"},  // Loop
      {105, kGet, {}, "1"},     // Quality: high
      {126, kCall, {}, ""},     // StopPlay
      {125, kGet, {}, "false"},
      {9999, kGet, {}, "error"},
  };
  for (size_t i = 0; i < steps.size(); ++i)
    EXPECT_EQ(Call(control, steps[i]), steps[i].expected)
        << "step " << i << ": dispatch id " << steps[i].id;

  // Names map to the same ids for late-bound hosts.
  for (const auto& [name, id] : std::vector<std::pair<const wchar_t*, DISPID>>{
           {L"Movie", 102}, {L"salign", 134}, {L"Menu", 135}, {L"GetVariable", 152}}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID got = 0;
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &got), S_OK);
    EXPECT_EQ(got, id);
  }
  control->Release();
}

// An events sink that records the ReadyStateChange states it is sent.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Sink final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != flash::kIidShockwaveFlashEvents)
      return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    if (id == -609 && params && params->cArgs == 1) states.push_back(params->rgvarg[0].lVal);
    return S_OK;
  }
  ULONG refs = 1;
  std::vector<long> states;
};
#pragma GCC diagnostic pop

TEST_F(ControlTest, EventsReachAnAdvisedSinkAndAnUnreadableMovieShowsTheBackground) {
  IDispatch* control = Create();
  ASSERT_NE(control, nullptr);
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(
      control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
      S_OK);
  IConnectionPoint* point = nullptr;
  ASSERT_EQ(container->FindConnectionPoint(flash::kIidShockwaveFlashEvents, &point), S_OK);
  Sink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

  ASSERT_TRUE(WriteWholeFile(folder + "broken.swf", "FWS\x06garbage"));
  EXPECT_EQ(Call(control, {102, kPut, {Wide(folder + "broken.swf")}, ""}), "");
  EXPECT_EQ(Call(control, {124, kGet, {}, ""}), "0");
  EXPECT_EQ(Call(control, {-525, kGet, {}, ""}), "4");
  EXPECT_EQ(sink.states, (std::vector<long>{0, 4}));

  // Drawn through IViewObject, it fills exactly its rectangle with the
  // background colour and leaves the rest of the picture alone.
  EXPECT_EQ(Call(control, {123, kPut, {L"3368601"}, ""}), "");  // 0x336699
  IViewObject* view = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, dib);
  memset(bits, 0, 40 * 20 * 4);
  const RECTL bounds{10, 5, 30, 15};
  EXPECT_EQ(
      view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
      S_OK);
  GdiFlush();
  const auto* px = static_cast<const uint32_t*>(bits);
  int inside = 0, outside = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool in = x >= 10 && x < 30 && y >= 5 && y < 15;
      const uint32_t c = px[y * 40 + x] & 0xFFFFFF;
      if (in && c == 0x336699) ++inside;
      if (!in && c != 0) ++outside;
    }
  EXPECT_EQ(inside, 200);
  EXPECT_EQ(outside, 0);
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  view->Release();

  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs, 1u);
  point->Release();
  container->Release();
  control->Release();
}

// The installer's own host: the control lives in the panel, one pixel in
// from each edge, plays at the movie's rate, and is gone after the release.
TEST_F(ControlTest, TheInstallersHostPlacesItInThePanelAndItPlaysAtTheMoviesRate) {
  HostWindow host;
  MoviePlayerRef player;
  ASSERT_EQ(CreateMoviePlayer(player, host.Panel(), movie), 0);
  const HWND window = FindWindowExA(host.Panel(), nullptr, "SsiFlashPlayerControl", nullptr);
  ASSERT_NE(window, nullptr);
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, host.Panel(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 1);
  EXPECT_EQ(r.right - r.left, 350);
  EXPECT_EQ(r.bottom - r.top, 150);

  // The 200 x 100 stage is shown 1.5 times, 25 pixels in: the square covers
  // x 25..85, y 0..60 on frame 0 and has moved on by frame 1. Five frames at 10 a
  // second loop twice a second, so the square comes back twice.
  HDC dc = GetDC(window);
  int returns = 0;
  bool wasRed = true;
  std::string seen;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 1000) {
    PumpMessages();
    const COLORREF c = GetPixel(dc, 50, 30);
    const bool red = c == RGB(255, 0, 0);
    if (seen.size() < 400) seen += std::to_string(c) + " ";
    if (red && !wasRed) ++returns;
    wasRed = red;
    Sleep(5);
  }
  ReleaseDC(window, dc);
  EXPECT_GE(returns, 1) << seen;
  EXPECT_LE(returns, 3);
  EXPECT_EQ(ReleaseMoviePlayer(player), 0);
  EXPECT_EQ(FindWindowExA(host.Panel(), nullptr, "SsiFlashPlayerControl", nullptr), nullptr);
}

}  // namespace
}  // namespace ssi::test

namespace ssi::test {
namespace {

// Where the red square of frame 0 lands when the control is drawn through
// IViewObject2 into a picture of another shape: each scale mode and
// alignment, worked out by hand from the 200 x 100 stage.
TEST_F(ControlTest, ScaleModesAndAlignmentsPlaceTheStageAsDocumented) {
  struct Case {
    const wchar_t* scale;
    const wchar_t* align;
    int w, h;
    RECT square;  // the red pixels' bounds in the picture
  };
  const Case cases[] = {
      {L"showAll", L"", 400, 100, {100, 0, 140, 40}},  // centred, 1:1
      {L"showAll", L"L", 400, 100, {0, 0, 40, 40}},
      {L"showAll", L"R", 400, 100, {200, 0, 240, 40}},
      {L"showAll", L"", 100, 200, {0, 75, 20, 95}},  // halved, centred down
      {L"exactFit", L"", 400, 100, {0, 0, 80, 40}},  // stretched across
      {L"noBorder", L"", 400, 100, {0, 0, 80, 30}},  // doubled, 50 cut off top
      {L"noBorder", L"T", 400, 100, {0, 0, 80, 80}},
      {L"noScale", L"", 400, 300, {100, 100, 140, 140}},  // 96 DPI: 1:1
      {L"noScale", L"LT", 400, 300, {0, 0, 40, 40}},
  };
  IDispatch* control = Create();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(Call(control, {102, kPut, {Wide(movie)}, ""}), "");
  IViewObject* view = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
  for (const Case& c : cases) {
    EXPECT_EQ(Call(control, {137, kPut, {c.scale}, ""}), "");
    EXPECT_EQ(Call(control, {134, kPut, {c.align}, ""}), "");
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), c.w, -c.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    const RECTL bounds{0, 0, c.w, c.h};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    GdiFlush();
    RECT found{c.w, c.h, 0, 0};
    const auto* px = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const uint8_t* p =
            px + (static_cast<size_t>(y) * static_cast<size_t>(c.w) + static_cast<size_t>(x)) * 4;
        if (p[2] > 200 && p[1] < 60 && p[0] < 60) {  // red (BGRX)
          found.left = std::min<LONG>(found.left, x);
          found.top = std::min<LONG>(found.top, y);
          found.right = std::max<LONG>(found.right, x + 1);
          found.bottom = std::max<LONG>(found.bottom, y + 1);
        }
      }
    EXPECT_TRUE(EqualRect(&found, &c.square))
        << "Scale " << std::string(c.scale, c.scale + wcslen(c.scale)) << " SAlign "
        << std::string(c.align, c.align + wcslen(c.align)) << " in " << c.w << " x " << c.h
        << ": square at " << found.left << "," << found.top << " to " << found.right << ","
        << found.bottom;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
  }
  view->Release();
  control->Release();
}

}  // namespace
}  // namespace ssi::test
