// Display Properties after an elevated install (Wine's programs all are):
// only the signed-in user's shell may start it. A program of the same user
// can take the shell away, or answer in its place; the installer must then
// start nothing rather than the control panel with its own token.
#include <windows.h>
#include <exdisp.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "sample_data_file.h"

namespace ssi::e2e {
namespace {

constexpr const char* kDisplayProperties = "Display Properties";
constexpr DWORD kPanelWaitMs = 8000;
constexpr DWORD kPollMs = 100;
// The Flash check's failed creations, and a start of the shell windows object
// that no live server answers, take a minute or more on a loaded machine.
constexpr DWORD kSlowEndMs = 2 * kExitTimeoutMs;

// The id of the process that started process `pid`; 0 when it is gone.
DWORD ParentOf(DWORD pid) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (entry.th32ProcessID == pid) parent = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  return parent;
}

// Ends every explorer.exe; how many it ended.
int EndShells() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int ended = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, "explorer.exe") != 0) continue;
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    if (process && TerminateProcess(process, 1)) ++ended;
    if (process) CloseHandle(process);
  }
  CloseHandle(snapshot);
  return ended;
}

// COM objects are released through their interfaces, never deleted.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// A shell windows object that knows no desktop, and counts who asked.
class NoDesktop : public IShellWindows, public IClassFactory {
 public:
  std::atomic<int> asked{0};

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
    } else if (iid == IID_IDispatch || iid == IID_IShellWindows) {
      *out = static_cast<IShellWindows*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    return static_cast<IShellWindows*>(this)->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(VARIANT, IDispatch** folder) override {
    *folder = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Register(IDispatch*, LONG, int, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterPending(LONG, VARIANT*, VARIANT*, int, LONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Revoke(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnNavigate(LONG, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnActivated(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT*, VARIANT*, int, LONG* window, int,
                                         IDispatch** found) override {
    ++asked;
    if (window) *window = 0;
    if (found) *found = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnCreated(LONG, IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ProcessAttachDetach(VARIANT_BOOL) override { return E_NOTIMPL; }
};
#pragma GCC diagnostic pop

// The user's program: once the screen saver is in the Windows folder, it
// ends every shell, and every one that comes back, until told to stop.
struct ShellEnder {
  std::string landed;
  std::atomic<bool> stop{false};
  std::atomic<int> ended{0};

  static DWORD WINAPI Run(void* self) {
    ShellEnder& s = *static_cast<ShellEnder*>(self);
    while (!s.stop && GetFileAttributesA(s.landed.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(0);
    while (!s.stop) {
      s.ended += EndShells();
      Sleep(5);
    }
    return 0;
  }
};

class ElevatedStart : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_TRUE(CopyFileA(test::ArtifactPath("SSI_DESK_CPL").c_str(),
                          (std::string(system) + "\\desk.cpl").c_str(), FALSE));
  }

  // A silent install that asks for Display Properties; its Flash installer
  // (Wine has no Flash player) is a program that ends at once.
  std::string Installer() const {
    TestPayload p = MeadowPayload(library_, false, false);
    p.displayMode = 4;
    p.displayPropertiesFlag = 1;
    p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
    p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
    p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
    p.entries[entry::kFlashInstaller] = {
        "flashax.exe", test::ReadWholeFile(test::ArtifactPath("SSI_CHILD_PROBE")), 2};
    return Compose(stub_, p).image;
  }

  // Fails the test when a Display Properties panel comes that the installer
  // started itself, or any at all (with no shell, nobody else could have).
  static void ExpectNoPanel(DWORD installer) {
    for (DWORD waited = 0; waited < kPanelWaitMs; waited += kPollMs) {
      const HWND panel = FindWindowA(nullptr, kDisplayProperties);
      if (!panel) {
        Sleep(kPollMs);
        continue;
      }
      DWORD pid = 0;
      GetWindowThreadProcessId(panel, &pid);
      const DWORD parent = ParentOf(pid);
      ADD_FAILURE() << "Display Properties started by "
                    << (parent == installer ? std::string("the installer")
                                            : "process " + std::to_string(parent));
      PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
      return;
    }
  }
};

// Each attack in a prefix of its own: the ended shell would not answer the
// other one.
class ElevatedStartShellEnded : public ElevatedStart {};
class ElevatedStartShellImpersonated : public ElevatedStart {};

// The user's program ends the shell the moment the screen saver lands in the
// Windows folder, and every shell that comes back.
TEST_F(ElevatedStartShellEnded, StartsNothing) {
  ShellEnder ender;
  ender.landed = meadow_.windowsDir + "meadow.scr";
  const HANDLE attacker = CreateThread(nullptr, 0, ShellEnder::Run, &ender, 0, nullptr);
  ASSERT_NE(attacker, nullptr);
  InstallerSession session;
  const bool launched = session.Launch(Installer());
  const bool ended_ = launched && session.WaitForEnd(kSlowEndMs);
  ExpectNoPanel(session.Pid());
  ender.stop = true;
  WaitForSingleObject(attacker, INFINITE);
  CloseHandle(attacker);
  ASSERT_TRUE(launched) << session.launchError;
  ASSERT_TRUE(ended_);
  EXPECT_EQ(session.ExitCode(), kExitInstalled) << DescribeBoxes(session.boxes);
  EXPECT_GT(ender.ended.load(), 0) << "no shell was running to end";
}

// The user's program answers as the shell windows object that there is no
// desktop; registered after the shell, it is the one asked.
TEST_F(ElevatedStartShellImpersonated, StartsNothing) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  NoDesktop fake;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_ShellWindows, static_cast<IClassFactory*>(&fake),
                                  CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  InstallerSession session;
  const bool launched = session.Launch(Installer());
  const bool ended = launched && session.WaitForEnd(kSlowEndMs);
  ExpectNoPanel(session.Pid());
  CoRevokeClassObject(cookie);
  CoUninitialize();
  ASSERT_TRUE(launched) << session.launchError;
  ASSERT_TRUE(ended);
  EXPECT_EQ(session.ExitCode(), kExitInstalled) << DescribeBoxes(session.boxes);
  EXPECT_GT(fake.asked.load(), 0) << "the installer never asked the stand-in shell";
}

}  // namespace
}  // namespace ssi::e2e
