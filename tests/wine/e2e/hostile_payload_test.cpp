// Installers whose header aims outside the installer's folders: each is
// refused with an error box, and nothing appears outside the Windows
// directory's own entries and the screen saver's folder.
#include <windows.h>
#include <tlhelp32.h>

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
  // The set-up wrote the manifest and the preview before it met the name;
  // closing after the refusal takes both away again.
  EXPECT_EQ(FolderEntries(meadow_.saverDir), std::set<std::string>{});
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

bool HasModule(DWORD pid, const char* name) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  bool found = false;
  for (BOOL more = Module32First(snapshot, &module); more && !found;
       more = Module32Next(snapshot, &module))
    found = lstrcmpiA(module.szModule, name) == 0;
  CloseHandle(snapshot);
  return found;
}

// Whoever may write the download folder renames the installer aside once it
// runs (after the elevation prompt named it) and puts another installer with
// the same stub under its name, as soon as the new process has mapped
// shell32.dll, well before the program's entry. Only the file the system
// started may install; anything else is refused before a thing is written.
TEST_F(HostilePayload, AnotherInstallerPutInItsPlaceOnceItRunsIsRefused) {
  TestPayload mine = Payload();
  mine.displayMode = 4;
  TestPayload theirs = mine;
  theirs.saverName = "swapped";
  const std::string theirsImage = Compose(stub_, theirs).image;
  const std::string swappedDir = PlacesFor("swapped").saverDir;
  bool swapped = false;
  // The rename races the program's entry; a lost race installs our own
  // payload and is tried again.
  for (int attempt = 0; attempt < 3 && !swapped; ++attempt) {
    DeleteFilesIn(meadow_.saverDir);
    RemoveDirectoryA(meadow_.saverDir.c_str());
    InstallerSession session;
    ASSERT_TRUE(session.Launch(Compose(stub_, mine).image)) << session.launchError;
    const std::string path = session.InstallerPath();
    while (!driver::HasExited(session.Process()) && !HasModule(session.Pid(), "shell32.dll")) {
    }
    swapped = MoveFileA(path.c_str(), (path + ".aside").c_str()) &&
              test::WriteWholeFile(path, theirsImage);
    ASSERT_TRUE(session.WaitForEnd());
    if (!swapped) continue;
    EXPECT_EQ(session.ExitCode(), kExitFailed);
    EXPECT_EQ(session.boxes.size(), 1u) << DescribeBoxes(session.boxes);
    if (!session.boxes.empty()) {
      EXPECT_EQ(session.boxes[0].text, msg::InstallErrorText(rc::kHeaderShort, path, ""));
    }
    EXPECT_FALSE(FolderExists(swappedDir)) << "the other installer's payload was installed";
    EXPECT_FALSE(FolderExists(meadow_.saverDir));
    EXPECT_EQ(FolderEntries(meadow_.tempCopyDir), std::set<std::string>{});
  }
  EXPECT_TRUE(swapped) << "the installer was held before it could be renamed, three times";
}

}  // namespace
}  // namespace ssi::e2e
