// A whole install through the window: the set-up, a press of Install, and
// everything the run leaves on the system once the window has closed itself.
#include <gtest/gtest.h>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "sample_data_file.h"
#include "win_handles.h"

namespace ssi::e2e {
namespace {

class FullInstall : public E2eTest {};

std::string RegistryString(const std::string& key, const std::string& value) {
  RegKey opened;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
    return {};
  char buffer[1024] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (RegQueryValueExA(opened.get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return buffer;
}

TEST_F(FullInstall, InstallWritesTheScreenSaverMakesItCurrentAndRegistersIt) {
  TestPayload p = MeadowPayload(library_, true, false);
  p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
  p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
  p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
  const OutsideSnapshot before = TakeOutsideSnapshot();

  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Compose(stub_, p).image);
  ASSERT_TRUE(form);
  ASSERT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  ASSERT_TRUE(session.WaitForEnd()) << "the window closes itself after the install";
  EXPECT_EQ(session.ExitCode(), kExitInstalled);
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);

  EXPECT_EQ(test::ReadWholeFile(meadow_.windowsDir + "meadow.scr"),
            p.entries[entry::kSaverProgram].bytes);
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "meadow.txt"),
            p.entries[entry::kFurtherFile].bytes);
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "saver1.dat"), "first support file");
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "saver2.dat"), "second support file");
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "meadow1.bmp"), MakeBitmap(64, 48));
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "meadow2.bmp"), MakeBitmap(64, 48));
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "saver.dat").size(), 1220u);
  EXPECT_TRUE(FileExists(meadow_.saverDir + "licence.txt"));
  EXPECT_TRUE(FileExists(meadow_.saverDir + "installer.bmp"));

  EXPECT_FALSE(FileExists(meadow_.saverIni)) << "saver.ini does not outlive the install";
  EXPECT_FALSE(FileExists(meadow_.saverDir + "meadow.ssd")) << "the data file is deleted";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1))) << "the temporary copy is deleted";

  char scrnsave[MAX_PATH] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", scrnsave, sizeof scrnsave, "system.ini");
  EXPECT_STREQ(scrnsave, "meadow.scr");
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\meadow";
  EXPECT_EQ(RegistryString(key, "DisplayName"), "meadow Screen Saver");
  EXPECT_EQ(RegistryString(key, "UninstallString"), "\"" + meadow_.windowsDir + "meadow.scr\" /u");
  EXPECT_EQ(
      NewOutsideEntries(before, TakeOutsideSnapshot(), {"impborl.dll", "meadow dir", "meadow.scr"}),
      "");
}

// While the install runs the window stays responsive but cannot be closed,
// and a second press of Install starts nothing; the run ends as usual and
// the window then closes itself.
TEST_F(FullInstall, ClosingOrPressingInstallAgainDuringTheRunChangesNothing) {
  TestPayload p = MeadowPayload(library_, false, false);
  p.entries[entry::kDataFile].bytes = TwoPictureDataFile();
  p.entries[entry::kSupportLibrary1] = {"saver1.dat", "first support file", 5};
  p.entries[entry::kSupportLibrary2] = {"saver2.dat", "second support file", 5};
  // Pauses long enough to act during the run.
  char previous[16] = {};
  GetEnvironmentVariableA("SSI_PAUSE_MS", previous, sizeof previous);
  SetEnvironmentVariableA("SSI_PAUSE_MS", "300");
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Compose(stub_, p).image);
  SetEnvironmentVariableA("SSI_PAUSE_MS", previous[0] ? previous : nullptr);
  ASSERT_TRUE(form);
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));

  const DWORD start = GetTickCount();
  while (!driver::ReadControlById(form, control_id::kLabCopying).visible &&
         GetTickCount() - start < 10000)
    Sleep(20);
  ASSERT_TRUE(driver::ReadControlById(form, control_id::kLabCopying).visible)
      << "the install did not start";
  EXPECT_FALSE(driver::ReadControlById(form, control_id::kDeclineBtn).enabled);
  EXPECT_FALSE(driver::ReadControlById(form, control_id::kInstallBtn).enabled);
  ASSERT_TRUE(driver::RequestClose(form, driver::CloseHow::kCloseBox));
  ASSERT_TRUE(driver::RequestClose(form, driver::CloseHow::kCloseMessage));
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  Sleep(400);  // more than one pause: the requests have been handled
  EXPECT_TRUE(IsWindow(form)) << "the window closed during the install";

  ASSERT_TRUE(session.WaitForEnd()) << "the window closes itself after the install";
  EXPECT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  EXPECT_TRUE(test::ReadWholeFile(meadow_.windowsDir + "meadow.scr") ==
              p.entries[entry::kSaverProgram].bytes);
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "saver2.dat"), "second support file");
  EXPECT_EQ(RegistryString("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\meadow",
                           "DisplayName"),
            "meadow Screen Saver");
  EXPECT_FALSE(FileExists(meadow_.saverIni));
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

}  // namespace
}  // namespace ssi::e2e
