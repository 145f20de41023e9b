#pragma once
// What the tests of our Flash control share: its artifacts, a program run to
// its end, the class's registration as HKLM holds it, a movie made here.
#include <windows.h>

#include <string>
#include <vector>

namespace ssi::test {

std::string ControlPath();   // ssiflash.ocx as built (SSI_FLASH_CONTROL)
std::string FlashaxPath();   // flashax.exe as built (SSI_FLASHAX)
std::string SystemFolder();  // where flashax.exe puts the control here
// Runs a program with arguments and waits; its exit code, or -1.
int RunProgram(const std::string& path, const std::string& args);
// HKLM's InprocServer32 of the Shockwave Flash class; "" when unregistered.
std::string RegisteredServer();
// Registers the control as built, through its own DllRegisterServer.
void RegisterBuiltControl();

// A small movie of our own: a stage of `width` x `height` pixels on
// `background` (0xRRGGBB), `frames` frames at 10 a second, the label
// "middle" on frame 2 (0-based), and on depth 1 a sprite of three frames
// named "spin" that holds a red 40 pixel square at the stage's left edge,
// moved 40 pixels right each frame.
std::string TinyMovie(int width, int height, unsigned background, int frames);

}  // namespace ssi::test
