// flashax.exe /Q in a fresh prefix: it installs and registers the control
// for the machine; it leaves a registered control, ours or another's, alone;
// it refuses a file it did not write at the control's name.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "artifacts.h"
#include "control_test_support.h"
#include "flash_test_support.h"
#include "shockwave_flash.h"

namespace ssi::test {
namespace {

const char kFileName[] = "ssiflash.ocx";

bool CanCreate() {
  IUnknown* control = nullptr;
  const HRESULT hr =
      CoCreateInstance(flash::kClsid, nullptr, CLSCTX_INPROC_SERVER, flash::kIidShockwaveFlash,
                       reinterpret_cast<void**>(&control));
  if (control) control->Release();
  return SUCCEEDED(hr);
}

TEST(Flashax, InstallsIntoTheSystemFolderRegistersAndASecondRunChangesNothing) {
  const std::string target = SystemFolder() + kFileName;
  ASSERT_EQ(RegisteredServer(), "");
  EXPECT_EQ(RunProgram(FlashaxPath(), "/Q"), 0);
  EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(ControlPath()));
  EXPECT_EQ(RegisteredServer(), target);
  CLSID byName{};
  EXPECT_EQ(CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash", &byName), S_OK);
  EXPECT_TRUE(byName == flash::kClsid);
  EXPECT_TRUE(CanCreate());

  // Nothing is rewritten: the file keeps its time.
  FILETIME before{}, after{};
  HANDLE f = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  GetFileTime(f, nullptr, nullptr, &before);
  CloseHandle(f);
  Sleep(50);
  EXPECT_EQ(RunProgram(FlashaxPath(), "/q"), 0);
  f = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                  nullptr);
  GetFileTime(f, nullptr, nullptr, &after);
  CloseHandle(f);
  EXPECT_EQ(CompareFileTime(&before, &after), 0);
  EXPECT_EQ(RegisteredServer(), target);
}

TEST(Flashax, AnotherRegisteredControlIsLeftAlone) {
  RegisterStandinControl();
  const std::string other = RegisteredServer();
  ASSERT_NE(other, "");
  EXPECT_EQ(RunProgram(FlashaxPath(), "/Q"), 0);
  EXPECT_EQ(RegisteredServer(), other);
  EXPECT_EQ(GetFileAttributesA((SystemFolder() + kFileName).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Flashax, APlantedFileAtTheControlsNameIsRefusedAndKept) {
  const std::string target = SystemFolder() + kFileName;
  ASSERT_TRUE(WriteWholeFile(target, "MZ planted"));
  EXPECT_EQ(RunProgram(FlashaxPath(), "/Q"), 2);
  EXPECT_EQ(ReadWholeFile(target), "MZ planted");
  EXPECT_EQ(RegisteredServer(), "");
  EXPECT_FALSE(CanCreate());
}

}  // namespace
}  // namespace ssi::test
