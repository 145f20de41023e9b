#pragma once
// What the sample screen saver shows: the bitmaps of its folder, one after
// the other, each scaled to fit the screen and centred on black.
#include <windows.h>

#include <string>
#include <vector>

namespace sample {

// The folder whose pictures a saver at `programPath` shows: for
// C:\windows\meadow.scr it is C:\windows\meadow dir\ (the installer puts the
// saver's files there). A short 8.3 program path is widened first, since
// system.ini may name the saver by its short name.
std::string PictureFolderFor(const std::string& programPath);

// The "*.bmp" files of `folder` (ending in a backslash), sorted by name.
std::vector<std::string> FindPictures(const std::string& folder);

class PictureShow {
 public:
  explicit PictureShow(std::vector<std::string> pictures) : pictures_(std::move(pictures)) {}
  ~PictureShow() { Release(); }
  PictureShow(const PictureShow&) = delete;
  PictureShow& operator=(const PictureShow&) = delete;

  bool Empty() const { return pictures_.empty(); }
  // Loads the next picture that can be loaded; false when none can.
  bool Advance();
  // Paints the current picture (or `emptyText` when there is none) into `area`.
  void Paint(HDC dc, const RECT& area, const std::string& emptyText) const;

 private:
  void Release();

  std::vector<std::string> pictures_;
  size_t next_ = 0;
  HBITMAP current_ = nullptr;
  SIZE size_{};
};

}  // namespace sample
