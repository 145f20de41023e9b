#pragma once
// "/c": the user's settings for this screen saver, in a small dialog.
#include <windows.h>

#include "saver_paths.h"
#include "settings_dialog_ids.h"

namespace saver {

constexpr int kIdSeconds = IDC_SECONDS;
constexpr int kIdShuffle = IDC_SHUFFLE;
constexpr int kIdDefaults = IDC_DEFAULTS;
constexpr int kIdAbout = IDC_ABOUT;
constexpr int kSettingsDialog = IDD_SETTINGS;

int RunSettingsDialog(HINSTANCE instance, const SaverPaths& paths, HWND owner);

}  // namespace saver
