// The programs the installer starts: it runs elevated from a download
// folder, where anyone may have left a rundll32.exe, and its current folder
// may be anyone's too. Each program must come from where the installer names
// it and start in the folder the installer gives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "path_rules.h"
#include "sample_data_file.h"

namespace ssi::e2e {
namespace {

constexpr const char* kDisplayProperties = "Display Properties";
constexpr DWORD kPollMs = 100;

struct ProbeRun {
  std::string program;  // lower case
  std::string folder;   // lower case, without a trailing backslash
  std::string parent;   // the starting program's file name, lower case
};

std::string Normal(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return AsciiLower(path);
}

std::vector<ProbeRun> ProbeRuns(const std::string& log) {
  std::vector<ProbeRun> runs;
  const std::string text = test::ReadWholeFile(log);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t bar = line.find('|');
    const size_t second = line.find('|', bar + 1);
    if (second != std::string::npos)
      runs.push_back({Normal(line.substr(0, bar)), Normal(line.substr(bar + 1, second - bar - 1)),
                      AsciiLower(line.substr(second + 1))});
    start = end + 2;
  }
  return runs;
}

// Text files open with `viewer`, for the whole prefix.
bool MakeTextViewer(const std::string& viewer) {
  const std::string command = "\"" + viewer + "\" \"%1\"";
  return RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "ssi.probe.text", 0) == ERROR_SUCCESS &&
         RegSetValueA(HKEY_CLASSES_ROOT, "ssi.probe.text\\shell\\open\\command", REG_SZ,
                      command.c_str(), 0) == ERROR_SUCCESS;
}

// A shell start of a program that fails to start as one goes to `diverter`:
// programs no longer count as programs by their extension, and the class of
// .exe files opens them with it. (Wine starts a working program directly
// whatever its class says; Windows asks the class, where a user's own
// classes come first, for every program.)
bool DivertProgramStarts(const std::string& diverter) {
  const std::string command = "\"" + diverter + "\" \"%1\"";
  return WriteProfileStringA("windows", "Programs", "pif") &&
         RegSetValueA(HKEY_CLASSES_ROOT, ".exe", REG_SZ, "ssi.probe.program", 0) == ERROR_SUCCESS &&
         RegSetValueA(HKEY_CLASSES_ROOT, "ssi.probe.program\\shell\\open\\command", REG_SZ,
                      command.c_str(), 0) == ERROR_SUCCESS;
}

HWND WaitForTitle(const char* title, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += kPollMs) {
    if (HWND found = FindWindowA(nullptr, title)) return found;
    Sleep(kPollMs);
  }
  return nullptr;
}

class ChildPrograms : public E2eTest {};

TEST_F(ChildPrograms, ComeFromWhereTheyAreNamedAndStartInTheFoldersGiven) {
  const std::string probe = test::ReadWholeFile(test::ArtifactPath("SSI_CHILD_PROBE"));
  ASSERT_FALSE(probe.empty());
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  ASSERT_TRUE(CopyFileA(test::ArtifactPath("SSI_DESK_CPL").c_str(),
                        (std::string(system) + "\\desk.cpl").c_str(), FALSE));
  const std::string downloads = test::MakeTempFolder("downloads");
  const std::string current = test::MakeTempFolder("current");
  ASSERT_TRUE(test::WriteWholeFile(downloads + "rundll32.exe", probe));
  ASSERT_TRUE(test::WriteWholeFile(current + "rundll32.exe", probe));
  const std::string viewer = test::MakeTempFolder("viewer") + "viewer.exe";
  ASSERT_TRUE(test::WriteWholeFile(viewer, probe));
  ASSERT_TRUE(MakeTextViewer(viewer));
  const std::string log = meadow_.windowsDir + "child-probe.log";
  DeleteFileA(log.c_str());

  // A silent install runs every child: the Flash installer (Wine has no
  // Flash player), Display Properties and the read-me's viewer.
  TestPayload p = MeadowPayload(library_, false, true);
  p.displayMode = 4;
  p.displayPropertiesFlag = 1;
  p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
  p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
  p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
  p.entries[entry::kFlashInstaller] = {"flashax.exe", probe, 2};
  InstallerSession session;
  ASSERT_TRUE(session.LaunchIn(downloads, current, Compose(stub_, p).image)) << session.launchError;
  ASSERT_TRUE(session.WaitForEnd());
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  // The system's rundll32.exe opened the control panel.
  const HWND panel = WaitForTitle(kDisplayProperties, kWindowTimeoutMs);
  EXPECT_NE(panel, nullptr);
  if (panel) PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);

  const std::string flashInstaller = Normal(meadow_.windowsDir + "flashax.exe");
  const std::string readMeViewer = Normal(viewer);
  std::vector<ProbeRun> runs;
  for (DWORD waited = 0; waited < kExitTimeoutMs; waited += kPollMs) {
    runs = ProbeRuns(log);
    if (runs.size() >= 2) break;
    Sleep(kPollMs);
  }
  bool flashSeen = false;
  bool viewerSeen = false;
  for (const ProbeRun& run : runs) {
    EXPECT_EQ(run.program.find("rundll32"), std::string::npos) << "a planted " << run.program;
    if (run.program == flashInstaller) {
      flashSeen = true;
      EXPECT_EQ(run.folder, Normal(meadow_.windowsDir));
    } else if (run.program == readMeViewer) {
      viewerSeen = true;
      EXPECT_EQ(run.folder, Normal(meadow_.saverDir));
      // The elevated installer (Wine's programs all are) has the desktop's
      // shell open the read-me, as the signed-in user.
      EXPECT_EQ(run.parent, "explorer.exe");
    }
  }
  EXPECT_TRUE(flashSeen) << test::ReadWholeFile(log);
  EXPECT_TRUE(viewerSeen) << test::ReadWholeFile(log);
}

// The elevated installer hands its Flash installer to nothing but the
// system's program loader: whatever the classes name for it never runs.
TEST_F(ChildPrograms, TheFlashInstallerIsNeverStartedThroughItsClass) {
  const std::string probe = test::ReadWholeFile(test::ArtifactPath("SSI_CHILD_PROBE"));
  ASSERT_FALSE(probe.empty());
  const std::string diverter = test::MakeTempFolder("diverter") + "diverter.exe";
  ASSERT_TRUE(test::WriteWholeFile(diverter, probe));
  ASSERT_TRUE(DivertProgramStarts(diverter));
  const std::string log = meadow_.windowsDir + "child-probe.log";
  DeleteFileA(log.c_str());

  TestPayload p = MeadowPayload(library_, false, false);
  p.displayMode = 4;
  p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
  p.entries[entry::kFlashInstaller] = {"flashax.exe", "no program the loader takes", 2};
  InstallerSession session;
  ASSERT_TRUE(session.Launch(Compose(stub_, p).image)) << session.launchError;
  ASSERT_TRUE(session.WaitForEnd());
  // A shell start returns at once; the diverted program logs soon after.
  Sleep(3000);
  EXPECT_EQ(test::ReadWholeFile(log), "") << "a program started through the class of .exe";
}

}  // namespace
}  // namespace ssi::e2e
