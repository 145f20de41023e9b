// "/u" through the real program: the whole life cycle from an install by the
// real installer to an uninstall that leaves the system as it was, apart
// from impborl.dll and the program waiting in the installer's private folder
// for the next start; the question answered No; the quiet form; a file in
// use; attacks through the user's temporary folder and the user's classes;
// and the places that are not this screen saver's, which stay as they are.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "artifacts.h"
#include "cli.h"
#include "elevation.h"
#include "file_checks.h"
#include "installer_form.h"
#include "installer_session.h"
#include "payload_format.h"
#include "saver_fixture.h"
#include "test_installer.h"
#include "win_handles.h"

namespace ssi::saver_test {
namespace {

constexpr const char* kUninstallBase = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD kUninstallMs = 60000;
constexpr DWORD kAttackMs = 15000;  // a command interpreter's loop of the old uninstall
constexpr const char* kPendingKey = "System\\CurrentControlSet\\Control\\Session Manager";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Every path below `folder`, lower case, folders ending in a backslash.
void ListTree(const std::string& folder, std::set<std::string>& out) {
  for (const std::string& name : e2e::FolderEntries(folder)) {
    const std::string path = folder + name;
    if (e2e::FolderExists(path)) {
      out.insert(Lower(path) + "\\");
      ListTree(path + "\\", out);
    } else {
      out.insert(Lower(path));
    }
  }
}

std::string MachineValue(const std::string& key, const char* name, DWORD* dword = nullptr) {
  RegKey opened;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
    return "<no key>";
  char buffer[1024] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (RegQueryValueExA(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS)
    return "<missing>";
  if (type == REG_DWORD && dword) std::memcpy(dword, buffer, sizeof *dword);
  return type == REG_SZ ? std::string(buffer) : "<dword>";
}

bool KeyExists(HKEY root, const std::string& key) {
  RegKey opened;
  return RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

std::string CurrentSaver() {
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, "system.ini");
  return value;
}

// What an uninstall may change, seen at one moment.
struct SystemState {
  std::set<std::string> windowsTree;
  std::string currentSaver;
  std::set<std::string> uninstallKeys;
  bool userSettings = false;

  static SystemState Take() {
    SystemState s;
    ListTree(test::WindowsDir(), s.windowsTree);
    s.currentSaver = CurrentSaver();
    for (const char* name : {"meadow", "other", "linked", "inner", "Sunny Meadow"})
      if (KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + std::string(name)))
        s.uninstallKeys.insert(name);
    s.userSettings = KeyExists(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\meadow");
    return s;
  }
};

std::string Difference(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::string out;
  for (const std::string& x : a)
    if (!b.count(x)) out += "  only before: " + x + "\n";
  for (const std::string& x : b)
    if (!a.count(x)) out += "  only after: " + x + "\n";
  return out;
}

void ExpectSameState(const SystemState& before, const SystemState& after) {
  EXPECT_EQ(Difference(before.windowsTree, after.windowsTree), "");
  EXPECT_EQ(before.currentSaver, after.currentSaver);
  EXPECT_EQ(before.uninstallKeys, after.uninstallKeys);
  EXPECT_EQ(before.userSettings, after.userSettings);
}

// The files that Windows deletes at its next start (the source names of
// PendingFileRenameOperations with no new name), lower case, without "\??\".
std::set<std::string> PendingDeletions() {
  std::set<std::string> out;
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPendingKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return out;
  std::vector<char> buffer(65536);
  DWORD size = static_cast<DWORD>(buffer.size() - 2);
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), "PendingFileRenameOperations", nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
    return out;
  // Pairs of strings: the file, then its new name, empty for a deletion.
  for (size_t at = 0; at < size && buffer[at] != '\0';) {
    std::string source = buffer.data() + at;
    at += source.size() + 1;
    const std::string target = at < size ? buffer.data() + at : "";
    at += target.size() + 1;
    if (source.rfind("\\??\\", 0) == 0) source.erase(0, 4);
    if (target.empty()) out.insert(Lower(source));
  }
  return out;
}

// Every name created in a folder while it lives, through the system's change
// notification; with `replacement`, each new program is replaced at once by
// a copy of that one, as a user's malware would replace a program that an
// elevated process is about to start.
class FolderWatch {
 public:
  FolderWatch(const std::string& folder, const std::string& replacement)
      : folder_(folder), replacement_(replacement) {
    handle_.reset(CreateFileA(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    InitializeCriticalSection(&lock_);
    if (handle_ && stop_)
      thread_.reset(CreateThread(nullptr, 0, &FolderWatch::Start, this, 0, nullptr));
  }
  ~FolderWatch() {
    SetEvent(stop_.get());
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
    DeleteCriticalSection(&lock_);
  }
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;
  bool Watching() const { return static_cast<bool>(thread_); }
  std::vector<std::string> Created() {
    EnterCriticalSection(&lock_);
    std::vector<std::string> copy = created_;
    LeaveCriticalSection(&lock_);
    return copy;
  }
  int Replaced() const { return replaced_; }

 private:
  static DWORD WINAPI Start(void* self) {
    static_cast<FolderWatch*>(self)->Run();
    return 0;
  }
  void Run() {
    KernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    alignas(DWORD) char buffer[16384];
    for (;;) {
      OVERLAPPED overlapped{};
      overlapped.hEvent = done.get();
      ResetEvent(done.get());
      if (!ReadDirectoryChangesW(handle_.get(), buffer, sizeof buffer, FALSE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME,
                                 nullptr, &overlapped, nullptr))
        return;
      const HANDLE events[] = {done.get(), stop_.get()};
      if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIo(handle_.get());
        return;
      }
      DWORD got = 0;
      if (!GetOverlappedResult(handle_.get(), &overlapped, &got, FALSE)) return;
      for (size_t at = 0; got > 0;) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
        if (info->Action == FILE_ACTION_ADDED || info->Action == FILE_ACTION_RENAMED_NEW_NAME)
          Note(std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t)));
        if (info->NextEntryOffset == 0) break;
        at += info->NextEntryOffset;
      }
    }
  }
  void Note(const std::wstring& wide) {
    const std::string name(wide.begin(), wide.end());  // our names are ASCII
    EnterCriticalSection(&lock_);
    const bool seen = std::find(created_.begin(), created_.end(), name) != created_.end();
    if (!seen) created_.push_back(name);
    LeaveCriticalSection(&lock_);
    if (seen) return;
    if (replacement_.empty() || Lower(name).size() < 4 ||
        Lower(name).substr(Lower(name).size() - 4) != ".exe")
      return;
    // The program may still be open for writing; the first rename that the
    // sharing allows wins the race.
    const std::string source = replacement_ + "." + std::to_string(replaced_ + 1);
    CopyFileA(replacement_.c_str(), source.c_str(), FALSE);
    for (int i = 0; i < 2000; ++i) {
      if (MoveFileExA(source.c_str(), (folder_ + name).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ++replaced_;
        return;
      }
      Sleep(1);
    }
  }

  std::string folder_, replacement_;
  FileHandle handle_;
  KernelHandle stop_;
  KernelHandle thread_;
  CRITICAL_SECTION lock_;
  std::vector<std::string> created_;
  std::atomic<int> replaced_{0};
};

// Sets an environment variable of this process (and so of the programs it
// starts) for as long as it lives.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    char old[4096] = {};
    const DWORD got = GetEnvironmentVariableA(name, old, sizeof old);
    had_ = got > 0 && got < sizeof old;
    if (had_) old_ = old;
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedVariable() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

std::string UserTempFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return temp;
}

// The probe's log: one line per run, "<program>|<current folder>".
std::string ProbeLog() { return test::WindowsDir() + "child-probe.log"; }

bool AppearsSoon(const std::string& path, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    if (e2e::FileExists(path)) return true;
    Sleep(100);
  }
  return e2e::FileExists(path);
}

class SaverUninstall : public SaverTest {
 protected:
  // The screen saver as an install leaves it: files, system.ini naming it,
  // its uninstall entry, and settings of the user's.
  void InstallLikeTheInstaller(const std::string& name) {
    PlaceSaver(name, {{"a.bmp", SolidBitmap(RGB(1, 2, 3))}, {"notes.txt", "notes"}},
               std::string(1220, '\0'));
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", (name + ".scr").c_str(), "system.ini");
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstallBase + name).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    const std::string command = ProgramOf(name) + " /u";
    RegSetValueExA(key.get(), "UninstallString", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegKey user;
    RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\Screen Saver Installer\\" + name).c_str(), 0,
                    nullptr, 0, KEY_SET_VALUE, nullptr, user.put(), nullptr);
  }

  // Runs the program with `arguments`, answering its boxes with `answer`.
  // Nothing may appear in the user's temporary folder meanwhile: an elevated
  // uninstall that puts a program there lets the user's malware replace it.
  void Uninstall(const std::string& name, const std::string& arguments, const std::string& answer,
                 SaverRun& run) {
    FolderWatch temp(UserTempFolder(), {});
    ASSERT_TRUE(temp.Watching());
    ASSERT_TRUE(run.Start(ProgramOf(name), arguments));
    ASSERT_TRUE(run.WaitForEnd(kUninstallMs, answer)) << "the uninstall did not end";
    EXPECT_EQ(temp.Created(), std::vector<std::string>()) << "written to " << UserTempFolder();
  }

  // Gone from the Windows directory at once; a program that was running is
  // in the installer's private folder, deleted when Windows next starts.
  void ExpectRemoved(const std::string& name) {
    EXPECT_FALSE(e2e::FileExists(ProgramOf(name))) << ProgramOf(name) << " is still there";
    const std::string privateFolder = windowsDir_ + "TEMP\\VLF temp\\";
    const std::set<std::string> pending = PendingDeletions();
    for (const std::string& file : e2e::FolderEntries(privateFolder)) {
      if (file.rfind("removed", 0) == 0) {
        EXPECT_TRUE(pending.count(Lower(privateFolder + file))) << file << " stays for good";
      }
    }
    EXPECT_FALSE(e2e::FolderExists(FolderOf(name)));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + name));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\" + name));
    EXPECT_EQ(CurrentSaver(), "");
  }
};

// The data file with the show layout, publisher and version, made by the
// builder's command line.
std::string LayoutDataFile(const std::string& picture) {
  const std::string folder = test::MakeTempFolder("ssi-roundtrip");
  test::WriteWholeFile(folder + "meadow1.bmp", picture);
  std::ostringstream out, err;
  EXPECT_EQ(ssbuild::RunCli(
                {"data", "-o", folder + "meadow.ssd", "--chunk", folder + "meadow1.bmp", "--show",
                 "picture", "meadow1.bmp", "--publisher", "Meadow Makers", "--version", "1.4"},
                out, err),
            0)
      << err.str();
  return test::ReadWholeFile(folder + "meadow.ssd");
}

TEST_F(SaverUninstall, InstallThenUninstallLeavesTheSystemAsItWasButForTheLibrary) {
  const std::string stub = test::ReadWholeFile(test::ArtifactPath("SSI_STUB"));
  const std::string library = test::ReadWholeFile(test::ArtifactPath("SSI_IMPBORL"));
  e2e::TestPayload p = e2e::MeadowPayload(library, false, false);
  p.entries[entry::kSaverProgram].bytes = program_;
  p.entries[entry::kDataFile].bytes = LayoutDataFile(SolidBitmap(RGB(9, 9, 9)));
  p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
  p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
  DeleteFileA((windowsDir_ + "impborl.dll").c_str());
  // The installer runs from a folder of its own; it is not part of the system.
  const std::string image = e2e::Compose(stub, p).image;
  SystemState before = SystemState::Take();

  e2e::InstallerSession install;
  ASSERT_TRUE(install.Launch(image)) << install.launchError;
  const HWND form = install.WaitForForm();
  ASSERT_TRUE(form) << e2e::DescribeBoxes(install.boxes);
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  ASSERT_TRUE(install.WaitForEnd()) << "the install did not end";
  ASSERT_TRUE(install.boxes.empty()) << e2e::DescribeBoxes(install.boxes);
  // The installer's own work folder is not the screen saver's to remove.
  before.windowsTree.insert(Lower(windowsDir_ + "TEMP\\VLF temp\\"));

  // The uninstall entry in full.
  const std::string key = kUninstallBase + std::string("meadow");
  const std::string program = ProgramOf("meadow");
  EXPECT_EQ(MachineValue(key, "DisplayName"), "meadow Screen Saver");
  EXPECT_EQ(MachineValue(key, "UninstallString"), "\"" + program + "\" /u");
  EXPECT_EQ(MachineValue(key, "QuietUninstallString"), "\"" + program + "\" /u /q");
  EXPECT_EQ(MachineValue(key, "DisplayIcon"), program);
  EXPECT_EQ(MachineValue(key, "Publisher"), "Meadow Makers");
  EXPECT_EQ(MachineValue(key, "DisplayVersion"), "1.4");
  DWORD size = 0, noModify = 0, noRepair = 0;
  MachineValue(key, "EstimatedSize", &size);
  MachineValue(key, "NoModify", &noModify);
  MachineValue(key, "NoRepair", &noRepair);
  uint64_t bytes = program_.size();
  for (const std::string& name : e2e::FolderEntries(FolderOf("meadow")))
    bytes += test::ReadWholeFile(FolderOf("meadow") + name).size();
  EXPECT_EQ(size, (bytes + 1023) / 1024);
  EXPECT_EQ(noModify, 1u);
  EXPECT_EQ(noRepair, 1u);
  EXPECT_EQ(CurrentSaver(), "meadow.scr");

  SaverRun run;
  Uninstall("meadow", "/u", "Yes", run);
  EXPECT_EQ(run.exitCode, 0u) << Describe(run.boxes);
  ASSERT_EQ(run.boxes.size(), 1u) << Describe(run.boxes);
  EXPECT_EQ(run.boxes[0].text, "Remove the meadow screen saver from this computer?");
  ExpectRemoved("meadow");
  SystemState after = SystemState::Take();
  EXPECT_TRUE(after.windowsTree.erase(Lower(windowsDir_ + "impborl.dll")))
      << "impborl.dll stays for other screen savers";
  EXPECT_TRUE(after.windowsTree.erase(Lower(windowsDir_ + "TEMP\\VLF temp\\removed1.dat")))
      << "the running program waits in the private folder for the next start";
  ExpectSameState(before, after);
}

TEST_F(SaverUninstall, QuietUninstallAsksNothingAndRemovesEverything) {
  InstallLikeTheInstaller("meadow");
  SaverRun run;
  Uninstall("meadow", "/U /Q", "", run);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
  ExpectRemoved("meadow");
}

// The uninstall entry's commands quote the program's path; older installs
// wrote it without quotes, and with a blank in the name only the whole path
// tells where the switches begin. Both forms work.
TEST_F(SaverUninstall, EntryCommandsWorkForANameWithABlank) {
  InstallLikeTheInstaller("Sunny Meadow");
  char shortPath[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameA(ProgramOf("Sunny Meadow").c_str(), shortPath, MAX_PATH), 0u);
  const std::string shortName = std::strrchr(shortPath, '\\') + 1;
  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", shortName.c_str(), "system.ini");
  {
    SaverRun asks;  // "/u": the question comes, so the switch was seen
    ASSERT_TRUE(asks.StartCommandLine(ProgramOf("Sunny Meadow") + " /u"));
    ASSERT_TRUE(asks.WaitForEnd(kUninstallMs, "No"));
    EXPECT_EQ(asks.exitCode, 2u) << Describe(asks.boxes);
  }
  SaverRun run;
  ASSERT_TRUE(run.StartCommandLine("\"" + ProgramOf("Sunny Meadow") + "\" /u /q"));
  ASSERT_TRUE(run.WaitForEnd(kUninstallMs));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty()) << Describe(run.boxes);
  ExpectRemoved("Sunny Meadow");
}

TEST_F(SaverUninstall, AnsweringNoChangesNothing) {
  InstallLikeTheInstaller("meadow");
  const SystemState before = SystemState::Take();
  SaverRun run;
  Uninstall("meadow", "/u", "No", run);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(run.boxes.size(), 1u) << Describe(run.boxes);
  Sleep(1000);  // nothing is left to delete anything later either
  ExpectSameState(before, SystemState::Take());
}

// A file in use, in the folder or the program itself, is found before
// anything is removed. Asked, the user may close it and try again, or cancel;
// quiet, the uninstall ends with 1. Either way the system is as it was, and
// the next try finishes.
TEST_F(SaverUninstall, FileInUseIsFoundBeforeAnythingIsRemoved) {
  // Each relative to the Windows directory.
  for (const char* held :
       {"meadow dir\\notes.txt", "meadow dir\\deeper\\inner.txt", "meadow.scr"}) {
    SCOPED_TRACE(held);
    InstallLikeTheInstaller("meadow");
    CreateDirectoryA((FolderOf("meadow") + "deeper").c_str(), nullptr);
    ASSERT_TRUE(test::WriteWholeFile(FolderOf("meadow") + "deeper\\inner.txt", "inner"));
    const std::string heldPath = windowsDir_ + held;
    const SystemState before = SystemState::Take();
    FileHandle holder(CreateFileA(heldPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    {
      SaverRun cancelled;
      ASSERT_TRUE(cancelled.Start(ProgramOf("meadow"), "/u"));
      ASSERT_TRUE(cancelled.AnswerNextBox("Yes", kUninstallMs));
      ASSERT_TRUE(cancelled.WaitForEnd(kUninstallMs, "Cancel"));
      EXPECT_EQ(cancelled.exitCode, 1u);
      ASSERT_EQ(cancelled.boxes.size(), 2u) << Describe(cancelled.boxes);
      EXPECT_NE(cancelled.boxes[1].text.find(heldPath), std::string::npos)
          << cancelled.boxes[1].text;
      EXPECT_EQ(cancelled.boxes[1].buttons, (std::vector<std::string>{"&Retry", "Cancel"}));
      ExpectSameState(before, SystemState::Take());
    }
    {
      SaverRun quiet;
      Uninstall("meadow", "/u /q", "", quiet);
      EXPECT_EQ(quiet.exitCode, 1u) << "a quiet run tells by its exit code alone";
      EXPECT_TRUE(quiet.boxes.empty()) << Describe(quiet.boxes);
      ExpectSameState(before, SystemState::Take());
    }
    SaverRun retried;
    ASSERT_TRUE(retried.Start(ProgramOf("meadow"), "/u"));
    ASSERT_TRUE(retried.AnswerNextBox("Yes", kUninstallMs));
    ASSERT_TRUE(retried.AnswerNextBox("Retry", kUninstallMs));  // still in use
    holder.reset();
    ASSERT_TRUE(retried.WaitForEnd(kUninstallMs, "Retry"));
    EXPECT_EQ(retried.exitCode, 0u) << Describe(retried.boxes);
    EXPECT_EQ(retried.boxes.size(), 3u) << Describe(retried.boxes);
    ExpectRemoved("meadow");
  }
}

// Another screen saver's program removes only its own things; an uninstall
// entry of our name that names another program is not ours; and a folder
// that is a link, or holds one, is never followed (prepare-links.sh made
// them before the prefix started).
TEST_F(SaverUninstall, WhatIsNotThisScreenSaversIsLeftAlone) {
  InstallLikeTheInstaller("meadow");
  PlaceSaver("other", {});
  SaverRun other;
  Uninstall("other", "/u /q", "", other);
  EXPECT_EQ(other.exitCode, 0u);
  EXPECT_FALSE(e2e::FileExists(ProgramOf("other")));
  EXPECT_TRUE(e2e::FileExists(FolderOf("meadow") + "notes.txt"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + std::string("meadow")));
  EXPECT_EQ(CurrentSaver(), "meadow.scr");

  RegKey key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kUninstallBase + std::string("meadow")).c_str(), 0,
                KEY_SET_VALUE, key.put());
  const char kForeign[] = "C:\\Program Files\\Meadow Office\\uninst.exe";
  RegSetValueExA(key.get(), "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(kForeign),
                 sizeof kForeign);
  key.reset();
  SaverRun ours;
  Uninstall("meadow", "/u /q", "", ours);
  EXPECT_EQ(ours.exitCode, 0u);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + std::string("meadow")))
      << "another product's entry of the same name was removed";
  EXPECT_FALSE(e2e::FolderExists(FolderOf("meadow")));

  const std::string root = windowsDir_.substr(0, 3);
  ASSERT_TRUE(e2e::FileExists(root + "ssi-link-target\\keep.txt"))
      << "prepare-links.sh did not run";
  ASSERT_TRUE(test::WriteWholeFile(ProgramOf("linked"), program_));
  SaverRun linked;
  Uninstall("linked", "/u /q", "", linked);
  EXPECT_EQ(linked.exitCode, 0u);
  EXPECT_TRUE(e2e::FolderExists(FolderOf("linked"))) << "the link itself is left alone";
  EXPECT_TRUE(e2e::FileExists(root + "ssi-link-target\\keep.txt"));

  ASSERT_TRUE(test::WriteWholeFile(ProgramOf("inner"), program_));
  SaverRun inner;
  Uninstall("inner", "/u /q", "", inner);
  // Windows removes the link inside and finishes; Wine cannot remove a link
  // and reports it. Either way nothing behind the link is touched.
  EXPECT_TRUE(e2e::FileExists(root + "ssi-inner-target\\keep.txt"));
  EXPECT_FALSE(e2e::FileExists(FolderOf("inner") + "plain.txt"));
}

// The elevated uninstall starts nothing from the user's temporary folder,
// which the user's malware shares with it: no program put there and replaced
// before it starts (the probe stands for the malware's program, and ran under
// the old uninstall), and nothing there for a command interpreter to name,
// where "%VAR%" in the folder's name (TMP from HKEY_CURRENT_USER\Environment)
// would be expanded into commands. Wine's cmd expands variables after it has
// split the commands, unlike Windows', so that row shows the file the old
// uninstall put there, not the injection; check-saver-binary.sh shows that no
// command interpreter is named any more.
TEST_F(SaverUninstall, NothingIsStartedFromTheUsersTemporaryFolder) {
  const std::string attacker = windowsDir_.substr(0, 3) + "ssi-attacker\\";
  CreateDirectoryA(attacker.c_str(), nullptr);
  const std::string probe = attacker + "probe.exe";
  ASSERT_TRUE(CopyFileA(test::ArtifactPath("SSI_CHILD_PROBE").c_str(), probe.c_str(), FALSE));
  struct Case {
    const char* attack;
    std::string temp;         // the user's TMP and TEMP
    std::string replacement;  // replaces every program that appears there
  };
  const std::string hostileTemp = UserTempFolder() + "ssi %SSIHOSTILE% dir\\";
  ASSERT_TRUE(CreateDirectoryA(hostileTemp.c_str(), nullptr));
  for (const Case& c : {Case{"a program replaced before it starts", UserTempFolder(), probe},
                        Case{"%VAR% in TMP", hostileTemp, {}}}) {
    SCOPED_TRACE(c.attack);
    DeleteFileA(ProbeLog().c_str());
    InstallLikeTheInstaller("meadow");
    ScopedVariable tmp("TMP", c.temp);
    ScopedVariable temp("TEMP", c.temp);
    ScopedVariable command("SSIHOSTILE", "\" & " + probe + " & \"");
    FolderWatch watch(c.temp, c.replacement);
    ASSERT_TRUE(watch.Watching());
    SaverRun run;
    ASSERT_TRUE(run.Start(ProgramOf("meadow"), "/u /q"));
    ASSERT_TRUE(run.WaitForEnd(kUninstallMs)) << "the uninstall did not end";
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(watch.Created(), std::vector<std::string>()) << "written to " << c.temp;
    // What the old uninstall left there ran only once the uninstall had
    // ended: give it that time, but only when something was left.
    const bool ran = !watch.Created().empty() && AppearsSoon(ProbeLog(), kAttackMs);
    EXPECT_FALSE(ran || e2e::FileExists(ProbeLog()))
        << "the user's program ran: " << test::ReadWholeFile(ProbeLog());
    ExpectRemoved("meadow");
  }
}

// "runas" is looked up in the machine's class for programs, never in the
// .scr file's own class, where the user's classes come first in the view an
// elevated process gets. Wine shows less: it merges no per-user classes (a
// machine class for .scr stands in for the user's one) and starts a .scr file
// without asking any class, so this passes without the class key too. What
// it shows is that the program itself runs, waited for, in System32 rather
// than in the caller's current folder.
TEST_F(SaverUninstall, ElevationIgnoresTheScreenSaversOwnClass) {
  const std::string attacker = windowsDir_.substr(0, 3) + "ssi-attacker\\";
  CreateDirectoryA(attacker.c_str(), nullptr);
  const std::string hostile = attacker + "hostile.exe";
  const std::string saver = windowsDir_ + "elevated.scr";  // the probe under a saver's name
  ASSERT_TRUE(CopyFileA(test::ArtifactPath("SSI_CHILD_PROBE").c_str(), hostile.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(test::ArtifactPath("SSI_CHILD_PROBE").c_str(), saver.c_str(), FALSE));
  const std::string hostileCommand = "\"" + hostile + "\" \"%1\" %*";
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".scr", REG_SZ, "ssi.hostile", 0), ERROR_SUCCESS);
  for (const char* verb : {"open", "runas"}) {
    const std::string key = std::string("ssi.hostile\\shell\\") + verb + "\\command";
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, hostileCommand.c_str(), 0),
              ERROR_SUCCESS);
  }
  DeleteFileA(ProbeLog().c_str());

  EXPECT_EQ(saver::RunElevated(saver, "/u /q /e"), 0);

  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  // The probe's line: its program, its current folder, then who started it.
  const std::string line = Lower(test::ReadWholeFile(ProbeLog()));
  EXPECT_EQ(line.substr(0, line.find('|', line.find('|') + 1)), Lower(saver + "|" + system))
      << "the run as administrator must be the screen saver itself, started in System32: "
      << line;
  RegDeleteKeyA(HKEY_CLASSES_ROOT, ".scr");
}

// Which instance does what, where Wine cannot show it: it runs every program
// with a full administrator's token. Under a split token the limited instance
// starts an elevated one for the files and then, as the user who asked,
// deletes the user's settings; the elevated one started that way leaves
// HKEY_CURRENT_USER alone (its own may be an administrator's, or shared with
// the user's malware); one elevated from the start (XP, an administrator's
// prompt) does everything itself.
TEST_F(SaverUninstall, EachInstanceDoesItsShare) {
  struct Row {
    bool elevated, startedElevatedByUs;
    bool elevateFirst, removesFiles, deletesSettings;
  };
  const Row rows[] = {
      {false, false, true, false, true},
      {false, true, true, false, true},  // "/e" claimed without rights changes nothing
      {true, false, false, true, true},
      {true, true, false, true, false},
  };
  for (const Row& r : rows) {
    const saver::UninstallRoles roles = saver::RolesFor(r.elevated, r.startedElevatedByUs);
    EXPECT_EQ(roles.elevateFirst, r.elevateFirst) << r.elevated << r.startedElevatedByUs;
    EXPECT_EQ(roles.removesFiles, r.removesFiles) << r.elevated << r.startedElevatedByUs;
    EXPECT_EQ(roles.deletesSettings, r.deletesSettings) << r.elevated << r.startedElevatedByUs;
  }
}

}  // namespace
}  // namespace ssi::saver_test
