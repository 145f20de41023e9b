#pragma once
// Helpers for the install tests: a real installer file (the stub and a
// payload made with the builder), an Installer prepared over it as the
// window's set-up would, a UI that logs every call in order, the Display
// Properties stand-in, and a file held open by another process.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "installer.h"
#include "recording_ui.h"
#include "win_handles.h"

namespace ssi::test {

// What an installer file of the tests carries, laid out like a real one: the
// compression library, optionally a Flash installer (the sample saver, which
// ignores "/Q" and ends at once), the preview, the program, a further file,
// the data file with two chunks, and two support libraries.
struct SaverPackage {
  std::string saverName = "meadow";
  uint8_t displayMode = 3;
  bool displayPropertiesFlag = true;
  std::string programName;  // empty: saverName + ".scr"
  bool withFlashInstaller = false;
  // Imploded entries and chunks need the compression library; without one
  // (SSI_IMPBORL unset) everything is stored.
  bool compress = true;
};

// The data file's chunks, as the tests check them.
constexpr const char* kChunkPicture = "one.bmp";
constexpr const char* kChunkText = "two.txt";
constexpr const char* kFurtherFile = "further.txt";
constexpr const char* kPreviewFile = "installer.scf";

// The bytes a package puts into each file, by the file's name.
std::string PackageFileBytes(const std::string& fileName);
// The data file's settings record (1220 bytes), as saver.dat must hold it.
std::string PackageSettingsRecord();

// Builds the installer file in `folder` and returns its path; fails the test
// (and returns "") when the builder refuses.
std::string BuildInstallerFile(const SaverPackage& package, const std::string& folder);

// Every call of the install sequence on the UI, in order, as text:
// "status:<text>", "step", "pause", "full", "empty", "error:<text>",
// "info:<text>", "front". The manifest is read on the final status, just
// before the sequence deletes it.
class LoggingUi : public RecordingUi {
 public:
  void ShowStatus(const std::string& text) override;
  void StepProgress() override;
  void Pause() override;
  void SetProgressFull(bool full) override;
  void ShowErrorBox(const std::string& text) override;
  void ShowInformationBox(const std::string& text) override;
  void BringToFront() override;

  std::vector<std::string> log;
  std::string manifestPath;
  std::vector<std::pair<std::string, std::string>> manifestAtEnd;
};

// saver.ini's section "Files" as written, in file order.
std::vector<std::pair<std::string, std::string>> ReadManifest(const std::string& iniPath);

// An Installer set up the way the window's set-up leaves it before Install:
// work paths, the temporary copy of `installerFile`, the payload header, the
// screen saver folder with its manifest and, unless silent, the preview.
struct PreparedInstall {
  explicit PreparedInstall(const std::string& installerFile);
  LoggingUi ui;
  Installer in{ui};
  bool ok = false;  // every set-up step succeeded
};

// Makes this test program read its payload header at `offset`, as the
// builder makes a stub do by stamping its payload offset field.
void SetOwnPayloadOffset(uint32_t offset);

// The Display Properties stand-in put into system32, where the installer's
// command line finds it.
bool InstallDisplayPropertiesStandIn();
// Opens Display Properties as a user would, with the installer's command.
void StartDisplayPropertiesByHand();
HWND WaitForWindow(const char* title, DWORD timeoutMs);
bool WaitForNoWindow(const char* title, DWORD timeoutMs);

// system.ini's [boot] SCRNSAVE.EXE.
std::string ScreenSaverSetting();
// A REG_SZ value under HKEY_LOCAL_MACHINE; "<missing>" when absent.
std::string MachineString(const std::string& keyPath, const char* valueName);
bool FileExistsAt(const std::string& path);

// A file held open without any sharing by another process, until this object
// goes away or Release is called.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Holding() const { return holding_; }
  void Release();

 private:
  KernelHandle process_;
  KernelHandle release_;
  bool holding_ = false;
};

}  // namespace ssi::test
