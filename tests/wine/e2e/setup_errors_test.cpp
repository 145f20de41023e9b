// A set-up that fails shows its error box and leaves a window on which
// Install cannot be pressed.
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

  // The meadow installer with a read-me, whose entry claims to run past the
  // end of the file.
  std::string WithReadMeBeyondTheEnd(bool licence) {
    ComposedInstaller installer = Compose(stub_, MeadowPayload(library_, licence, true));
    PayloadHeader header = installer.header;
    header.entries[entry::kReadMe].endOffset = static_cast<int32_t>(installer.image.size()) + 5000;
    RewriteHeader(installer, header);
    return installer.image;
  }

  // -31: the header could not be read from the temporary copy.
  std::string HeaderErrorText() const {
    return msg::InstallErrorText(rc::kHeaderShort, meadow_.TempCopy(1), "");
  }
};

TEST_F(SetupErrors, AStubWithoutPayloadReportsTheHeaderAndDisablesInstall) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, stub_);
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session, HeaderErrorText());
  EXPECT_EQ(HeaderErrorText(),
            "Installation Error: Problem using " + meadow_.TempCopy(1) + ". \r\n\r\n");
  EXPECT_EQ(driver::ReadWindow(form).caption, msg::kDesignCaption);
  ExpectInstallDisabled(form);
  EXPECT_FALSE(driver::ReadControlById(form, id::kDeclineBtn).visible);

  // Without a header the screen saver's folder has no name.
  const InstallerPlaces unnamed = PlacesFor("");
  const std::map<std::string, std::string> expected = {{"0", unnamed.saverIni}};
  EXPECT_EQ(IniSection(unnamed.saverIni, "Files"), expected);

  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

TEST_F(SetupErrors, AnInstallerCutInsideTheHeaderReportsTheHeader) {
  const ComposedInstaller full = Compose(stub_, MeadowPayload(library_, false, false));
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, full.image.substr(0, full.payloadOffset + 1000));
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session, HeaderErrorText());
  ExpectInstallDisabled(form);
  EXPECT_FALSE(FileExists(meadow_.windowsDir + "impborl.dll"));
  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

TEST_F(SetupErrors, AnInstallerCutInsideThePreviewReportsThePreview) {
  const ComposedInstaller full = Compose(stub_, MeadowPayload(library_, false, false));
  const PayloadEntry& preview = full.header.entries[entry::kPreview];
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(
      session, full.image.substr(0, static_cast<size_t>(preview.startOffset) + 100));
  ASSERT_TRUE(form);
  const std::string destination = meadow_.saverDir + "installer.bmp";
  ExpectSingleErrorBox(session, msg::InstallErrorText(rc::kEntryShort, destination, ""));
  EXPECT_EQ(driver::ReadWindow(form).caption, "Install meadow");
  ExpectInstallDisabled(form);
  EXPECT_EQ(test::ReadWholeFile(meadow_.windowsDir + "impborl.dll"), library_)
      << "the library lies before the cut";
  const std::map<std::string, std::string> expected = {{"0", meadow_.saverIni}};
  EXPECT_EQ(IniSection(meadow_.saverIni, "Files"), expected);
  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
}

TEST_F(SetupErrors, ALicenceAfterAFailedReadMeStillAsksForAcceptanceButCannotInstall) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, WithReadMeBeyondTheEnd(true));
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session,
                       msg::InstallErrorText(rc::kEntryShort, meadow_.saverDir + "readme.txt", ""));
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
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

// Without a licence the failed read-me no longer counts once the buttons are
// set: the preview is still written and Install stays enabled, but the title
// stays the design-time one.
TEST_F(SetupErrors, AFailedReadMeWithoutLicenceStillShowsThePreviewAndAllowsInstall) {
  InstallerSession session;
  HWND form = LaunchAndWaitForForm(session, WithReadMeBeyondTheEnd(false));
  ASSERT_TRUE(form);
  ExpectSingleErrorBox(session,
                       msg::InstallErrorText(rc::kEntryShort, meadow_.saverDir + "readme.txt", ""));
  EXPECT_EQ(driver::ReadWindow(form).caption, msg::kDesignCaption);
  const driver::ControlState install = driver::ReadControlById(form, id::kInstallBtn);
  EXPECT_EQ(install.text, "Install");
  EXPECT_TRUE(install.enabled);
  EXPECT_FALSE(driver::ReadControlById(form, id::kDeclineBtn).visible);
  EXPECT_FALSE(driver::ReadControlById(form, id::kLicenseScrollBox).visible);
  EXPECT_EQ(test::ReadWholeFile(meadow_.saverDir + "installer.bmp"), MakeBitmap(350, 150));
  CloseAndWait(session, form, driver::CloseHow::kCloseBox);
  EXPECT_FALSE(FileExists(meadow_.TempCopy(1)));
}

}  // namespace
}  // namespace ssi::e2e
