#include "flash_host.h"

#include <ole2.h>
#include <ocidl.h>

#include <new>
#include <utility>

#include "shockwave_flash.h"

namespace ssi {
namespace {

// COM objects here are deleted through Release, never through a base pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The in-place frame: the installer window's top-level window, with no menus,
// tool space or accelerators to share.
class FlashFrame final : public IOleInPlaceFrame {
 public:
  explicit FlashFrame(HWND topLevel) : topLevel_(topLevel) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow ||
        iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = topLevel_;
    return topLevel_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override {
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~FlashFrame() = default;
  ULONG refs_ = 1;
  HWND topLevel_;
};

// The control's client site and in-place site: a window to live in and a
// rectangle in it. Nothing is saved, no container is offered.
class FlashSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit FlashSite(HWND window) : window_(window) {}

  void SetWindow(HWND window) { window_ = window; }
  void SetBounds(const RECT& bounds) { bounds_ = bounds; }
  IOleClientSite* AsClientSite() { return this; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *document = nullptr;
    *frame = new (std::nothrow) FlashFrame(GetAncestor(window_, GA_ROOT));
    if (!*frame) return E_OUTOFMEMORY;
    *position = bounds_;
    *clip = bounds_;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(window_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

 private:
  ~FlashSite() = default;
  ULONG refs_ = 1;
  HWND window_;
  RECT bounds_{};
};

#pragma GCC diagnostic pop

constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// Invoke by dispatch id; an exception the control reports is a failure like
// any other, its texts freed here.
HRESULT InvokeById(FlashControl& control, DISPID id, WORD kind, DISPPARAMS& params,
                   VARIANT* result);

}  // namespace

struct FlashControl {
  ComPtr<IOleObject> object;
  ComPtr<FlashSite> site;
  RECT bounds{};
  bool active = false;
};

void FlashControlDeleter::operator()(FlashControl* control) const {
  if (!control) return;
  // Whatever the control answers, it is gone afterwards: its failures here
  // must not keep the window from closing.
  if (control->object) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (control->active && SUCCEEDED(control->object.QueryInto(IID_IOleInPlaceObject, inPlace)))
      inPlace->InPlaceDeactivate();
    control->object->Close(OLECLOSE_NOSAVE);
    control->object->SetClientSite(nullptr);
  }
  delete control;
}

namespace {

HRESULT InvokeById(FlashControl& control, DISPID id, WORD kind, DISPPARAMS& params,
                   VARIANT* result) {
  ComPtr<IDispatch> dispatch;
  HRESULT hr = control.object.QueryInto(IID_IDispatch, dispatch);
  if (FAILED(hr)) return hr;
  EXCEPINFO exception{};
  UINT badArgument = 0;
  hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, &exception,
                        &badArgument);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

HRESULT PutProperty(FlashControl& control, DISPID id, VARIANT& value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  return InvokeById(control, id, DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT QueryFlash(FlashControl& control, ComPtr<flash::IShockwaveFlash>& flashIntf) {
  return control.object.QueryInto(flash::kIidShockwaveFlash, flashIntf);
}

}  // namespace

bool ProbeFlashControl() {
  ComPtr<IOleObject> probe;
  return SUCCEEDED(
      CoCreateInstance(flash::kClsid, nullptr, kClassContext, IID_IOleObject, probe.PutVoid()));
}

HRESULT CreateFlashControl(HWND owner, MoviePlayerRef& player) {
  MoviePlayerRef control(new (std::nothrow) FlashControl);
  if (!control) return E_OUTOFMEMORY;
  HRESULT hr = CoCreateInstance(flash::kClsid, nullptr, kClassContext, IID_IOleObject,
                                control->object.PutVoid());
  if (FAILED(hr)) return hr;
  control->site = ComPtr<FlashSite>::Adopt(new (std::nothrow) FlashSite(owner));
  if (!control->site) return E_OUTOFMEMORY;
  hr = control->object->SetClientSite(control->site->AsClientSite());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistStreamInit> persist;
  if (SUCCEEDED(control->object.QueryInto(IID_IPersistStreamInit, persist))) {
    hr = persist->InitNew();
    if (FAILED(hr)) return hr;
  }
  player = std::move(control);
  return S_OK;
}

HRESULT PlaceFlashControl(FlashControl& control, const RECT& bounds) {
  control.bounds = bounds;
  control.site->SetBounds(bounds);
  if (!control.active) return S_OK;
  ComPtr<IOleInPlaceObject> inPlace;
  const HRESULT hr = control.object.QueryInto(IID_IOleInPlaceObject, inPlace);
  if (FAILED(hr)) return hr;
  return inPlace->SetObjectRects(&control.bounds, &control.bounds);
}

HRESULT SetFlashParent(FlashControl& control, HWND parent) {
  control.site->SetWindow(parent);
  const HRESULT hr = control.object->DoVerb(
      OLEIVERB_INPLACEACTIVATE, nullptr, control.site->AsClientSite(), 0, parent, &control.bounds);
  // Even a failed activation may have got far enough to need deactivating.
  control.active = true;
  return hr;
}

HRESULT SetFlashMovie(FlashControl& control, const std::string& path) {
  Bstr text = Bstr::FromAnsi(path);
  if (!text.get()) return E_OUTOFMEMORY;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = text.get();  // still owned by `text`
  return PutProperty(control, flash::dispid::kMovie, value);
}

HRESULT ReadFlashSAlign(FlashControl& control, Bstr& value) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Variant result;
  HRESULT hr =
      InvokeById(control, flash::dispid::kSAlign, DISPATCH_PROPERTYGET, none, result.get());
  if (FAILED(hr)) return hr;
  if (result.value().vt != VT_BSTR) {
    hr = VariantChangeType(result.get(), result.get(), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
  }
  value.Adopt(result.get()->bstrVal);
  result.get()->vt = VT_EMPTY;
  return S_OK;
}

HRESULT SetFlashMenu(FlashControl& control, bool shown) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BOOL;
  value.boolVal = shown ? VARIANT_TRUE : VARIANT_FALSE;
  return PutProperty(control, flash::dispid::kMenu, value);
}

HRESULT SetFlashVariable(FlashControl& control, BSTR name, BSTR value) {
  ComPtr<flash::IShockwaveFlash> flashIntf;
  const HRESULT hr = QueryFlash(control, flashIntf);
  if (FAILED(hr)) return hr;
  return flashIntf->SetVariable(name, value);
}

HRESULT StopFlashPlay(FlashControl& control) {
  ComPtr<flash::IShockwaveFlash> flashIntf;
  const HRESULT hr = QueryFlash(control, flashIntf);
  if (FAILED(hr)) return hr;
  return flashIntf->StopPlay();
}

}  // namespace ssi
