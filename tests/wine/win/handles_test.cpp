// Each handle owner against the system's own view of the handle: open while
// owned, closed exactly when the owner lets go, left open by release().
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "artifacts.h"
#include "win_handles.h"

namespace ssi::test {
namespace {

bool KernelHandleIsOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

TEST(HandleOwners, EmptyValuesAreThoseTheSystemReturnsOnFailure) {
  // CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, the rest
  // with NULL; an owner of that value is empty and closes nothing.
  EXPECT_FALSE(FileHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(FileHandle());
  EXPECT_FALSE(FindHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(KernelHandle(nullptr));
  EXPECT_FALSE(RegKey(nullptr));
  EXPECT_FALSE(Module(nullptr));
  EXPECT_FALSE(GdiObject(nullptr));
  const FileHandle missing(
      CreateFileA("C:\\no such folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing);
  FileHandle empty;
  EXPECT_TRUE(empty.reset());  // nothing to close is no failure
}

TEST(HandleOwners, FileIsClosedWhenTheOwnerGoes) {
  const std::string path = MakeTempFolder("handles") + "exclusive.bin";
  HANDLE raw = INVALID_HANDLE_VALUE;
  {
    FileHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    raw = file.get();
    // Opened without sharing: nobody else gets in while it is owned.
    const HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_FALSE(KernelHandleIsOpen(raw));
  const HANDLE again =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST(HandleOwners, MoveHandsOverOneCloseAndReleaseGivesItBack) {
  const HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    KernelHandle first(raw);
    KernelHandle second(std::move(first));
    EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_EQ(second.get(), raw);
    KernelHandle third;
    third = std::move(second);
    EXPECT_FALSE(second);  // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(KernelHandleIsOpen(raw));
  }
  EXPECT_FALSE(KernelHandleIsOpen(raw));

  const HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    KernelHandle owner(kept);
    EXPECT_EQ(owner.release(), kept);
    EXPECT_FALSE(owner);
  }
  EXPECT_TRUE(KernelHandleIsOpen(kept));
  EXPECT_NE(CloseHandle(kept), FALSE);
}

TEST(HandleOwners, ResetClosesTheOldHandleAndTellsARefusedClose) {
  const HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE b = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  KernelHandle owner(a);
  EXPECT_TRUE(owner.reset(b));
  EXPECT_FALSE(KernelHandleIsOpen(a));
  EXPECT_TRUE(KernelHandleIsOpen(b));
  // Closed behind the owner's back: the system refuses the second close, and
  // the owner says so instead of hiding it.
  ASSERT_NE(CloseHandle(b), FALSE);
  EXPECT_FALSE(owner.reset());
  EXPECT_FALSE(owner);
}

TEST(HandleOwners, FindRegistryModuleAndGdiHandlesAreClosedByTheirOwnCall) {
  const std::string folder = MakeTempFolder("find");
  ASSERT_TRUE(WriteWholeFile(folder + "a.txt", "a"));
  WIN32_FIND_DATAA found{};
  HANDLE search = INVALID_HANDLE_VALUE;
  {
    FindHandle owner(FindFirstFileA((folder + "*").c_str(), &found));
    ASSERT_TRUE(owner);
    search = owner.get();
    EXPECT_NE(FindNextFileA(search, &found), FALSE);
  }
  SetLastError(0);
  EXPECT_EQ(FindNextFileA(search, &found), FALSE);  // FindClose was called
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));

  HKEY rawKey = nullptr;
  {
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ssi-wrapper-test", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    rawKey = key.get();
    EXPECT_EQ(RegSetValueExA(rawKey, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_SUCCESS);
  }
  EXPECT_EQ(RegSetValueExA(rawKey, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
            ERROR_INVALID_HANDLE);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\ssi-wrapper-test");

  const std::string library = ArtifactPath("SSI_IMPBORL");
  {
    Module module(LoadLibraryA(library.c_str()));
    ASSERT_TRUE(module);
    EXPECT_EQ(GetModuleHandleA(library.c_str()), module.get());
  }
  EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);  // FreeLibrary unloaded it

  HGDIOBJ brush = nullptr;
  {
    GdiObject owner(CreateSolidBrush(RGB(1, 2, 3)));
    brush = owner.get();
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(GetObjectType(brush), 0u);  // DeleteObject was called
}

}  // namespace
}  // namespace ssi::test
