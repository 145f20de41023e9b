// The hand-over steps one by one: the name system.ini receives, the uninstall
// entry, Display Properties opened and closed, and a clean-up that must not
// reach outside the Windows directory.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "activation.h"
#include "artifacts.h"
#include "install_fixture.h"
#include "messages.h"

namespace ssi::test {
namespace {

// An Installer whose program (payload entry 6) is `programName` in the real
// Windows directory, with a scratch folder for the screen saver.
struct Handover {
  explicit Handover(const std::string& saverName, const std::string& programName = {}) {
    in.paths.windowsDir = WindowsDir();
    in.paths.saverName = saverName;
    in.paths.saverDir = MakeTempFolder("ssi-activation");
    in.header.entries[6].name = programName.empty() ? saverName + ".scr" : programName;
  }
  std::string ProgramPath() const { return in.paths.windowsDir + in.header.entries[6].name; }
  RecordingUi ui;
  Installer in{ui};
};

std::string UninstallKey(const std::string& name) { return std::string(kUninstallKeyBase) + name; }

TEST(Activation, EightThreeNameIsWrittenAsItIs) {
  Handover h("meadow");
  ASSERT_TRUE(WriteWholeFile(h.ProgramPath(), "program"));
  EXPECT_EQ(ActivateScreenSaver(h.in), rc::kOk);
  EXPECT_EQ(ScreenSaverSetting(), "meadow.scr");
  EXPECT_TRUE(h.ui.errorBoxes.empty());
}

// Windows would give SUNNYM~1.SCR; Wine makes its short names from a hash of
// the long name (SUNN~4ZD.SCR under Wine 8). Either way the setting is the
// short name that the file system reports, without a folder.
TEST(Activation, LongNameIsWrittenAsItsShortName) {
  Handover h("Sunny Meadow");
  ASSERT_TRUE(WriteWholeFile(h.ProgramPath(), "program"));
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(h.ProgramPath().c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  const std::string shortName = found.cAlternateFileName;
  ASSERT_FALSE(shortName.empty());

  EXPECT_EQ(ActivateScreenSaver(h.in), rc::kOk);
  EXPECT_EQ(ScreenSaverSetting(), shortName);
  EXPECT_EQ(shortName.find_first_of(" \\"), std::string::npos) << shortName;
  EXPECT_LE(shortName.size(), 12u);
  EXPECT_EQ(shortName.substr(shortName.size() - 4), ".SCR");
}

TEST(Activation, MissingProgramIsWrittenAsItsFullPath) {
  Handover h("nowhere");
  DeleteFileA(h.ProgramPath().c_str());
  EXPECT_EQ(ActivateScreenSaver(h.in), rc::kOk);
  EXPECT_EQ(ScreenSaverSetting(), h.ProgramPath());
}

TEST(Uninstall, WritesTheNameAndTheUninstallCommand) {
  Handover h("meadow");
  EXPECT_EQ(WriteUninstallEntry(h.in), rc::kOk);
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "DisplayName"), "meadow Screen Saver");
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "UninstallString"),
            "\"" + WindowsDir() + "meadow.scr\" /u");
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "QuietUninstallString"),
            "\"" + WindowsDir() + "meadow.scr\" /u /q");
}

TEST(Uninstall, SecondInstallOfTheSameNameOverwritesBothValues) {
  Handover first("twice");
  first.in.paths.windowsDir = "D:\\OLD\\";
  ASSERT_EQ(WriteUninstallEntry(first.in), rc::kOk);
  ASSERT_EQ(MachineString(UninstallKey("twice"), "UninstallString"), "\"D:\\OLD\\twice.scr\" /u");

  Handover second("twice");
  EXPECT_EQ(WriteUninstallEntry(second.in), rc::kOk);
  EXPECT_EQ(MachineString(UninstallKey("twice"), "DisplayName"), "twice Screen Saver");
  EXPECT_EQ(MachineString(UninstallKey("twice"), "UninstallString"),
            "\"" + WindowsDir() + "twice.scr\" /u");
}

TEST(Uninstall, EmptyNameRegistersNothing) {
  Handover h("");
  EXPECT_EQ(WriteUninstallEntry(h.in), rc::kOk);
  EXPECT_EQ(MachineString(UninstallKey(""), "DisplayName"), "<missing>");
  EXPECT_EQ(MachineString(UninstallKey(""), "UninstallString"), "<missing>");
  EXPECT_TRUE(h.ui.errorBoxes.empty());
}

// Wine lets every user write under HKEY_LOCAL_MACHINE; a volatile parent key
// refuses non-volatile children, which stands in for a user without rights.
TEST(UninstallRefused, RefusalIsReportedNamingTheKey) {
  const std::string base = kUninstallKeyBase;
  const std::string parent = base.substr(0, base.size() - 1);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, parent.c_str());
  RegKey volatileKey;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, volatileKey.put(), nullptr),
            ERROR_SUCCESS);

  Handover h("meadow");
  const ResultCode result = WriteUninstallEntry(h.in);
  EXPECT_NE(result, rc::kOk);
  ASSERT_EQ(h.ui.errorBoxes.size(), 1u);
  EXPECT_EQ(h.ui.errorBoxes[0].rfind("Installation Error: Problem using HKEY_LOCAL_MACHINE\\" +
                                         UninstallKey("meadow") + ". \r\n\r\n",
                                     0),
            0u)
      << h.ui.errorBoxes[0];
  EXPECT_EQ(MachineString(UninstallKey("meadow"), "DisplayName"), "<missing>");
}

TEST(DisplayProperties, CloseClicksCancelOfTheOpenControlPanel) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  CloseDisplayProperties();  // none open: nothing happens
  StartDisplayPropertiesByHand();
  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);
  CloseDisplayProperties();
  EXPECT_TRUE(WaitForNoWindow(kDisplayPropertiesTitle, 15000));
}

// A window of that title whose Cancel button never answers, on a thread of
// its own: the button blocks until the test lets it go.
class HungDisplayProperties {
 public:
  HungDisplayProperties() : thread_(CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
  ~HungDisplayProperties() {
    SetEvent(release_.get());
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_.get(), 10000);
  }
  HungDisplayProperties(const HungDisplayProperties&) = delete;
  HungDisplayProperties& operator=(const HungDisplayProperties&) = delete;

 private:
  static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BM_CLICK) {
      auto* self = reinterpret_cast<HungDisplayProperties*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
      WaitForSingleObject(self->release_.get(), INFINITE);
      return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<HungDisplayProperties*>(param);
    WNDCLASSA frame{};
    frame.lpfnWndProc = &FrameProc;
    frame.lpszClassName = "ssi-hung-frame";
    RegisterClassA(&frame);
    WNDCLASSA button{};
    button.lpfnWndProc = &ButtonProc;
    button.lpszClassName = "ssi-hung-button";
    RegisterClassA(&button);
    const HWND window =
        CreateWindowA("ssi-hung-frame", kDisplayPropertiesTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                      100, nullptr, nullptr, nullptr, nullptr);
    const HWND cancel = CreateWindowA("ssi-hung-button", "Cancel", WS_CHILD | WS_VISIBLE, 10, 10,
                                      80, 24, window, reinterpret_cast<HMENU>(2), nullptr, nullptr);
    SetWindowLongPtrA(cancel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    ShowWindow(window, SW_SHOWNORMAL);
    self->window_ = window;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
  }

  KernelHandle release_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HWND volatile window_ = nullptr;
  KernelHandle thread_;
};

DWORD WINAPI CloseOnAThread(void*) {
  CloseDisplayProperties();
  return 0;
}

TEST(DisplayProperties, AWindowThatNeverAnswersDoesNotStopTheInstall) {
  HungDisplayProperties hung;
  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);
  // The click is bounded; this wait only keeps a failing test from hanging.
  KernelHandle closing(CreateThread(nullptr, 0, &CloseOnAThread, nullptr, 0, nullptr));
  EXPECT_EQ(WaitForSingleObject(closing.get(), 10 * kCloseDisplayPropertiesTimeoutMs),
            WAIT_OBJECT_0);
}

TEST(DisplayProperties, OpenShowsStatusRaisesTheWindowAndSteps) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  Handover h("shown");
  h.in.header.displayPropertiesFlag = 1;
  h.in.displayMode = 1;
  OpenDisplayProperties(h.in);
  EXPECT_EQ(h.ui.statuses, std::vector<std::string>{msg::kOpeningDisplayProperties});
  EXPECT_EQ(h.ui.broughtToFront, 1);
  EXPECT_EQ(h.ui.progressSteps, 1);
  ASSERT_NE(WaitForWindow(kDisplayPropertiesTitle, 15000), nullptr);
  CloseDisplayProperties();
  EXPECT_TRUE(WaitForNoWindow(kDisplayPropertiesTitle, 15000));
}

TEST(DisplayProperties, WithoutTheFlagNothingHappensAtAll) {
  ASSERT_TRUE(InstallDisplayPropertiesStandIn());
  Handover h("unshown");
  h.in.header.displayPropertiesFlag = 0;
  h.in.displayMode = 1;
  OpenDisplayProperties(h.in);
  EXPECT_TRUE(h.ui.statuses.empty());
  EXPECT_EQ(h.ui.broughtToFront, 0);
  EXPECT_EQ(h.ui.progressSteps, 0);
  EXPECT_EQ(WaitForWindow(kDisplayPropertiesTitle, 2000), nullptr);
}

TEST(CleanUp, NameWithFolderPartsDeletesNothingOutsideTheWindowsDirectory) {
  const std::string outside = MakeTempFolder("ssi-outside") + "victim.scr";
  ASSERT_TRUE(WriteWholeFile(outside, "not ours"));
  Handover h("hostile");
  h.in.paths.windowsDir = MakeTempFolder("ssi-windows");
  // From the scratch Windows directory up to the temp folder and across.
  const std::string relative = outside.substr(outside.find("ssi-outside"));
  h.in.header.entries[6].name = "..\\" + relative;
  CleanUpFailedInstall(h.in);
  EXPECT_TRUE(FileExistsAt(outside));
}

}  // namespace
}  // namespace ssi::test
