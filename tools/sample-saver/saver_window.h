#pragma once
// The screen saver's window: full screen over every monitor ("/s"), or a
// child filling the window that Display Properties gives it ("/p").
#include <windows.h>

#include "saver_paths.h"

namespace saver {

// Runs the show until the user moves, clicks or types (full screen), or
// until the parent window goes away (preview). Returns the exit code.
int RunFullScreen(HINSTANCE instance, const SaverPaths& paths);
int RunPreview(HINSTANCE instance, const SaverPaths& paths, HWND parent);

}  // namespace saver
