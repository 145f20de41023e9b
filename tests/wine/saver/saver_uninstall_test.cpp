// "/u" through the real program: the whole life cycle from an install by the
// real installer to an uninstall that leaves the system as it was, apart
// from impborl.dll; the question answered No; the quiet form; a file in use;
// and the places that are not this screen saver's, which stay as they are.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <sstream>

#include "artifacts.h"
#include "cli.h"
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
constexpr DWORD kSelfDeleteMs = 15000;

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
  std::set<std::string> uninstallCopies;  // the temporary copies that delete the program
  std::string currentSaver;
  std::set<std::string> uninstallKeys;
  bool userSettings = false;

  static SystemState Take() {
    SystemState s;
    ListTree(test::WindowsDir(), s.windowsTree);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    for (const std::string& name : e2e::FolderEntries(temp))
      if (name.rfind("ssi-uninstall", 0) == 0) s.uninstallCopies.insert(name);
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
  EXPECT_EQ(Difference(before.uninstallCopies, after.uninstallCopies), "");
  EXPECT_EQ(before.currentSaver, after.currentSaver);
  EXPECT_EQ(before.uninstallKeys, after.uninstallKeys);
  EXPECT_EQ(before.userSettings, after.userSettings);
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
  void Uninstall(const std::string& name, const std::string& arguments, const std::string& answer,
                 SaverRun& run) {
    ASSERT_TRUE(run.Start(ProgramOf(name), arguments));
    ASSERT_TRUE(run.WaitForEnd(kUninstallMs, answer)) << "the uninstall did not end";
  }

  // The program's file goes a moment after its process.
  static bool GoneSoon(const std::string& path) {
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (GetTickCount() - start > kSelfDeleteMs) return false;
      Sleep(100);
    }
    return true;
  }

  static bool CopiesGoneSoon() {
    const DWORD start = GetTickCount();
    while (!SystemState::Take().uninstallCopies.empty()) {
      if (GetTickCount() - start > kSelfDeleteMs) return false;
      Sleep(200);
    }
    return true;
  }

  void ExpectRemoved(const std::string& name) {
    EXPECT_TRUE(GoneSoon(ProgramOf(name))) << ProgramOf(name) << " is still there";
    EXPECT_FALSE(e2e::FolderExists(FolderOf(name)));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + name));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Screen Saver Installer\\" + name));
    EXPECT_EQ(CurrentSaver(), "");
    EXPECT_TRUE(CopiesGoneSoon()) << "a temporary copy of the program is left";
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
  EXPECT_EQ(MachineValue(key, "UninstallString"), program + " /u");
  EXPECT_EQ(MachineValue(key, "QuietUninstallString"), program + " /u /q");
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

// The uninstall entry's commands name the program without quotes; with a
// blank in the name only the whole path tells where the switches begin.
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
  ASSERT_TRUE(run.StartCommandLine(ProgramOf("Sunny Meadow") + " /u /q"));
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

// A file in use stops the uninstall before it touches anything outside the
// folder, so the uninstall entry is still there to try again; once the file
// is closed, the next try removes everything.
TEST_F(SaverUninstall, FileInUseIsReportedAndTheNextTryFinishes) {
  InstallLikeTheInstaller("meadow");
  FileHandle held(CreateFileA((FolderOf("meadow") + "notes.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  {
    SaverRun run;
    Uninstall("meadow", "/u", "Yes", run);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 2u) << Describe(run.boxes);
    EXPECT_NE(run.boxes[1].text.find(FolderOf("meadow") + "notes.txt"), std::string::npos)
        << run.boxes[1].text;
    EXPECT_TRUE(e2e::FileExists(ProgramOf("meadow")));
    EXPECT_TRUE(e2e::FileExists(FolderOf("meadow") + "notes.txt"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallBase + std::string("meadow")));
    EXPECT_EQ(CurrentSaver(), "meadow.scr");
  }
  {
    SaverRun quiet;
    Uninstall("meadow", "/u /q", "", quiet);
    EXPECT_EQ(quiet.exitCode, 1u) << "a quiet run tells by its exit code alone";
    EXPECT_TRUE(quiet.boxes.empty()) << Describe(quiet.boxes);
  }
  held.reset();
  SaverRun again;
  Uninstall("meadow", "/u /q", "", again);
  EXPECT_EQ(again.exitCode, 0u);
  ExpectRemoved("meadow");
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
  EXPECT_TRUE(GoneSoon(ProgramOf("other")));
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

}  // namespace
}  // namespace ssi::saver_test
