// Installers whose header aims outside the installer's folders: each is
// refused with an error box, and nothing appears outside the Windows
// directory's own entries and the screen saver's folder.
#include <gtest/gtest.h>

#include "artifacts.h"
#include "e2e_fixture.h"
#include "installer_form.h"
#include "messages.h"

namespace ssi::e2e {
namespace {

namespace id = control_id;

class HostilePayload : public E2eTest {
 protected:
  // Runs `image` up to its window, closes it, and checks that the first box
  // reads `firstBox`, that every box is an error box, that none of
  // `forbidden` exists, and that nothing new appeared outside. Returns the
  // window's Install state before closing through `installEnabled`.
  void RunRefused(const std::string& image, const std::string& firstBox,
                  const std::vector<std::string>& forbidden, bool* installEnabled = nullptr) {
    const OutsideSnapshot before = TakeOutsideSnapshot();
    InstallerSession session;
    HWND form = LaunchAndWaitForForm(session, image);
    ASSERT_TRUE(form);
    ASSERT_FALSE(session.boxes.empty()) << "a hostile payload must be refused with a message";
    EXPECT_EQ(session.boxes[0].text, firstBox) << DescribeBoxes(session.boxes);
    for (const auto& box : session.boxes) EXPECT_EQ(box.title, "Error");
    if (installEnabled) *installEnabled = driver::ReadControlById(form, id::kInstallBtn).enabled;
    CloseAndWait(session, form, driver::CloseHow::kCloseBox);

    for (const std::string& path : forbidden) {
      EXPECT_FALSE(FileExists(path)) << path;
      EXPECT_FALSE(FolderExists(path)) << path;
    }
    const std::string installerFolder =
        session.InstallerPath().substr(0, session.InstallerPath().rfind('\\') + 1);
    EXPECT_EQ(FolderEntries(installerFolder), std::set<std::string>{"setup.exe"})
        << "nothing lands beside the installer (a drive-relative name would)";
    EXPECT_EQ(NewOutsideEntries(before, TakeOutsideSnapshot(),
                                {"impborl.dll", "meadow dir", "TempSaverDir dir"}),
              "");
  }

  TestPayload Payload(bool withLicence = false, bool withReadMe = false) const {
    return MeadowPayload(library_, withLicence, withReadMe);
  }
};

TEST_F(HostilePayload, ARelativeNameThatClimbsOutOfTheSaverFolder) {
  TestPayload p = Payload(false, true);
  p.entries[entry::kReadMe].name = "..\\evil.txt";
  RunRefused(Compose(stub_, p).image, msg::BadEntryNameText(entry::kReadMe, "..\\evil.txt"),
             {meadow_.windowsDir + "evil.txt"});
}

TEST_F(HostilePayload, ANameWithADrive) {
  TestPayload p = Payload(true, false);
  p.entries[entry::kLicence] = {"C:evil.txt", kLicenceText, 1};
  RunRefused(Compose(stub_, p).image, msg::BadEntryNameText(entry::kLicence, "C:evil.txt"),
             {"C:\\evil.txt", meadow_.windowsDir + "evil.txt"});
  EXPECT_EQ(FolderEntries(meadow_.saverDir), (std::set<std::string>{"saver.ini", "installer.bmp"}));
}

TEST_F(HostilePayload, APreviewNameThatClimbsToTheRootAndCannotInstall) {
  TestPayload p = Payload();
  p.entries[entry::kPreview].name = "..\\..\\evil.scf";
  bool installEnabled = true;
  RunRefused(Compose(stub_, p).image, msg::BadEntryNameText(entry::kPreview, "..\\..\\evil.bmp"),
             {"C:\\evil.bmp", "C:\\evil.scf"}, &installEnabled);
  EXPECT_FALSE(installEnabled);
}

TEST_F(HostilePayload, ALibraryAimedIntoSystem32) {
  TestPayload p = Payload();
  p.entries[entry::kCompressionLibrary].name = "system32\\evil.dat";
  RunRefused(
      Compose(stub_, p).image,
      msg::BadEntryNameText(entry::kCompressionLibrary, "system32\\evil.dat"),
      {meadow_.windowsDir + "system32\\evil.dll", meadow_.windowsDir + "system32\\evil.dat"});
}

// Windows opens a device for these names in any folder; the superscript
// digits are bytes B9, B2 and B3 of the ANSI code page.
TEST_F(HostilePayload, DeviceNamesWithSuperscriptDigits) {
  TestPayload p = Payload(false, true);
  p.entries[entry::kReadMe].name = "COM\xB9.txt";
  RunRefused(Compose(stub_, p).image, msg::BadEntryNameText(entry::kReadMe, "COM\xB9.txt"),
             {meadow_.saverDir + "COM\xB9.txt", meadow_.windowsDir + "COM\xB9.txt"});

  p = Payload();
  p.saverName = "lpt\xB2";
  bool installEnabled = true;
  RunRefused(Compose(stub_, p).image, msg::BadSaverNameText("lpt\xB2"),
             {meadow_.windowsDir + "lpt\xB2 dir"}, &installEnabled);
  EXPECT_FALSE(installEnabled);
}

TEST_F(HostilePayload, AnUnknownKind) {
  TestPayload p = Payload(false, true);
  p.entries[entry::kReadMe].kind = 9;
  RunRefused(Compose(stub_, p).image, msg::BadEntryKindText(entry::kReadMe, "readme.txt", 9),
             {meadow_.saverDir + "readme.txt", meadow_.windowsDir + "readme.txt"});
}

// Refused at start as an incomplete installer, before any buffer is taken.
TEST_F(HostilePayload, OffsetsPastTheEndOfTheFile) {
  ComposedInstaller installer = Compose(stub_, Payload());
  PayloadHeader header = installer.header;
  header.entries[entry::kPreview].endOffset = 0x7FFFFFF0;  // would ask for a 2 GB buffer
  RewriteHeader(installer, header);
  const std::string refused = msg::InstallErrorText(rc::kHeaderShort, meadow_.TempCopy(1), "");
  const std::string destination = meadow_.saverDir + "installer.bmp";
  bool installEnabled = true;
  RunRefused(installer.image, refused, {meadow_.saverIni}, &installEnabled);
  EXPECT_FALSE(installEnabled);

  header.entries[entry::kPreview].startOffset = static_cast<int32_t>(installer.image.size()) + 10;
  header.entries[entry::kPreview].endOffset = header.entries[entry::kPreview].startOffset + 100;
  RewriteHeader(installer, header);
  RunRefused(installer.image, refused, {meadow_.saverIni}, &installEnabled);
  EXPECT_FALSE(installEnabled);
  EXPECT_FALSE(FileExists(destination));
}

TEST_F(HostilePayload, ASaverNameThatClimbsOutOfTheWindowsDirectory) {
  TestPayload p = Payload();
  p.saverName = "..\\evil";
  bool installEnabled = true;
  RunRefused(Compose(stub_, p).image, msg::BadSaverNameText("..\\evil"),
             {"C:\\evil dir", meadow_.windowsDir + "..\\evil dir"}, &installEnabled);
  EXPECT_FALSE(installEnabled);
}

TEST_F(HostilePayload, ASaverNameWithAFolderPart) {
  TestPayload p = Payload();
  p.saverName = "sub\\meadow";
  RunRefused(Compose(stub_, p).image, msg::BadSaverNameText("sub\\meadow"),
             {meadow_.windowsDir + "sub"});
}

}  // namespace
}  // namespace ssi::e2e
