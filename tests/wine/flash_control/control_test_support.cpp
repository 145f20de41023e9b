#include "control_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "artifacts.h"
#include "shockwave_flash.h"

namespace ssi::test {

std::string ControlPath() { return ArtifactPath("SSI_FLASH_CONTROL"); }
std::string FlashaxPath() { return ArtifactPath("SSI_FLASHAX"); }

std::string SystemFolder() {
  char dir[MAX_PATH + 1] = {};
  UINT n = GetSystemWow64DirectoryA(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH) n = GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir, n) + "\\";
}

int RunProgram(const std::string& path, const std::string& args) {
  std::string line = "\"" + path + "\" " + args;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  const bool got = GetExitCodeProcess(process.hProcess, &code) != 0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return got ? static_cast<int>(code) : -1;
}

std::string RegisteredServer() {
  char value[MAX_PATH * 2] = {};
  LONG size = sizeof value;
  if (RegQueryValueA(HKEY_LOCAL_MACHINE,
                     "Software\\Classes\\CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}"
                     "\\InprocServer32",
                     value, &size) != ERROR_SUCCESS)
    return {};
  return value;
}

void RegisterBuiltControl() {
  HMODULE control = LoadLibraryA(ControlPath().c_str());
  ASSERT_NE(control, nullptr);
  using Fn = HRESULT(STDAPICALLTYPE*)();
  const auto fn =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(control, "DllRegisterServer")));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), S_OK);
  FreeLibrary(control);
}

namespace {

// The movie format's little-endian fields and its bit-packed rectangles.
struct Writer {
  std::string bytes;
  void U8(unsigned v) { bytes += static_cast<char>(v & 0xFF); }
  void U16(unsigned v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Bits(std::vector<std::pair<int, int>> fields) {  // (bit count, value)
    uint32_t acc = 0;
    int used = 0;
    for (auto [count, value] : fields)
      for (int i = count - 1; i >= 0; --i) {
        acc = (acc << 1) | ((static_cast<uint32_t>(value) >> i) & 1u);
        if (++used == 8) {
          U8(acc);
          acc = 0;
          used = 0;
        }
      }
    if (used) U8(acc << (8 - used));
  }
  void Rect(int xmin, int xmax, int ymin, int ymax) {
    Bits({{5, 16}, {16, xmin}, {16, xmax}, {16, ymin}, {16, ymax}});
  }
  void Tag(unsigned code, const std::string& body) {
    U16(code << 6 | 0x3F);
    U32(static_cast<uint32_t>(body.size()));
    bytes += body;
  }
};

std::string ShapeTag() {  // DefineShape id 2: a red 40 x 40 pixel square
  Writer w;
  w.U16(2);
  w.Rect(0, 800, 0, 800);
  w.U8(1);  // one solid fill
  w.U8(0x00);
  w.U8(0xFF);
  w.U8(0x00);
  w.U8(0x00);
  w.U8(0);     // no lines
  w.U8(0x10);  // one fill bit, no line bits
  // Move to (0,0) with fill 1, then four straight edges, then the end.
  w.Bits({{1, 0}, {1, 0}, {1, 0},  {1, 0}, {1, 1}, {1, 1},            // style change: fill0, moveTo
          {5, 1}, {1, 0}, {1, 0},                                     // to (0, 0)
          {1, 1},                                                     // fill0 = 1
          {1, 1}, {1, 1}, {4, 10}, {1, 0}, {1, 0}, {12, 800},         // edge: horizontal +800
          {1, 1}, {1, 1}, {4, 10}, {1, 0}, {1, 1}, {12, 800},         // vertical +800
          {1, 1}, {1, 1}, {4, 10}, {1, 0}, {1, 0}, {12, 4096 - 800},  // horizontal -800
          {1, 1}, {1, 1}, {4, 10}, {1, 0}, {1, 1}, {12, 4096 - 800},  // vertical -800
          {1, 0}, {5, 0}});
  return w.bytes;
}

}  // namespace

std::string TinyMovie(int width, int height, unsigned background, int frames) {
  Writer body;
  body.Rect(0, width * 20, 0, height * 20);
  body.U16(10 << 8);  // 10 frames a second, 8.8 fixed
  body.U16(static_cast<unsigned>(frames));
  Writer bg;
  bg.U8(background >> 16);
  bg.U8(background >> 8);
  bg.U8(background);
  body.Tag(9, bg.bytes);  // SetBackgroundColor
  body.Tag(2, ShapeTag());
  Writer sprite;  // DefineSprite id 1: the square, three frames
  sprite.U16(1);
  sprite.U16(3);
  Writer place;
  place.U8(0x02);  // PlaceObject2: character
  place.U16(1);
  place.U16(2);
  sprite.Tag(26, place.bytes);
  for (int i = 0; i < 3; ++i) sprite.Tag(1, "");
  sprite.Tag(0, "");
  body.Tag(39, sprite.bytes);
  Writer placeSprite;
  placeSprite.U8(0x22);  // PlaceObject2: name, character
  placeSprite.U16(1);
  placeSprite.U16(1);
  placeSprite.bytes += std::string("spin") + '\0';
  body.Tag(26, placeSprite.bytes);
  for (int i = 0; i < frames; ++i) {
    if (i > 0) {  // PlaceObject2 moving depth 1: 40 pixels right a frame
      Writer move;
      move.U8(0x05);  // move, matrix
      move.U16(1);
      move.Bits({{1, 0}, {1, 0}, {5, 16}, {16, i * 800}, {16, 0}});
      body.Tag(26, move.bytes);
    }
    if (i == 2) body.Tag(43, std::string("middle") + '\0');  // FrameLabel
    body.Tag(1, "");                                         // ShowFrame
  }
  body.Tag(0, "");
  Writer file;
  file.bytes = "FWS";
  file.U8(6);
  file.U32(static_cast<uint32_t>(8 + body.bytes.size()));
  return file.bytes + body.bytes;
}

}  // namespace ssi::test
