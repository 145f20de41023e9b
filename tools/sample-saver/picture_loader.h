#pragma once
// Turns a picture file into a bitmap: BMP through the system's own loader,
// PNG, JPEG and GIF through GDI+ where the system has it (XP does; it is
// loaded at run time so that the program starts without it).
#include <windows.h>

#include <string>

#include "win_handles.h"

namespace saver {

class PictureLoader {
 public:
  PictureLoader();
  ~PictureLoader();
  PictureLoader(const PictureLoader&) = delete;
  PictureLoader& operator=(const PictureLoader&) = delete;

  // A bitmap and its size, or an empty object when the file does not load.
  ssi::GdiObject Load(const std::string& path, SIZE& size) const;

 private:
  struct Api;
  ssi::Module gdiplus_;
  ULONG_PTR token_ = 0;
  Api* api_ = nullptr;
};

}  // namespace saver
