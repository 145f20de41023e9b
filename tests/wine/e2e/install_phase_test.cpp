// Pressing Install on a payload whose later entries are hostile: the install
// stops at the bad entry with its message, the window closes itself, and
// nothing lands outside the installer's folders.
#include <gtest/gtest.h>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "messages.h"

namespace ssi::e2e {
namespace {

class InstallPhase : public E2eTest {};

TEST_F(InstallPhase, AHostileFurtherFileStopsTheInstallAndTheWindowCloses) {
  TestPayload p = MeadowPayload(library_, false, false);
  p.entries[entry::kFurtherFile].name = "..\\..\\evil.txt";
  const OutsideSnapshot before = TakeOutsideSnapshot();

  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, Compose(stub_, p).image);
  ASSERT_TRUE(form);
  ASSERT_TRUE(session.boxes.empty()) << DescribeBoxes(session.boxes);
  ASSERT_TRUE(driver::PressControl(form, control_id::kInstallBtn));
  ASSERT_TRUE(session.WaitForEnd()) << "the window closes itself after a failed install";
  EXPECT_EQ(session.ExitCode(), kExitFailed);

  ASSERT_FALSE(session.boxes.empty());
  EXPECT_EQ(session.boxes[0].text, msg::BadEntryNameText(entry::kFurtherFile, "..\\..\\evil.txt"))
      << DescribeBoxes(session.boxes);
  EXPECT_FALSE(FileExists("C:\\evil.txt"));
  EXPECT_FALSE(FileExists(meadow_.saverDir + "meadow.ssd"))
      << "entries after the bad one are not written";
  EXPECT_FALSE(FileExists(meadow_.windowsDir + "meadow.scr"))
      << "a failed install removes the program";
  EXPECT_FALSE(FileExists(meadow_.saverIni)) << "saver.ini does not outlive an install";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_EQ(NewOutsideEntries(before, TakeOutsideSnapshot(), {"impborl.dll", "meadow dir"}), "");
}

}  // namespace
}  // namespace ssi::e2e
