#include "delete_by_handle.h"

#include <cstring>
#include <vector>

namespace saver {
namespace {

constexpr ULONG kFileBasicInformation = 4;
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileDispositionInformation = 13;

struct IoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};

struct BasicInformation {
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  ULONG fileAttributes;
};

using SetInformationFn = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(LONG);

FARPROC Native(const char* name) {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll ? GetProcAddress(ntdll, name) : nullptr;
}

template <typename Fn>
Fn NativeCall(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Native(name)));
}

DWORD ErrorOf(LONG status) {
  if (status >= 0) return ERROR_SUCCESS;
  const auto toError = NativeCall<StatusToErrorFn>("RtlNtStatusToDosError");
  const DWORD error = toError ? toError(status) : ERROR_GEN_FAILURE;
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

DWORD SetInformation(HANDLE file, void* data, ULONG size, ULONG kind) {
  const auto set = NativeCall<SetInformationFn>("NtSetInformationFile");
  if (!set) return ERROR_CALL_NOT_IMPLEMENTED;
  IoStatus io{};
  return ErrorOf(set(file, &io, data, size, kind));
}

}  // namespace

DWORD MarkForDeletion(HANDLE file) {
  BOOLEAN deleteFile = TRUE;
  return SetInformation(file, &deleteFile, sizeof deleteFile, kFileDispositionInformation);
}

DWORD ClearReadOnly(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return GetLastError();
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0) return ERROR_SUCCESS;
  BasicInformation basic{};  // zero times: left as they are
  basic.fileAttributes = info.dwFileAttributes & ~static_cast<ULONG>(FILE_ATTRIBUTE_READONLY);
  if (basic.fileAttributes == 0) basic.fileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetInformation(file, &basic, sizeof basic, kFileBasicInformation);
}

DWORD RenameInto(HANDLE file, HANDLE folder, const std::wstring& name) {
  // FILE_RENAME_INFORMATION: replace flag, root folder, name length, name.
  struct Header {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
  };
  const size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(Header) + nameBytes + sizeof(wchar_t));
  Header header{FALSE, folder, static_cast<ULONG>(nameBytes)};
  std::memcpy(buffer.data(), &header, sizeof header);
  std::memcpy(buffer.data() + offsetof(Header, fileNameLength) + sizeof(ULONG), name.data(),
              nameBytes);
  const DWORD error = SetInformation(file, buffer.data(), static_cast<ULONG>(buffer.size()),
                                     kFileRenameInformation);
  return error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  return out;
}

}  // namespace saver
