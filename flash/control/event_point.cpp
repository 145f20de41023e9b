#include "event_point.h"

#include <algorithm>

#include "shockwave_flash.h"

namespace flashctl {

HRESULT EventPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT EventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = ssi::flash::kIidShockwaveFlashEvents;
  return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = owner_;
  owner_->AddRef();
  return S_OK;
}

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  // A sink implements the events dispinterface, which is an IDispatch.
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(ssi::flash::kIidShockwaveFlashEvents,
                                  reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return CONNECT_E_CANNOTCONNECT;
  sinks_.push_back({nextCookie_, dispatch});
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) {
  const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                  [cookie](const Sink& s) { return s.cookie == cookie; });
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  IDispatch* dispatch = found->dispatch;
  sinks_.erase(found);
  dispatch->Release();
  return S_OK;
}

void EventPoint::UnadviseAll() {
  std::vector<Sink> sinks;
  sinks.swap(sinks_);
  for (const Sink& s : sinks) s.dispatch->Release();
}

void EventPoint::Fire(DISPID id, std::vector<VARIANT> args) {
  if (!frozen_ && !sinks_.empty()) {
    std::reverse(args.begin(), args.end());  // IDispatch takes them last first
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    // A sink may unadvise while it is called: call a copy, each held.
    std::vector<Sink> sinks = sinks_;
    for (const Sink& s : sinks) s.dispatch->AddRef();
    for (const Sink& s : sinks) {
      s.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                         nullptr, nullptr);
      s.dispatch->Release();
    }
  }
  for (VARIANT& v : args) VariantClear(&v);
}

}  // namespace flashctl
