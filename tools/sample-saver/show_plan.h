#pragma once
// What one run of the screen saver shows: the author's layout from saver.dat
// (the settings record the installer carried over) with the user's own
// settings on top, and the files of the screen saver's folder that exist.
#include <string>
#include <vector>

#include "saver_paths.h"
#include "show_layout.h"
#include "user_settings.h"

namespace saver {

struct PlannedPicture {
  std::string path;
  unsigned seconds = 0;
};

struct ShowPlan {
  ssi::LayoutState state = ssi::LayoutState::kAbsent;
  ssi::ShowLayout layout;
  std::string moviePath;  // set when the layout asks for a movie that exists
  std::vector<PlannedPicture> pictures;
};

// Reads <folder>saver.dat; a missing, short or foreign record gives defaults.
ssi::LayoutState ReadLayoutFile(const std::string& saverDir, ssi::ShowLayout& layout);

ShowPlan PlanShow(const std::string& saverDir, const UserSettings& user);

// The pictures a folder offers by itself: its BMP, PNG, JPEG and GIF files,
// sorted by name.
std::vector<std::string> FolderPictures(const std::string& saverDir);

}  // namespace saver
