#include "payload_test_support.h"

#include <gtest/gtest.h>

#include "artifacts.h"
#include "file_stream.h"
#include "payload_reader.h"

namespace ssi::test {

std::string TestProgramDir() {
  char buffer[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path = buffer;
  return path.substr(0, path.find_last_of('\\') + 1);
}

HeldFile::HeldFile(const std::string& path) {
  static int serial = 0;
  const std::string stem =
      "ssi-holder-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  KernelHandle ready(CreateEventA(nullptr, TRUE, FALSE, (stem + "-ready").c_str()));
  release_.reset(CreateEventA(nullptr, TRUE, FALSE, (stem + "-release").c_str()));
  std::string command = "\"" + TestProgramDir() + "file_holder.exe\" \"" + path + "\" " + stem +
                        "-ready " + stem + "-release";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    ADD_FAILURE() << "cannot start the file holder: " << GetLastError();
    return;
  }
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  HANDLE waits[2] = {ready.get(), process_.get()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 60000);
  DWORD exitCode = 0;
  holding_ = woke == WAIT_OBJECT_0 &&
             !(GetExitCodeProcess(process_.get(), &exitCode) && exitCode != STILL_ACTIVE);
  if (!holding_) ADD_FAILURE() << "the file holder could not open " << path;
}

HeldFile::~HeldFile() {
  if (release_) SetEvent(release_.get());
  if (process_) WaitForSingleObject(process_.get(), 60000);
}

PayloadFileBuilder::PayloadFileBuilder(size_t stubSize) : stub_(stubSize, 'S') {}

PayloadEntry& PayloadFileBuilder::Add(int index, const std::string& name, int32_t kind,
                                      const std::string& bytes, bool compressed,
                                      int32_t expandedSize) {
  PayloadEntry& e = header.entries[static_cast<size_t>(index)];
  e.name = name;
  e.kind = kind;
  e.startOffset = static_cast<int32_t>(End());
  e.endOffset = e.startOffset + static_cast<int32_t>(bytes.size()) - 1;
  e.compressed = compressed ? 1 : 0;
  e.storedSize = compressed ? static_cast<int32_t>(bytes.size()) : 0;
  e.expandedSize = expandedSize >= 0 ? expandedSize : static_cast<int32_t>(bytes.size());
  data_ += bytes;
  return e;
}

std::string PayloadFileBuilder::Bytes() const {
  std::string headerBytes(kPayloadHeaderSize, '\0');
  SerializePayloadHeader(header, reinterpret_cast<uint8_t*>(&headerBytes[0]));
  return stub_ + headerBytes + data_;
}

bool PayloadFileBuilder::WriteTo(const std::string& path) const {
  return WriteWholeFile(path, Bytes());
}

ScratchInstall::ScratchInstall() {
  root = MakeTempFolder("ssi-payload");
  WorkPaths& p = in.paths;
  p.windowsDir = root + "win\\";
  p.saverName = "meadow";
  p.saverDir = p.windowsDir + "meadow dir\\";
  p.saverIniPath = p.saverDir + "saver.ini";
  p.installerPath = root + "install.exe";
  p.tempCopyPath = root + "temp1.dat";
  CreateDirectoryA(p.windowsDir.c_str(), nullptr);
  CreateDirectoryA(p.saverDir.c_str(), nullptr);
  in.saverIni.emplace(p.saverIniPath);
}

std::string ScratchInstall::Manifest(int key) const {
  char buffer[1024] = {};
  GetPrivateProfileStringA("Files", std::to_string(key).c_str(), "", buffer, sizeof buffer,
                           in.paths.saverIniPath.c_str());
  return buffer;
}

ResultCode ScratchInstall::Extract(const PayloadFileBuilder& payload, int index, bool showProgress,
                                   bool addToManifest) {
  in.header = payload.header;
  if (!payload.WriteTo(in.paths.tempCopyPath)) {
    ADD_FAILURE() << "cannot write " << in.paths.tempCopyPath;
    return rc::kUnspecified;
  }
  FileStream stream;
  const ResultCode opened = stream.Open(in.paths.tempCopyPath, FileStream::Mode::kRead);
  if (opened != rc::kOk) {
    ADD_FAILURE() << "cannot open " << in.paths.tempCopyPath;
    return opened;
  }
  return ExtractPayloadEntry(in, stream, index, showProgress, addToManifest);
}

bool InstallLibrary(const std::string& fileName) {
  if (fileName.empty()) {
    const std::string target = WindowsDir() + "impborl.dll";
    return DeleteFileA(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  return InstallLibraryFrom(TestProgramDir() + fileName);
}

bool InstallLibraryFrom(const std::string& path) {
  return CopyFileA(path.c_str(), (WindowsDir() + "impborl.dll").c_str(), FALSE) != FALSE;
}

bool ModuleLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

uint32_t Crc32(const std::string& bytes) {
  uint32_t value = 0xFFFFFFFFu;
  for (char c : bytes) {
    value ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1u)));
  }
  return ~value;
}

}  // namespace ssi::test
