#include "install_fixture.h"

#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "activation.h"
#include "artifacts.h"
#include "data_file_builder.h"
#include "installer_builder.h"
#include "messages.h"
#include "payload_reader.h"
#include "work_paths.h"

// The stub's payload offset field (src/payload/payload_offset.cpp). The
// builder stamps it in the stub file; a test that reads an installer file
// in-process stamps it in its own image instead.
extern "C" volatile const unsigned char ssi_payload_offset_field[20];

namespace ssi::test {
namespace {

// OLE for the whole test program, as the installer starts it before
// anything else: the desktop's shell, which alone starts Display Properties
// and the read-me for an elevated installer, is reached through COM.
class OleForTheRun : public ::testing::Environment {
 public:
  void SetUp() override { started_ = SUCCEEDED(OleInitialize(nullptr)); }
  void TearDown() override {
    if (started_) OleUninitialize();
  }

 private:
  bool started_ = false;
};
::testing::Environment* const kOle = ::testing::AddGlobalTestEnvironment(new OleForTheRun);

ssbuild::Bytes ToBytes(const std::string& text) { return ssbuild::Bytes(text.begin(), text.end()); }

bool HaveCompressionLibrary() {
  const char* library = std::getenv("SSI_IMPBORL");
  return library != nullptr && *library != '\0';
}

ssbuild::CompressionChoice Packing(bool implode) {
  ssbuild::CompressionChoice choice;
  choice.implode = implode;
  return choice;
}

void UseEntry(ssbuild::InstallerInput& input, int index, const std::string& name,
              const std::string& bytes, bool implode) {
  ssbuild::EntrySource& entry = input.entries[static_cast<size_t>(index)];
  entry.Use(ToBytes(bytes), name);
  entry.name = name;
  entry.compression = Packing(implode);
}

std::string DataFileBytes(bool implode) {
  ssbuild::DataFileInput data;
  data.settings = ToBytes(PackageSettingsRecord());
  for (const char* name : {kChunkPicture, kChunkText}) {
    ssbuild::ChunkSource chunk = ssbuild::ChunkSource::File(ToBytes(PackageFileBytes(name)), name);
    chunk.compression = Packing(implode);
    data.chunks.push_back(chunk);
  }
  ssbuild::Bytes out;
  const ssbuild::Status status = ssbuild::BuildDataFile(data, out);
  EXPECT_TRUE(status.ok()) << status.text();
  return std::string(out.begin(), out.end());
}

std::string EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? UnixToWinePath(value) : std::string();
}

}  // namespace

std::string PackageFileBytes(const std::string& fileName) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += fileName + " line " + std::to_string(i % 7) + "\r\n";
  return bytes;
}

std::string PackageSettingsRecord() {
  std::string record(kSettingsRecordSize, '\0');
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>((i * 13 + 5) & 0x7F);
  // ChunkCount as the builder writes it: the two chunks of every package.
  record.replace(kChunkCountOffset, 4, std::string("\x02\x00\x00\x00", 4));
  return record;
}

std::string BuildInstallerFile(const SaverPackage& package, const std::string& folder) {
  const bool implode = package.compress && HaveCompressionLibrary();
  ssbuild::InstallerInput input;
  input.stub = ToBytes(ReadWholeFile(ArtifactPath("SSI_STUB")));
  input.saverName = package.saverName;
  input.displayMode = package.displayMode;
  input.displayPropertiesFlag = package.displayPropertiesFlag;
  input.allowIncomplete = true;

  const std::string library = HaveCompressionLibrary() ? ReadWholeFile(ArtifactPath("SSI_IMPBORL"))
                                                       : std::string("no library here");
  UseEntry(input, entry::kCompressionLibrary, "impborl.dat", library, false);
  if (package.withFlashInstaller) {
    const std::string standIn = ReadWholeFile(EnvironmentPath("SSI_SAMPLE_SAVER"));
    EXPECT_FALSE(standIn.empty()) << "SSI_SAMPLE_SAVER names no program";
    UseEntry(input, entry::kFlashInstaller, "flashax.exe", standIn, false);
  }
  UseEntry(input, entry::kPreview, kPreviewFile, PackageFileBytes(kPreviewFile), implode);
  const std::string program =
      package.programName.empty() ? package.saverName + ".scr" : package.programName;
  UseEntry(input, entry::kSaverProgram, program, PackageFileBytes(program), implode);
  UseEntry(input, entry::kFurtherFile, kFurtherFile, PackageFileBytes(kFurtherFile), false);
  UseEntry(input, entry::kDataFile, package.saverName + ".ssd", DataFileBytes(implode), false);
  UseEntry(input, entry::kSupportLibrary1, "saver1.dll", PackageFileBytes("saver1.dll"), implode);
  UseEntry(input, entry::kSupportLibrary2, "saver2.dll", PackageFileBytes("saver2.dll"), implode);

  ssbuild::BuiltInstaller built;
  const ssbuild::Status status = ssbuild::BuildInstaller(input, built);
  EXPECT_TRUE(status.ok()) << status.text();
  if (!status.ok()) return {};
  const std::string path = folder + package.saverName + " installer.exe";
  EXPECT_TRUE(WriteWholeFile(path, std::string(built.image.begin(), built.image.end()))) << path;
  SetOwnPayloadOffset(built.payloadOffset);
  return path;
}

void LoggingUi::ShowStatus(const std::string& text) {
  RecordingUi::ShowStatus(text);
  log.push_back("status:" + text);
  if (text == msg::kInstallComplete || text.rfind(msg::kFailed, 0) == 0) {
    manifestAtEnd = ReadManifest(manifestPath);
  }
}
void LoggingUi::StepProgress() {
  RecordingUi::StepProgress();
  log.push_back("step");
}
void LoggingUi::Pause() {
  RecordingUi::Pause();
  log.push_back("pause");
}
void LoggingUi::SetProgressFull(bool full) {
  RecordingUi::SetProgressFull(full);
  log.push_back(full ? "full" : "empty");
}
void LoggingUi::ShowErrorBox(const std::string& text) {
  RecordingUi::ShowErrorBox(text);
  log.push_back("error:" + text);
}
void LoggingUi::ShowInformationBox(const std::string& text) {
  RecordingUi::ShowInformationBox(text);
  log.push_back("info:" + text);
}
void LoggingUi::BringToFront() {
  RecordingUi::BringToFront();
  log.push_back("front");
}

std::vector<std::pair<std::string, std::string>> ReadManifest(const std::string& iniPath) {
  std::vector<std::pair<std::string, std::string>> keys;
  const std::string text = ReadWholeFile(iniPath);
  bool inFiles = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (!line.empty() && line[0] == '[') {
      inFiles = line == "[Files]";
    } else if (inFiles && line.find('=') != std::string::npos) {
      const size_t eq = line.find('=');
      keys.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
  }
  return keys;
}

PreparedInstall::PreparedInstall(const std::string& installerFile) {
  ResolveWorkPaths(in);
  in.paths.installerPath = installerFile;
  ResultCode result = CopySelfToTemp(in);
  if (result == rc::kOk) result = ReadPayloadHeader(in);
  PrepareSaverDir(in);
  in.displayMode = in.header.displayMode;
  in.readMeReady = in.header.readMeFlag != 0;
  if (result == rc::kOk && !in.Silent()) result = ExtractPreview(in);
  ui.manifestPath = in.paths.saverIniPath;
  ok = result == rc::kOk && ui.errorBoxes.empty();
}

void SetOwnPayloadOffset(uint32_t offset) {
  volatile unsigned char* field =
      const_cast<volatile unsigned char*>(ssi_payload_offset_field + 16);
  void* page = const_cast<unsigned char*>(field);
  DWORD oldProtection = 0;
  ASSERT_TRUE(VirtualProtect(page, 4, PAGE_READWRITE, &oldProtection));
  for (int i = 0; i < 4; ++i) field[i] = static_cast<unsigned char>(offset >> (8 * i));
  VirtualProtect(page, 4, oldProtection, &oldProtection);
}

bool InstallDisplayPropertiesStandIn() {
  const std::string standIn = EnvironmentPath("SSI_DESK_CPL");
  if (standIn.empty()) {
    ADD_FAILURE() << "SSI_DESK_CPL is not set; run this test through ctest";
    return false;
  }
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  return CopyFileA(standIn.c_str(), (std::string(system) + "\\desk.cpl").c_str(), FALSE) != FALSE;
}

void StartDisplayPropertiesByHand() {
  const std::string command = "\"" + Rundll32Path() + "\" " + kDisplayPropertiesArguments;
  WinExec(command.c_str(), SW_SHOWNORMAL);
}

HWND WaitForWindow(const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const HWND found = FindWindowA(nullptr, title);
    if (found != nullptr || GetTickCount() - start > timeoutMs) return found;
    Sleep(50);
  }
}

bool WaitForNoWindow(const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (FindWindowA(nullptr, title) == nullptr) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
}

std::string ScreenSaverSetting() {
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "<missing>", value, MAX_PATH, "system.ini");
  return value;
}

std::string MachineString(const std::string& keyPath, const char* valueName) {
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS) {
    return "<missing>";
  }
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return "<missing>";
  }
  return value;
}

bool FileExistsAt(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

HeldFile::HeldFile(const std::string& path) {
  const std::string holder = EnvironmentPath("SSI_FILE_HOLDER");
  if (holder.empty()) {
    ADD_FAILURE() << "SSI_FILE_HOLDER is not set; run this test through ctest";
    return;
  }
  static int serial = 0;
  const std::string stem =
      "ssi-install-hold-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  const std::string readyName = stem + "-ready";
  const std::string releaseName = stem + "-release";
  KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
  release_.reset(CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
  if (!ready || !release_) return;
  std::string commandLine = "\"" + holder + "\" \"" + path + "\" " + readyName + " " + releaseName;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  const HANDLE waits[2] = {ready.get(), process_.get()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 20000);
  // The holder signals "ready" also when it could not open the file, then ends.
  holding_ = woke == WAIT_OBJECT_0 && WaitForSingleObject(process_.get(), 200) == WAIT_TIMEOUT;
}

void HeldFile::Release() {
  if (release_) SetEvent(release_.get());
  if (process_) WaitForSingleObject(process_.get(), 20000);
  process_.reset();
  release_.reset();
  holding_ = false;
}

}  // namespace ssi::test
