// A set-up that fails shows its error box and leaves a window on which
// Install cannot be pressed; the installer then ends with exit code 2.
#include <gtest/gtest.h>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "messages.h"

namespace ssi::e2e {
namespace {

namespace id = control_id;

class SetupErrors : public E2eTest {
 protected:
  // The one box that a failed set-up step shows.
  void ExpectSingleErrorBox(const InstallerSession& session, const std::string& text) {
    ASSERT_EQ(session.boxes.size(), 1u) << DescribeBoxes(session.boxes);
    const driver::MessageBoxContent& box = session.boxes[0];
    EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, std::vector<std::string>{"&Abort"});
  }

  void ExpectInstallDisabled(HWND form) {
    const driver::ControlState install = driver::ReadControlById(form, id::kInstallBtn);
    EXPECT_TRUE(install.visible);
    EXPECT_FALSE(install.enabled);
  }

  // The meadow installer with a read-me whose entry ends before it starts
  // (a length of 0): it lies inside the file, but no buffer is taken for it.
  std::string WithEmptyReadMe(bool licence) {
    ComposedInstaller installer = Compose(stub_, MeadowPayload(library_, licence, true));
    PayloadHeader header = installer.header;
    header.entries[entry::kReadMe].endOffset = header.entries[entry::kReadMe].startOffset - 1;
    RewriteHeader(installer, header);
    return installer.image;
  }

  std::string ReadMeErrorText() const {
    return msg::InstallErrorText(rc::kNoBuffer, meadow_.saverDir + "readme.txt", "");
  }

  // -31: the installer is incomplete or damaged.
  std::string HeaderErrorText() const {
    return msg::InstallErrorText(rc::kHeaderShort, meadow_.TempCopy(1), "");
  }

  // Refused at start: the -31 box, a window that cannot install, nothing
  // written but the temporary copy, which closing deletes.
  void ExpectRefusedAtStart(const std::string& image) {
    const OutsideSnapshot before = TakeOutsideSnapshot();
    const std::set<std::string> windowsBefore = FolderEntries(meadow_.windowsDir);
    InstallerSession session;
    HWND form = LaunchAndWaitForForm(session, image);
    ASSERT_TRUE(form);
    ExpectSingleErrorBox(session, HeaderErrorText());
    EXPECT_EQ(driver::ReadWindow(form).caption, msg::kDesignCaption);
    ExpectInstallDisabled(form);
    EXPECT_FALSE(driver::ReadControlById(form, id::kDeclineBtn).visible);
    EXPECT_FALSE(driver::ReadControlById(form, id::kLicenseScrollBox).visible);
    EXPECT_EQ(FolderEntries(meadow_.windowsDir), windowsBefore) << "nothing written";
    CloseAndWait(session, form, driver::CloseHow::kCloseBox);
    EXPECT_EQ(session.ExitCode(), kExitFailed);
    EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
    EXPECT_EQ(NewOutsideEntries(before, TakeOutsideSnapshot(), {}), "");
  }
};

TEST_F(SetupErrors, AStubWithoutPayloadReportsTheHeaderAndDisablesInstall) {
  EXPECT_EQ(HeaderErrorText(),
            "Installation Error: Problem using " + meadow_.TempCopy(1) + ". \r\n\r\n");
  ExpectRefusedAtStart(stub_);
  EXPECT_FALSE(FolderExists(PlacesFor("").saverDir)) << "no unnamed screen saver folder";
}

// A download cut short anywhere after the stub, or a header whose entries
// point past the end, is refused before the library or any entry is
// written; Install cannot be pressed, whether a licence was asked for or not.
TEST_F(SetupErrors, AnIncompleteInstallerIsRefusedAtStartWithNothingWritten) {
  const ComposedInstaller full = Compose(stub_, MeadowPayload(library_, true, true));
  const auto& entries = full.header.entries;
  struct Cut {
    const char* where;
    size_t size;
  };
  const Cut cuts[] = {
      {"inside the header", full.payloadOffset + 1000},
      {"inside the library",
       static_cast<size_t>(entries[entry::kCompressionLibrary].startOffset) + 1},
      {"inside the preview", static_cast<size_t>(entries[entry::kPreview].startOffset) + 100},
      {"one byte short", full.image.size() - 1},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.where);
    ExpectRefusedAtStart(full.image.substr(0, cut.size));
  }
  // Whole, but its data file entry claims to end past the file.
  ComposedInstaller damaged = full;
  PayloadHeader header = full.header;
  header.entries[entry::kDataFile].endOffset = static_cast<int32_t>(full.image.size());
  RewriteHeader(damaged, header);
  SCOPED_TRACE("an entry past the end");
  ExpectRefusedAtStart(damaged.image);
}

TEST_F(SetupErrors, ALicenceAfterAFailedReadMeStillAsksForAcceptanceButCannotInstall) {
  const std::set<std::string> before = WindowsFolder();
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, WithEmptyReadMe(true));
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session, ReadMeErrorText());
  EXPECT_EQ(driver::ReadWindow(form).caption, msg::kDesignCaption)
      << "the title is set only after a clean start";
  const driver::ControlState install = driver::ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.text, "Accept and Install");
  EXPECT_FALSE(install.enabled);
  EXPECT_TRUE(driver::ReadControlById(form, id::kDeclineBtn).visible);
  const driver::ControlState licence = driver::ReadControlById(form, id::kLicenseScrollBox);
  EXPECT_TRUE(licence.visible);
  EXPECT_EQ(licence.text, "");
  EXPECT_FALSE(FileExists(meadow_.saverDir + "licence.txt")) << "the licence step is skipped";

  HWND decline = driver::FindControl(form, id::kDeclineBtn);
  ASSERT_TRUE(driver::PressButton(decline));
  ASSERT_TRUE(session.WaitForEnd());
  EXPECT_EQ(session.ExitCode(), kExitFailed) << "declined after a failed set-up";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
  EXPECT_EQ(WindowsFolder(), before) << "a failed set-up leaves nothing behind";
}

// Without a licence the failed read-me no longer counts once the buttons are
// set: the preview is still written and Install stays enabled, but the title
// stays the design-time one.
TEST_F(SetupErrors, AFailedReadMeWithoutLicenceStillShowsThePreviewAndAllowsInstall) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, WithEmptyReadMe(false));
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session, ReadMeErrorText());
  EXPECT_EQ(driver::ReadWindow(form).caption, msg::kDesignCaption);
  const driver::ControlState install = driver::ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.text, "Install");
  EXPECT_TRUE(install.enabled);
  EXPECT_FALSE(driver::ReadControlById(form, id::kDeclineBtn).visible);
  EXPECT_FALSE(driver::ReadControlById(form, id::kLicenseScrollBox).visible);
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "installer.bmp"), MakeBitmap(350, 150));
  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
  EXPECT_EQ(session.ExitCode(), kExitFailed) << "the set-up reported a failure";
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

}  // namespace
}  // namespace ssi::e2e
