#pragma once
// The control's one connection point, for the events interface: hosts advise
// their sinks here and the control fires ReadyStateChange and FSCommand
// through each sink's IDispatch.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

namespace flashctl {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Lives inside the control and counts its references on the control's.
class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(IConnectionPointContainer* owner) : owner_(owner) {}
  ~EventPoint() { UnadviseAll(); }
  EventPoint(const EventPoint&) = delete;
  EventPoint& operator=(const EventPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // Arguments in the order of the event's declaration. Nothing is sent while
  // the host froze events.
  void Fire(DISPID id, std::vector<VARIANT> args);
  void Freeze(bool frozen) { frozen_ = frozen; }
  void UnadviseAll();

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  IConnectionPointContainer* owner_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
  bool frozen_ = false;
};

#pragma GCC diagnostic pop

}  // namespace flashctl
