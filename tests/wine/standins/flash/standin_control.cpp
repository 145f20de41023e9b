#include "standin_control.h"

#include <ole2.h>
#include <olectl.h>

#include <new>
#include <string>

#include "flash_standin.h"
#include "shockwave_flash.h"
#include "standin_log.h"

namespace ssi::standin {
namespace {

namespace dispid = ssi::flash::dispid;

HINSTANCE g_module = nullptr;

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// The placeholder picture: a dark field with the movie's file name.
LRESULT CALLBACK StandinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(RGB(24, 64, 120));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    const size_t slash = text.find_last_of(L'\\');
    const std::wstring label =
        L"Flash stand-in\n" + (slash == std::wstring::npos ? text : text.substr(slash + 1));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT box = client;
    DrawTextW(dc, label.c_str(), -1, &box, DT_CENTER | DT_CALCRECT | DT_WORDBREAK);
    const LONG height = box.bottom - box.top;
    box = client;
    box.top = (client.bottom - height) / 2;
    DrawTextW(dc, label.c_str(), -1, &box, DT_CENTER | DT_WORDBREAK);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterStandinClass() {
  WNDCLASSW wc{};
  if (GetClassInfoW(g_module, L"SsiFlashStandin", &wc)) return true;
  wc.lpfnWndProc = StandinWindowProc;
  wc.hInstance = g_module;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = L"SsiFlashStandin";
  return RegisterClassW(&wc) != 0;
}

HRESULT Failing(const std::string& line, const char* member) {
  if (ShouldFail(member)) {
    Log(line + " failed");
    return E_FAIL;
  }
  Log(line);
  return S_OK;
}

// Slots the installer has no business calling: each says so in the log.
#define STANDIN_UNUSED(name, ...)                        \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { \
    Log("unexpected " #name);                            \
    return E_NOTIMPL;                                    \
  }

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class StandinControl final : public flash::IShockwaveFlash,
                             public IOleObject,
                             public IOleInPlaceObject,
                             public IPersistStreamInit {
 public:
  StandinControl() : align_(InitialSAlign()) { Log("create"); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == flash::kIidShockwaveFlash)
      *out = static_cast<flash::IShockwaveFlash*>(this);
    else if (iid == IID_IOleObject)
      *out = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
      *out = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IPersistStreamInit)
      *out = static_cast<IPersistStreamInit*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: the five members by dispatch id.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    static const struct {
      const wchar_t* name;
      DISPID id;
    } kMembers[] = {{L"Movie", dispid::kMovie},
                    {L"SAlign", dispid::kSAlign},
                    {L"Menu", dispid::kMenu},
                    {L"SetVariable", dispid::kSetVariable},
                    {L"StopPlay", dispid::kStopPlay}};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (const auto& m : kMembers)
        if (lstrcmpiW(names[i], m.name) == 0) ids[i] = m.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

  // IShockwaveFlash: the members in use, then every other slot up to SetVariable.
  HRESULT STDMETHODCALLTYPE get_Movie(BSTR* path) override {
    Log("get Movie");
    *path = SysAllocStringLen(movie_.data(), static_cast<UINT>(movie_.size()));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Movie(BSTR path) override { return PutMovie("put Movie", path); }
  HRESULT STDMETHODCALLTYPE get_SAlign(BSTR* align) override {
    return GetSAlign("get SAlign", align);
  }
  HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL menu) override {
    return PutMenu("put Menu", menu);
  }
  HRESULT STDMETHODCALLTYPE StopPlay() override { return Failing("StopPlay", "StopPlay"); }
  HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override {
    return Failing("SetVariable " + Narrow(name) + "=" + Narrow(value), "SetVariable");
  }
  STANDIN_UNUSED(get_ReadyState, long*)
  STANDIN_UNUSED(get_TotalFrames, long*)
  STANDIN_UNUSED(get_Playing, VARIANT_BOOL*)
  STANDIN_UNUSED(put_Playing, VARIANT_BOOL)
  STANDIN_UNUSED(get_Quality, int*)
  STANDIN_UNUSED(put_Quality, int)
  STANDIN_UNUSED(get_ScaleMode, int*)
  STANDIN_UNUSED(put_ScaleMode, int)
  STANDIN_UNUSED(get_AlignMode, int*)
  STANDIN_UNUSED(put_AlignMode, int)
  STANDIN_UNUSED(get_BackgroundColor, long*)
  STANDIN_UNUSED(put_BackgroundColor, long)
  STANDIN_UNUSED(get_Loop, VARIANT_BOOL*)
  STANDIN_UNUSED(put_Loop, VARIANT_BOOL)
  STANDIN_UNUSED(get_FrameNum, long*)
  STANDIN_UNUSED(put_FrameNum, long)
  STANDIN_UNUSED(SetZoomRect, long, long, long, long)
  STANDIN_UNUSED(Zoom, int)
  STANDIN_UNUSED(Pan, long, long, int)
  STANDIN_UNUSED(Play, void)
  STANDIN_UNUSED(Stop, void)
  STANDIN_UNUSED(Back, void)
  STANDIN_UNUSED(Forward, void)
  STANDIN_UNUSED(Rewind, void)
  STANDIN_UNUSED(GotoFrame, long)
  STANDIN_UNUSED(CurrentFrame, long*)
  STANDIN_UNUSED(IsPlaying, VARIANT_BOOL*)
  STANDIN_UNUSED(PercentLoaded, long*)
  STANDIN_UNUSED(FrameLoaded, long, VARIANT_BOOL*)
  STANDIN_UNUSED(FlashVersion, long*)
  STANDIN_UNUSED(get_WMode, BSTR*)
  STANDIN_UNUSED(put_WMode, BSTR)
  STANDIN_UNUSED(put_SAlign, BSTR)
  STANDIN_UNUSED(get_Menu, VARIANT_BOOL*)
  STANDIN_UNUSED(get_Base, BSTR*)
  STANDIN_UNUSED(put_Base, BSTR)
  STANDIN_UNUSED(get_Scale, BSTR*)
  STANDIN_UNUSED(put_Scale, BSTR)
  STANDIN_UNUSED(get_DeviceFont, VARIANT_BOOL*)
  STANDIN_UNUSED(put_DeviceFont, VARIANT_BOOL)
  STANDIN_UNUSED(get_EmbedMovie, VARIANT_BOOL*)
  STANDIN_UNUSED(put_EmbedMovie, VARIANT_BOOL)
  STANDIN_UNUSED(get_BGColor, BSTR*)
  STANDIN_UNUSED(put_BGColor, BSTR)
  STANDIN_UNUSED(get_Quality2, BSTR*)
  STANDIN_UNUSED(put_Quality2, BSTR)
  STANDIN_UNUSED(LoadMovie, int, BSTR)
  STANDIN_UNUSED(TGotoFrame, BSTR, long)
  STANDIN_UNUSED(TGotoLabel, BSTR, BSTR)
  STANDIN_UNUSED(TCurrentFrame, BSTR, long*)
  STANDIN_UNUSED(TCurrentLabel, BSTR, BSTR*)
  STANDIN_UNUSED(TPlay, BSTR)
  STANDIN_UNUSED(TStopPlay, BSTR)
  STANDIN_UNUSED(GetVariable, BSTR, BSTR*)

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    Log(site ? "SetClientSite site" : "SetClientSite null");
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    if (window_) Deactivate();
    return Failing("Close", "Close");
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return OLE_S_USEREG; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
    *clsid = flash::kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    Deactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    Log("SetObjectRects " + RectText(*position));
    if (window_)
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

  // IPersistStreamInit: nothing to persist, but a host starts a new control.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = flash::kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitNew() override { return Failing("InitNew", "InitNew"); }

 private:
  ~StandinControl() {
    if (window_) DestroyWindow(window_);
    if (site_) site_->Release();
    Log("destroy");
  }

  HRESULT PutMovie(const std::string& how, BSTR path) {
    const HRESULT hr = Failing(how + " " + Narrow(path), "Movie");
    if (FAILED(hr)) return hr;
    movie_.assign(path ? path : L"", path ? SysStringLen(path) : 0);
    if (window_) {
      SetWindowTextW(window_, movie_.c_str());
      InvalidateRect(window_, nullptr, TRUE);
    }
    return S_OK;
  }
  HRESULT GetSAlign(const std::string& how, BSTR* align) {
    const HRESULT hr = Failing(how + " " + NarrowAlign(), "SAlign");
    if (FAILED(hr)) return hr;
    *align = SysAllocStringLen(align_.data(), static_cast<UINT>(align_.size()));
    return S_OK;
  }
  std::string NarrowAlign() const {
    const int n = WideCharToMultiByte(CP_ACP, 0, align_.data(), static_cast<int>(align_.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, align_.data(), static_cast<int>(align_.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
  }
  HRESULT PutMenu(const std::string& how, VARIANT_BOOL menu) {
    return Failing(how + (menu ? " true" : " false"), "Menu");
  }
  void Deactivate() {
    Log("InPlaceDeactivate");
    if (!window_) return;
    DestroyWindow(window_);
    window_ = nullptr;
    IOleInPlaceSite* inPlaceSite = nullptr;
    if (site_ && SUCCEEDED(site_->QueryInterface(IID_IOleInPlaceSite,
                                                 reinterpret_cast<void**>(&inPlaceSite)))) {
      inPlaceSite->OnInPlaceDeactivate();
      inPlaceSite->Release();
    }
  }

  ULONG refs_ = 1;
  IOleClientSite* site_ = nullptr;
  HWND window_ = nullptr;
  std::wstring movie_;
  std::wstring align_;
};

#pragma GCC diagnostic pop

HRESULT StandinControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const bool get = (flags & DISPATCH_PROPERTYGET) != 0 && !put;
  const UINT argCount = params ? params->cArgs : 0;
  // Arguments arrive last first.
  auto arg = [&](UINT index, VARTYPE type, VARIANT& out) {
    VariantInit(&out);
    if (index >= argCount) return DISP_E_BADPARAMCOUNT;
    return VariantChangeType(&out, &params->rgvarg[argCount - 1 - index], 0, type);
  };
  switch (id) {
    case dispid::kMovie:
      if (put) {
        VARIANT path;
        HRESULT hr = arg(0, VT_BSTR, path);
        if (SUCCEEDED(hr)) hr = PutMovie("dispatch put Movie", path.bstrVal);
        VariantClear(&path);
        return hr;
      }
      break;
    case dispid::kSAlign:
      if (get && result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        return GetSAlign("dispatch get SAlign", &result->bstrVal);
      }
      break;
    case dispid::kMenu:
      if (put) {
        VARIANT menu;
        HRESULT hr = arg(0, VT_BOOL, menu);
        if (SUCCEEDED(hr)) hr = PutMenu("dispatch put Menu", menu.boolVal);
        return hr;
      }
      break;
    case dispid::kSetVariable:
      if (flags & DISPATCH_METHOD) {
        VARIANT name;
        VARIANT value;
        HRESULT hr = arg(0, VT_BSTR, name);
        if (SUCCEEDED(hr)) hr = arg(1, VT_BSTR, value);
        if (SUCCEEDED(hr))
          hr = Failing("dispatch SetVariable " + Narrow(name.bstrVal) + "=" + Narrow(value.bstrVal),
                       "SetVariable");
        VariantClear(&name);
        VariantClear(&value);
        return hr;
      }
      break;
    case dispid::kStopPlay:
      if (flags & DISPATCH_METHOD) return Failing("dispatch StopPlay", "StopPlay");
      break;
    default:
      Log("unexpected dispatch " + std::to_string(id));
      return DISP_E_MEMBERNOTFOUND;
  }
  Log("unexpected dispatch kind " + std::to_string(id) + " flags " + std::to_string(flags));
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT StandinControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                               LPCRECT position) {
  std::string line = "DoVerb " + std::to_string(verb);
  if (position) line += " rect=" + RectText(*position);
  if (ShouldFail("DoVerb")) {
    Log(line + " failed");
    return E_FAIL;
  }
  Log(line);
  if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW && verb != OLEIVERB_UIACTIVATE &&
      verb != OLEIVERB_PRIMARY)
    return OLEOBJ_S_INVALIDVERB;
  if (window_) return S_OK;
  IOleClientSite* from = site ? site : site_;
  IOleInPlaceSite* inPlaceSite = nullptr;
  if (!from ||
      FAILED(from->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite))))
    return E_NOINTERFACE;
  HRESULT hr = inPlaceSite->CanInPlaceActivate();
  if (hr == S_OK) hr = inPlaceSite->OnInPlaceActivate();
  HWND siteWindow = nullptr;
  if (SUCCEEDED(hr)) hr = inPlaceSite->GetWindow(&siteWindow);
  RECT bounds{};
  if (SUCCEEDED(hr)) {
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof info;
    hr = inPlaceSite->GetWindowContext(&frame, &document, &bounds, &clip, &info);
    if (frame) frame->Release();
    if (document) document->Release();
  }
  inPlaceSite->Release();
  if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  if (position) bounds = *position;
  if (parent != siteWindow) Log("DoVerb parent differs from the site's window");
  if (!RegisterStandinClass()) return HRESULT_FROM_WIN32(GetLastError());
  window_ = CreateWindowExW(0, L"SsiFlashStandin", movie_.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left, bounds.top,
                            bounds.right - bounds.left, bounds.bottom - bounds.top, siteWindow,
                            nullptr, g_module, nullptr);
  return window_ ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace

void SetModule(HINSTANCE module) { g_module = module; }

HRESULT CreateControl(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (RefuseCreation()) {
    Log("create refused");
    return E_FAIL;
  }
  StandinControl* control = new (std::nothrow) StandinControl;
  if (!control) return E_OUTOFMEMORY;
  const HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

}  // namespace ssi::standin
