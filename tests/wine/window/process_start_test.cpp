// The installer's process set-up, with the COM calls of this very program
// watched through its import table: the process-wide COM security is set
// before the first COM object is asked for (later, COM would refuse it and
// keep its defaults), with identify-level impersonation and no custom
// marshalling.
#include <windows.h>
#include <objbase.h>
#include <exdisp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "process_start.h"

namespace ssi::test {
namespace {

std::vector<std::string> g_calls;
DWORD g_impersonation = 0;
DWORD g_capabilities = 0;

using SecurityFn = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*,
                                    DWORD, DWORD, void*, DWORD, void*);
using CreateFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
using ClassObjectFn = HRESULT(WINAPI*)(REFCLSID, DWORD, COSERVERINFO*, REFIID, LPVOID*);
SecurityFn g_security = nullptr;
CreateFn g_create = nullptr;
ClassObjectFn g_classObject = nullptr;

HRESULT WINAPI WatchedSecurity(PSECURITY_DESCRIPTOR sd, LONG count,
                               SOLE_AUTHENTICATION_SERVICE* services, void* reserved1,
                               DWORD authentication, DWORD impersonation, void* list,
                               DWORD capabilities, void* reserved3) {
  g_calls.push_back("CoInitializeSecurity");
  g_impersonation = impersonation;
  g_capabilities = capabilities;
  return g_security(sd, count, services, reserved1, authentication, impersonation, list,
                    capabilities, reserved3);
}
HRESULT WINAPI WatchedCreate(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                             LPVOID* out) {
  g_calls.push_back("CoCreateInstance");
  return g_create(clsid, outer, context, iid, out);
}
HRESULT WINAPI WatchedClassObject(REFCLSID clsid, DWORD context, COSERVERINFO* server, REFIID iid,
                                  LPVOID* out) {
  g_calls.push_back("CoGetClassObject");
  return g_classObject(clsid, context, server, iid, out);
}

// Points this program's import of `name` from ole32.dll at `watcher`; the
// function it pointed at before, or null when there is no such import.
void* Redirect(const char* name, void* watcher) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "ole32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      void* before = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(watcher);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return before;
    }
  }
  return nullptr;
}

TEST(ProcessStart, SecuresComBeforeTheFirstObject) {
  g_security = reinterpret_cast<SecurityFn>(
      Redirect("CoInitializeSecurity", reinterpret_cast<void*>(&WatchedSecurity)));
  g_create = reinterpret_cast<CreateFn>(
      Redirect("CoCreateInstance", reinterpret_cast<void*>(&WatchedCreate)));
  g_classObject = reinterpret_cast<ClassObjectFn>(
      Redirect("CoGetClassObject", reinterpret_cast<void*>(&WatchedClassObject)));
  ASSERT_NE(g_security, nullptr) << "the installer's code never calls CoInitializeSecurity";
  ASSERT_NE(g_create, nullptr);

  const bool ole = StartProcess();
  EXPECT_TRUE(ole);
  // The object the elevated installer asks another process for. (The Flash
  // check, the window's first object, takes a minute under Wine.)
  IUnknown* windows = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&windows))))
    windows->Release();
  EndProcess(ole);

  ASSERT_GE(g_calls.size(), 2u);
  EXPECT_EQ(g_calls.front(), "CoInitializeSecurity");
  EXPECT_EQ(g_impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IDENTIFY));
  EXPECT_NE(g_capabilities & EOAC_NO_CUSTOM_MARSHAL, 0u);
}

}  // namespace
}  // namespace ssi::test
