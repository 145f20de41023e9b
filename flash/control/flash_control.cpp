#include "flash_control.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "stage_view.h"
#include "wide_text.h"

namespace flashctl {
namespace {

HINSTANCE g_module = nullptr;
LONG g_live = 0;

constexpr wchar_t kWindowClass[] = L"SsiFlashPlayerControl";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kDpiChangedAfterParent = 0x02E3;
// A movie file larger than this is refused unread: the player keeps the
// whole file and more in memory.
constexpr LONGLONG kMaxMovieBytes = 64LL << 20;
constexpr double kMaxFrameRate = 120;
constexpr long kVersion = 0x000A0000;  // 10.0, as FlashVersion reports it

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the whole client is painted over
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      if (control) control->Paint(dc, client);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_TIMER:
      if (control && wParam == kFrameTimer) control->Tick();
      return 0;
    case kDpiChangedAfterParent:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClass() {
  WNDCLASSW wc{};
  if (GetClassInfoW(g_module, kWindowClass, &wc)) return true;
  wc.lpfnWndProc = ControlWindowProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  return RegisterClassW(&wc) != 0;
}

// "file:///C:/x/y.swf" and "file://C:\x\y.swf" name local files; anything else
// is taken as a path.
std::wstring LocalPath(const std::wstring& movie) {
  std::wstring path = movie;
  const std::wstring scheme = L"file://";
  if (_wcsnicmp(path.c_str(), scheme.c_str(), scheme.size()) == 0) {
    path.erase(0, scheme.size());
    if (path.size() > 2 && path[0] == L'/' && path[2] == L':') path.erase(0, 1);
    std::replace(path.begin(), path.end(), L'/', L'\\');
  }
  return path;
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= kMaxMovieBytes;
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
         got == bytes.size();
  }
  CloseHandle(file);
  return ok;
}

HRESULT PutText(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

template <typename T, typename U>
HRESULT PutValue(U value, T* out) {
  if (!out) return E_POINTER;
  *out = static_cast<T>(value);
  return S_OK;
}

VARIANT_BOOL Bool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int FrameOfLabel(const player::Clip& clip, const std::string& label) {
  if (!clip.timeline) return -1;
  const auto& frames = clip.timeline->frames;
  for (size_t i = 0; i < frames.size(); ++i)
    for (const auto& tag : frames[i])
      if (tag.kind == player::FrameTag::kLabel && SameText(tag.label, label))
        return static_cast<int>(i);
  return -1;
}

std::string LabelAt(const player::Clip& clip) {
  if (!clip.timeline) return {};
  const auto& frames = clip.timeline->frames;
  std::string label;
  for (int i = 0; i <= clip.frame && i < static_cast<int>(frames.size()); ++i)
    for (const auto& tag : frames[static_cast<size_t>(i)])
      if (tag.kind == player::FrameTag::kLabel) label = tag.label;
  return label;
}

}  // namespace

void SetModule(HINSTANCE module) { g_module = module; }
HINSTANCE Module() { return g_module; }
LONG LiveObjects() { return g_live; }

FlashControl::FlashControl() : events_(this) { InterlockedIncrement(&g_live); }

FlashControl::~FlashControl() {
  if (window_) DestroyWindow(window_);
  events_.UnadviseAll();
  if (viewSink_) viewSink_->Release();
  if (site_) site_->Release();
  InterlockedDecrement(&g_live);
}

HRESULT FlashControl::Create(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  FlashControl* control = new (std::nothrow) FlashControl;
  if (!control) return E_OUTOFMEMORY;
  const HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

HRESULT FlashControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ssi::flash::kIidShockwaveFlash)
    *out = static_cast<ssi::flash::IShockwaveFlash*>(this);
  else if (iid == IID_IOleObject)
    *out = static_cast<IOleObject*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
    *out = static_cast<IOleInPlaceObject*>(this);
  else if (iid == IID_IOleInPlaceActiveObject)
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  else if (iid == IID_IOleControl)
    *out = static_cast<IOleControl*>(this);
  else if (iid == IID_IViewObject || iid == IID_IViewObject2)
    *out = static_cast<IViewObject2*>(this);
  else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
    *out = static_cast<IPersistStreamInit*>(this);
  else if (iid == IID_IPersistPropertyBag)
    *out = static_cast<IPersistPropertyBag*>(this);
  else if (iid == IID_IProvideClassInfo)
    *out = static_cast<IProvideClassInfo*>(this);
  else if (iid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG FlashControl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG FlashControl::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

// ---- the movie ----

void FlashControl::LoadFrom(const std::wstring& path) {
  movie_.reset();
  SetReadyState(0);
  std::vector<uint8_t> bytes;
  std::string error;
  // A movie that cannot be read leaves the background showing; the host is
  // told the load is complete either way, as a missing movie is no reason to
  // fail the page or window that holds the control.
  if (!path.empty() && ReadWholeFile(LocalPath(path), bytes))
    movie_ = player::Movie::Load(bytes, error);
  if (movie_) movie_->root().playing = autoPlay_;
  SetReadyState(4);
  StartTimer();
  Invalidate();
}

void FlashControl::SetReadyState(long state) {
  readyState_ = state;
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_I4;
  arg.lVal = state;
  events_.Fire(ssi::flash::dispid::kOnReadyStateChange, {arg});
}

void FlashControl::StartTimer() {
  if (!window_) return;
  KillTimer(window_, kFrameTimer);
  if (!movie_) return;
  double rate = movie_->FrameRate();
  if (!(rate > 0)) rate = 12;
  rate = std::min(rate, kMaxFrameRate);
  SetTimer(window_, kFrameTimer, static_cast<UINT>(std::lround(1000 / rate)), nullptr);
}

void FlashControl::Tick() {
  if (!movie_) return;
  player::Clip& root = movie_->root();
  const int total = root.timeline ? static_cast<int>(root.timeline->frames.size()) : 0;
  // Without Loop the root stops on its last frame; its sprites play on.
  if (root.playing && !loop_ && root.frame + 1 >= total) root.playing = false;
  movie_->Advance(1);
  Invalidate();
}

void FlashControl::Invalidate() {
  if (window_)
    InvalidateRect(window_, nullptr, FALSE);
  else if (viewSink_)
    viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

COLORREF FlashControl::Background() const {
  if (background_ >= 0)
    return RGB((background_ >> 16) & 0xFF, (background_ >> 8) & 0xFF, background_ & 0xFF);
  if (movie_) {
    const player::Color& c = movie_->data().background;
    return RGB(c.r, c.g, c.b);
  }
  return RGB(255, 255, 255);
}

double FlashControl::DpiScale() const {
  HDC dc = GetDC(window_);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(window_, dc);
  return dpi > 0 ? dpi / 96.0 : 1.0;
}

// The frame is drawn at the rectangle's own pixel size, so a host that is
// aware of the display's DPI gets a sharp picture rather than a stretched one.
void FlashControl::Paint(HDC dc, const RECT& rect) {
  const int w = std::min<LONG>(rect.right - rect.left, player::kMaxStageSide);
  const int h = std::min<LONG>(rect.bottom - rect.top, player::kMaxStageSide);
  if (w <= 0 || h <= 0) return;
  const COLORREF bg = Background();
  if (!movie_) {
    HBRUSH brush = CreateSolidBrush(bg);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    return;
  }
  const player::Matrix view = StageView(movie_->data().stage, w, h, scaleMode_, align_, DpiScale());
  player::Image image =
      movie_->Render(view, w, h, {GetRValue(bg), GetGValue(bg), GetBValue(bg), 255});
  // Premultiplied RGBA on an opaque background is plain RGB: swap to BGRX.
  for (size_t i = 0; i + 3 < image.rgba.size(); i += 4) std::swap(image.rgba[i], image.rgba[i + 2]);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // rows top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc, rect.left, rect.top, w, h, 0, 0, image.width, image.height, image.rgba.data(),
                &info, DIB_RGB_COLORS, SRCCOPY);
}

player::Clip* FlashControl::FindClip(BSTR target) {
  if (!movie_) return nullptr;
  player::Clip* clip = &movie_->root();
  const std::string path = Utf8(target);
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find_first_of("/.", pos);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(pos, end - pos);
    pos = end + 1;
    if (name.empty() || SameText(name, "_root") || SameText(name, "_level0")) continue;
    player::Clip* next = nullptr;
    for (auto& [depth, object] : clip->list)
      if (object.clip && SameText(object.name, name)) next = object.clip.get();
    if (!next) return nullptr;
    clip = next;
  }
  return clip;
}

// ---- IShockwaveFlash ----

HRESULT FlashControl::get_ReadyState(long* state) { return PutValue(readyState_, state); }
HRESULT FlashControl::get_TotalFrames(long* frames) {
  const auto* timeline = movie_ ? movie_->root().timeline : nullptr;
  return PutValue(timeline ? timeline->frames.size() : 0, frames);
}
HRESULT FlashControl::get_Playing(VARIANT_BOOL* playing) {
  return PutValue(Bool(movie_ ? movie_->root().playing : autoPlay_), playing);
}
HRESULT FlashControl::put_Playing(VARIANT_BOOL playing) {
  autoPlay_ = playing != VARIANT_FALSE;
  if (movie_) movie_->root().playing = autoPlay_;
  return S_OK;
}
HRESULT FlashControl::get_Quality(int* quality) { return PutValue(quality_, quality); }
HRESULT FlashControl::put_Quality(int quality) {
  quality_ = quality;
  return S_OK;
}
HRESULT FlashControl::get_ScaleMode(int* scale) { return PutValue(scaleMode_, scale); }
HRESULT FlashControl::put_ScaleMode(int scale) {
  scaleMode_ = (scale >= kShowAll && scale <= kNoScale) ? scale : kShowAll;
  Invalidate();
  return S_OK;
}
HRESULT FlashControl::get_AlignMode(int* align) { return PutValue(align_, align); }
HRESULT FlashControl::put_AlignMode(int align) {
  align_ = align & (kAlignLeft | kAlignRight | kAlignTop | kAlignBottom);
  Invalidate();
  return S_OK;
}
HRESULT FlashControl::get_BackgroundColor(long* color) { return PutValue(background_, color); }
HRESULT FlashControl::put_BackgroundColor(long color) {
  background_ = color < 0 ? -1 : (color & 0xFFFFFF);
  Invalidate();
  return S_OK;
}
HRESULT FlashControl::get_Loop(VARIANT_BOOL* loop) { return PutValue(Bool(loop_), loop); }
HRESULT FlashControl::put_Loop(VARIANT_BOOL loop) {
  loop_ = loop != VARIANT_FALSE;
  return S_OK;
}
HRESULT FlashControl::get_Movie(BSTR* path) { return PutText(moviePath_, path); }
HRESULT FlashControl::put_Movie(BSTR path) {
  moviePath_ = Wide(path);
  LoadFrom(moviePath_);
  return S_OK;
}
HRESULT FlashControl::get_FrameNum(long* frame) { return CurrentFrame(frame); }
HRESULT FlashControl::put_FrameNum(long frame) { return GotoFrame(frame); }
// Zooming and panning are the player's context-menu features: accepted, not
// carried out.
HRESULT FlashControl::SetZoomRect(long, long, long, long) { return S_OK; }
HRESULT FlashControl::Zoom(int) { return S_OK; }
HRESULT FlashControl::Pan(long, long, int) { return S_OK; }
HRESULT FlashControl::Play() { return put_Playing(VARIANT_TRUE); }
HRESULT FlashControl::Stop() { return put_Playing(VARIANT_FALSE); }
HRESULT FlashControl::StopPlay() { return Stop(); }
HRESULT FlashControl::Back() {
  if (movie_) GotoFrame(std::max(0, movie_->root().frame - 1));
  return S_OK;
}
HRESULT FlashControl::Forward() {
  if (movie_) GotoFrame(movie_->root().frame + 1);
  return S_OK;
}
HRESULT FlashControl::Rewind() { return GotoFrame(0); }
// Going to a frame stops there, as the frame-stepping members do.
HRESULT FlashControl::GotoFrame(long frame) {
  if (!movie_) return S_OK;
  movie_->GotoFrame(movie_->root(), static_cast<int>(std::clamp(frame, 0L, 0xFFFFL)));
  movie_->root().playing = false;
  Invalidate();
  return S_OK;
}
HRESULT FlashControl::CurrentFrame(long* frame) {
  return PutValue(movie_ ? std::max(0, movie_->root().frame) : 0, frame);
}
HRESULT FlashControl::IsPlaying(VARIANT_BOOL* playing) { return get_Playing(playing); }
HRESULT FlashControl::PercentLoaded(long* percent) { return PutValue(movie_ ? 100 : 0, percent); }
HRESULT FlashControl::FrameLoaded(long frame, VARIANT_BOOL* loaded) {
  long total = 0;
  get_TotalFrames(&total);
  return PutValue(Bool(frame >= 0 && frame < total), loaded);
}
HRESULT FlashControl::FlashVersion(long* version) { return PutValue(kVersion, version); }
HRESULT FlashControl::get_WMode(BSTR* mode) { return PutText(wmode_, mode); }
HRESULT FlashControl::put_WMode(BSTR mode) {
  wmode_ = Wide(mode);
  return S_OK;
}
HRESULT FlashControl::get_SAlign(BSTR* align) { return PutText(AlignText(align_), align); }
HRESULT FlashControl::put_SAlign(BSTR align) { return put_AlignMode(AlignFromText(Wide(align))); }
HRESULT FlashControl::get_Menu(VARIANT_BOOL* menu) { return PutValue(Bool(menu_), menu); }
HRESULT FlashControl::put_Menu(VARIANT_BOOL menu) {
  menu_ = menu != VARIANT_FALSE;
  return S_OK;
}
HRESULT FlashControl::get_Base(BSTR* base) { return PutText(base_, base); }
HRESULT FlashControl::put_Base(BSTR base) {
  base_ = Wide(base);
  return S_OK;
}
HRESULT FlashControl::get_Scale(BSTR* scale) { return PutText(ScaleText(scaleMode_), scale); }
HRESULT FlashControl::put_Scale(BSTR scale) { return put_ScaleMode(ScaleFromText(Wide(scale))); }
HRESULT FlashControl::get_DeviceFont(VARIANT_BOOL* font) {
  return PutValue(Bool(deviceFont_), font);
}
HRESULT FlashControl::put_DeviceFont(VARIANT_BOOL font) {
  deviceFont_ = font != VARIANT_FALSE;
  return S_OK;
}
HRESULT FlashControl::get_EmbedMovie(VARIANT_BOOL* embed) {
  return PutValue(Bool(embedMovie_), embed);
}
HRESULT FlashControl::put_EmbedMovie(VARIANT_BOOL embed) {
  embedMovie_ = embed != VARIANT_FALSE;
  return S_OK;
}
HRESULT FlashControl::get_BGColor(BSTR* color) {
  if (background_ < 0) return PutText(L"", color);
  wchar_t text[8];
  wsprintfW(text, L"%06X", static_cast<unsigned>(background_));
  return PutText(text, color);
}
HRESULT FlashControl::put_BGColor(BSTR color) {
  std::wstring text = Wide(color);
  if (!text.empty() && text[0] == L'#') text.erase(0, 1);
  wchar_t* end = nullptr;
  const unsigned long value = wcstoul(text.c_str(), &end, 16);
  return put_BackgroundColor(text.empty() || *end ? -1 : static_cast<long>(value & 0xFFFFFF));
}
HRESULT FlashControl::get_Quality2(BSTR* quality) { return PutText(quality2_, quality); }
HRESULT FlashControl::put_Quality2(BSTR quality) {
  quality2_ = Wide(quality);
  return S_OK;
}
// Only level 0 is kept: a movie loaded into another level replaces nothing.
HRESULT FlashControl::LoadMovie(int layer, BSTR url) { return layer == 0 ? put_Movie(url) : S_OK; }
HRESULT FlashControl::TGotoFrame(BSTR target, long frame) {
  player::Clip* clip = FindClip(target);
  if (!clip) return E_INVALIDARG;
  movie_->GotoFrame(*clip, static_cast<int>(std::clamp(frame, 0L, 0xFFFFL)));
  clip->playing = false;
  Invalidate();
  return S_OK;
}
HRESULT FlashControl::TGotoLabel(BSTR target, BSTR label) {
  player::Clip* clip = FindClip(target);
  const int frame = clip ? FrameOfLabel(*clip, Utf8(label)) : -1;
  if (frame < 0) return E_INVALIDARG;
  return TGotoFrame(target, frame);
}
HRESULT FlashControl::TCurrentFrame(BSTR target, long* frame) {
  player::Clip* clip = FindClip(target);
  if (!clip) return E_INVALIDARG;
  return PutValue(std::max(0, clip->frame), frame);
}
HRESULT FlashControl::TCurrentLabel(BSTR target, BSTR* label) {
  player::Clip* clip = FindClip(target);
  if (!clip) return E_INVALIDARG;
  return PutText(WideFromUtf8(LabelAt(*clip)), label);
}
HRESULT FlashControl::TPlay(BSTR target) {
  player::Clip* clip = FindClip(target);
  if (!clip) return E_INVALIDARG;
  clip->playing = true;
  return S_OK;
}
HRESULT FlashControl::TStopPlay(BSTR target) {
  player::Clip* clip = FindClip(target);
  if (!clip) return E_INVALIDARG;
  clip->playing = false;
  return S_OK;
}
// The variables of the root timeline, as the host sets and reads them;
// "$version" is the player's, in the form movies test for.
HRESULT FlashControl::SetVariable(BSTR name, BSTR value) {
  variables_[Wide(name)] = Wide(value);
  return S_OK;
}
HRESULT FlashControl::GetVariable(BSTR name, BSTR* value) {
  if (!value) return E_POINTER;
  const std::wstring key = Wide(name);
  if (key == L"$version") return PutText(L"WIN 10,0,0,0", value);
  const auto found = variables_.find(key);
  *value = nullptr;  // an unset variable reads as null
  return found == variables_.end() ? S_OK : PutText(found->second, value);
}

// ---- IOleObject ----

HRESULT FlashControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

HRESULT FlashControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

HRESULT FlashControl::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}

HRESULT FlashControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                             LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      break;
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
  if (window_) {
    ShowWindow(window_, SW_SHOWNA);
    return S_OK;
  }
  IOleClientSite* from = site ? site : site_;
  IOleInPlaceSite* inPlace = nullptr;
  if (!from ||
      FAILED(from->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
    return E_NOINTERFACE;
  HRESULT hr = inPlace->CanInPlaceActivate();
  if (hr == S_OK)
    hr = inPlace->OnInPlaceActivate();
  else if (SUCCEEDED(hr))
    hr = E_FAIL;
  HWND siteWindow = nullptr;
  if (SUCCEEDED(hr)) hr = inPlace->GetWindow(&siteWindow);
  RECT bounds{}, clip{};
  if (SUCCEEDED(hr)) {
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    hr = inPlace->GetWindowContext(&frame, &document, &bounds, &clip, &info);
    if (frame) frame->Release();
    if (document) document->Release();
  }
  inPlace->Release();
  if (FAILED(hr)) return hr;
  if (position) bounds = *position;
  if (!siteWindow) siteWindow = parent;
  if (!RegisterWindowClass()) return HRESULT_FROM_WIN32(GetLastError());
  window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                            bounds.left, bounds.top, bounds.right - bounds.left,
                            bounds.bottom - bounds.top, siteWindow, nullptr, g_module, this);
  if (!window_) return HRESULT_FROM_WIN32(GetLastError());
  bounds_ = bounds;
  StartTimer();
  return S_OK;
}

HRESULT FlashControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT FlashControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

// HIMETRIC: the host's extent when it set one, else the stage at 96 DPI.
HRESULT FlashControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  if (extent_.cx > 0 || !movie_) {
    *size = extent_;
    return S_OK;
  }
  size->cx = MulDiv(movie_->StageWidth(), 2540, 96);
  size->cy = MulDiv(movie_->StageHeight(), 2540, 96);
  return S_OK;
}

HRESULT FlashControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
            OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
  return S_OK;
}

// ---- in place ----

HRESULT FlashControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

HRESULT FlashControl::InPlaceDeactivate() {
  if (!window_) return S_OK;
  DestroyWindow(window_);
  window_ = nullptr;
  IOleInPlaceSite* inPlace = nullptr;
  if (site_ &&
      SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
    inPlace->OnInPlaceDeactivate();
    inPlace->Release();
  }
  return S_OK;
}

// The window takes the position; the part of it outside the clip rectangle is
// cut away, so the control never draws over its neighbours.
HRESULT FlashControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  if (!position) return E_POINTER;
  bounds_ = *position;
  if (!window_) return S_OK;
  MoveWindow(window_, position->left, position->top, position->right - position->left,
             position->bottom - position->top, TRUE);
  RECT visible = *position;
  if (clip && !IntersectRect(&visible, position, clip)) SetRectEmpty(&visible);
  if (EqualRect(&visible, position)) {
    SetWindowRgn(window_, nullptr, TRUE);
  } else {
    OffsetRect(&visible, -position->left, -position->top);
    SetWindowRgn(window_, CreateRectRgnIndirect(&visible), TRUE);  // the window owns it
  }
  return S_OK;
}

HRESULT FlashControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT FlashControl::FreezeEvents(BOOL freeze) {
  events_.Freeze(freeze != FALSE);
  return S_OK;
}

// ---- IViewObject2 ----

HRESULT FlashControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                           LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  const RECT rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
  Paint(dc, rect);
  return S_OK;
}

HRESULT FlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink) sink->AddRef();
  if (viewSink_) viewSink_->Release();
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

HRESULT FlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

HRESULT FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- persistence ----

HRESULT FlashControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = ssi::flash::kClsid;
  return S_OK;
}

// The <param> names of a page's <object>: Movie (or Src), Play, Loop, Quality,
// Scale, SAlign, BGColor, WMode, Menu, Base, DeviceFont, EmbedMovie.
HRESULT FlashControl::Load(IPropertyBag* bag, IErrorLog*) {
  if (!bag) return E_POINTER;
  auto read = [bag](const wchar_t* name, std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    const bool found = SUCCEEDED(bag->Read(name, &value, nullptr)) &&
                       SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR));
    if (found) text = Wide(value.bstrVal);
    VariantClear(&value);
    return found;
  };
  auto flag = [](const std::wstring& text) {
    return !(text == L"0" || _wcsicmp(text.c_str(), L"false") == 0);
  };
  std::wstring text, movie;
  if (read(L"Play", text)) autoPlay_ = flag(text);
  if (read(L"Loop", text)) loop_ = flag(text);
  if (read(L"Menu", text)) menu_ = flag(text);
  if (read(L"DeviceFont", text)) deviceFont_ = flag(text);
  if (read(L"EmbedMovie", text)) embedMovie_ = flag(text);
  if (read(L"Quality", text)) quality2_ = text;
  if (read(L"Scale", text)) scaleMode_ = ScaleFromText(text);
  if (read(L"SAlign", text)) align_ = AlignFromText(text);
  if (read(L"WMode", text)) wmode_ = text;
  if (read(L"Base", text)) base_ = text;
  if (read(L"BGColor", text)) {
    Bstr value(text);
    put_BGColor(value.get());
  }
  if (read(L"Movie", movie) || read(L"Src", movie)) {
    moviePath_ = movie;
    LoadFrom(moviePath_);
  }
  return S_OK;
}

HRESULT FlashControl::Save(IPropertyBag* bag, BOOL, BOOL) {
  if (!bag) return E_POINTER;
  auto write = [bag](const wchar_t* name, const std::wstring& text) {
    Bstr value(text);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = value.get();
    return bag->Write(name, &v);
  };
  HRESULT hr = write(L"Movie", moviePath_);
  if (SUCCEEDED(hr)) hr = write(L"Play", autoPlay_ ? L"true" : L"false");
  if (SUCCEEDED(hr)) hr = write(L"Loop", loop_ ? L"true" : L"false");
  if (SUCCEEDED(hr)) hr = write(L"Menu", menu_ ? L"true" : L"false");
  if (SUCCEEDED(hr)) hr = write(L"Quality", quality2_);
  if (SUCCEEDED(hr)) hr = write(L"Scale", ScaleText(scaleMode_));
  if (SUCCEEDED(hr)) hr = write(L"SAlign", AlignText(align_));
  if (SUCCEEDED(hr)) hr = write(L"WMode", wmode_);
  return hr;
}

HRESULT FlashControl::GetClassInfo(ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

// ---- events ----

HRESULT FlashControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT FlashControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != ssi::flash::kIidShockwaveFlashEvents) return CONNECT_E_NOCONNECTION;
  *out = &events_;
  events_.AddRef();
  return S_OK;
}

}  // namespace flashctl
