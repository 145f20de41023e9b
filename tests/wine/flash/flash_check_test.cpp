// Finding the Flash control, running the Flash installer from the payload,
// and the Flash check that the set-up and the silent install share, against
// the stand-in control and the stand-in flashax.exe.
#include <windows.h>

#include <cstdio>
#include <utility>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "flash_standin.h"
#include "flash_support.h"
#include "flash_test_support.h"
#include "install_sequence.h"
#include "system_text.h"

namespace ssi::test {
namespace {

using Lines = std::vector<std::string>;

class FlashCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetStandin();
    UnregisterStandinControl();
    DeleteFileA(FlashaxPath().c_str());
    RemoveDirectoryA(FlashaxPath().c_str());
  }
  void TearDown() override { ResetStandin(); }
  static std::string FlashaxPath() { return WindowsDir() + "flashax.exe"; }
  static bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
};

TEST_F(FlashCheckTest, AMissingControlCostsTenThousandFailedCreations) {
  const DWORD start = GetTickCount();
  EXPECT_FALSE(FlashPlayerAvailable());
  const DWORD elapsed = GetTickCount() - start;
  RecordProperty("flash_player_available_missing_ms", static_cast<int>(elapsed));
  std::printf("FlashPlayerAvailable with no control: %lu ms\n",
              static_cast<unsigned long>(elapsed));
  // The look-up is not cached: a control registered afterwards is found.
  RegisterStandinControl();
  EXPECT_TRUE(FlashPlayerAvailable());
  EXPECT_EQ(StandinLog(), (Lines{"DllRegisterServer", "create", "destroy"}));
}

TEST_F(FlashCheckTest, APresentControlMakesOneCreationAndNothingIsWrittenOrRun) {
  RegisterStandinControl();
  ClearStandinLog();
  FlashInstallerFixture f(ReadWholeFile(StandinInstallerPath()));
  ResultCode result = 99;
  EXPECT_TRUE(RunFlashCheck(f.in, result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(StandinLog(), (Lines{"create", "destroy"}));
  EXPECT_FALSE(Exists(FlashaxPath()));
}

TEST_F(FlashCheckTest, AMissingControlIsInstalledFromThePayloadAndThenPlays) {
  FlashInstallerFixture f(ReadWholeFile(StandinInstallerPath()));
  ResultCode result = 99;
  const bool available = RunFlashCheck(f.in, result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(Exists(FlashaxPath()));
  ASSERT_TRUE(WaitForLogLine("flashax /Q: control registered", 60000));
  EXPECT_TRUE(WaitForLogLine("flashax /Q show=0", 0)) << "run hidden";
  // The check gives the installer only its 10000 attempts; report whether
  // they were enough here, and check the control works from now on.
  RecordProperty("available_after_install", available ? 1 : 0);
  std::printf("Control available right after the installer was started: %s\n",
              available ? "yes" : "no");
  EXPECT_TRUE(FlashPlayerAvailable());
  HostWindow host;
  MoviePlayerRef player;
  EXPECT_EQ(CreateMoviePlayer(player, host.Panel(), f.in.paths.saverDir + "installer.scf"), 0);
  EXPECT_NE(host.ControlWindow(), nullptr);
  EXPECT_EQ(ReleaseMoviePlayer(player), 0);
}

TEST_F(FlashCheckTest, NoFlashInstallerInThePayloadFailsWithMinusOne) {
  FlashInstallerFixture f("");
  ResultCode result = 99;
  EXPECT_FALSE(RunFlashCheck(f.in, result));
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(Exists(FlashaxPath()));
}

TEST_F(FlashCheckTest, AnInstallerThatLeavesTheControlMissingGivesFalseWithResultZero) {
  SetStandinNumber(standin::kInstallerSkips, 1);
  FlashInstallerFixture f(ReadWholeFile(StandinInstallerPath()));
  ResultCode result = 99;
  EXPECT_FALSE(RunFlashCheck(f.in, result));
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(WaitForLogLine("flashax /Q: told to register nothing", 60000));
}

TEST_F(FlashCheckTest, RunFlashInstallerStartsItHiddenWithTheQuietSwitch) {
  ASSERT_TRUE(CopyFileA(StandinInstallerPath().c_str(), FlashaxPath().c_str(), FALSE));
  FlashInstallerFixture f("");
  EXPECT_EQ(RunFlashInstaller(f.in), 0);
  ASSERT_TRUE(WaitForLogLine("flashax /Q: control registered", 60000));
  EXPECT_TRUE(WaitForLogLine("flashax /Q show=0", 0));
}

// It runs as administrator: with the system's TEMP and PATH, never the
// user's, where the user's programs could plant what it writes or loads.
TEST_F(FlashCheckTest, RunFlashInstallerGivesItTheSystemsEnvironment) {
  ASSERT_TRUE(CopyFileA(StandinInstallerPath().c_str(), FlashaxPath().c_str(), FALSE));
  char oldPath[4096] = {};
  GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
  SetEnvironmentVariableA("TEMP", "C:\\planted");
  SetEnvironmentVariableA("PATH", (std::string("C:\\planted;") + oldPath).c_str());
  FlashInstallerFixture f("");
  const ResultCode result = RunFlashInstaller(f.in);
  SetEnvironmentVariableA("PATH", oldPath);
  EXPECT_EQ(result, 0);
  ASSERT_TRUE(WaitForLogLine("flashax /Q: control registered", 60000));
  char windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_TRUE(WaitForLogLine(std::string("flashax /Q TEMP=") + windows + "\\TEMP", 0));
  for (const std::string& line : StandinLog())
    EXPECT_EQ(line.find("planted"), std::string::npos) << line;
}

TEST_F(FlashCheckTest, RunFlashInstallerWithoutTheFileIsMinus401) {
  FlashInstallerFixture f("");
  EXPECT_EQ(RunFlashInstaller(f.in), -401);
  ASSERT_TRUE(CreateDirectoryA(FlashaxPath().c_str(), nullptr));
  EXPECT_EQ(RunFlashInstaller(f.in), -401);  // a folder of that name does not count
  RemoveDirectoryA(FlashaxPath().c_str());
}

// A failed start reads as the shell's start would have it: its value from 1
// to 32, and a text without an unexpanded insert ("Bad EXE format for %1.").
TEST_F(FlashCheckTest, RunFlashInstallerGivesTheShellsValueForAFailedStart) {
  ASSERT_TRUE(WriteWholeFile(FlashaxPath(), std::string(4096, 'x')));  // not a program
  FlashInstallerFixture f("");
  const ResultCode result = RunFlashInstaller(f.in);
  EXPECT_EQ(result, ERROR_BAD_FORMAT);
  EXPECT_EQ(SystemErrorText(result).find('%'), std::string::npos) << SystemErrorText(result);
  const std::pair<DWORD, ResultCode> cases[] = {
      {ERROR_FILE_NOT_FOUND, 2},      {ERROR_PATH_NOT_FOUND, 3},
      {ERROR_ACCESS_DENIED, 5},       {740, 5},
      {ERROR_NOT_ENOUGH_MEMORY, 8},   {ERROR_OUTOFMEMORY, 8},
      {ERROR_BAD_EXE_FORMAT, 11},     {ERROR_INVALID_EXE_SIGNATURE, 11},
      {ERROR_EXE_MARKED_INVALID, 11}, {ERROR_EXE_MACHINE_TYPE_MISMATCH, 11},
      {ERROR_SHARING_VIOLATION, 26},  {ERROR_MOD_NOT_FOUND, 32},
      {ERROR_DLL_NOT_FOUND, 32},      {0, -1},
      {ERROR_INVALID_PARAMETER, -1},
  };
  for (const auto& [error, shell] : cases)
    EXPECT_EQ(ShellValueForStartError(error), shell) << error;
}

}  // namespace
}  // namespace ssi::test
