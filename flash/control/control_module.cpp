// The control's DLL: its class object, and its registration in HKLM under
// the Shockwave Flash class and ProgID.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "control_identity.h"
#include "flash_control.h"

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // One static instance: its count does not matter.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out) *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return flashctl::FlashControl::Create(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) InterlockedIncrement(&locks_);
    else InterlockedDecrement(&locks_);
    return S_OK;
  }
  LONG Locks() const { return locks_; }

 private:
  LONG locks_ = 0;
};
#pragma GCC diagnostic pop

ClassFactory g_factory;

// HKLM\Software\Classes: the machine's classes, whatever the user's are.
bool SetValue(const std::string& path, const char* name, const std::string& value) {
  HKEY key = nullptr;
  const std::string full = "Software\\Classes\\" + path;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = RegSetValueExA(key, name, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteTree(const std::string& path) {
  const std::string full = "Software\\Classes\\" + path;
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, full.c_str());
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    flashctl::SetModule(module);
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != ssi::flash::kClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return flashctl::LiveObjects() == 0 && g_factory.Locks() == 0 ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(flashctl::Module(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  using namespace flashctl;
  const std::string key = std::string("CLSID\\") + kClsidText;
  const bool ok =
      SetValue(key, nullptr, kDescription) &&
      SetValue(key + "\\InprocServer32", nullptr, std::string(path, n)) &&
      SetValue(key + "\\InprocServer32", "ThreadingModel", "Apartment") &&
      SetValue(key + "\\ProgID", nullptr, kProgIdVersioned) &&
      SetValue(key + "\\VersionIndependentProgID", nullptr, kProgId) &&
      SetValue(key + "\\Control", nullptr, "") &&
      SetValue(kProgId, nullptr, kDescription) &&
      SetValue(std::string(kProgId) + "\\CLSID", nullptr, kClsidText) &&
      SetValue(std::string(kProgId) + "\\CurVer", nullptr, kProgIdVersioned) &&
      SetValue(kProgIdVersioned, nullptr, kDescription) &&
      SetValue(std::string(kProgIdVersioned) + "\\CLSID", nullptr, kClsidText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  using namespace flashctl;
  DeleteTree(std::string("CLSID\\") + kClsidText);
  DeleteTree(kProgId);
  DeleteTree(kProgIdVersioned);
  return S_OK;
}

}  // extern "C"
