// The stand-in control's DLL: class object, registration under the Shockwave
// Flash class, and the module handle the control's window class needs.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "flash_standin.h"
#include "shockwave_flash.h"
#include "standin_control.h"
#include "standin_log.h"

namespace {

HINSTANCE g_module = nullptr;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // One static instance: its count does not matter.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    return ssi::standin::CreateControl(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
#pragma GCC diagnostic pop

ClassFactory g_factory;

std::string ClassKey() {
  wchar_t text[64] = {};
  StringFromGUID2(ssi::flash::kClsid, text, 64);
  std::string key = "CLSID\\";
  for (const wchar_t* c = text; *c; ++c) key += static_cast<char>(*c);
  return key;
}

bool SetValue(const std::string& keyPath, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != 0)
    return false;
  const LONG status =
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    ssi::standin::SetModule(module);
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

// Stays loaded: the control's window class belongs to this module.
HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return SELFREG_E_CLASS;
  const std::string key = ClassKey();
  const bool ok = SetValue(key, nullptr, "Shockwave Flash Object (test stand-in)") &&
                  SetValue(key + "\\InprocServer32", nullptr, std::string(path, n)) &&
                  SetValue(key + "\\InprocServer32", "ThreadingModel", "Apartment");
  ssi::standin::Log(ok ? "DllRegisterServer" : "DllRegisterServer failed");
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  const std::string key = ClassKey();
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
  return S_OK;
}

}  // extern "C"
