#pragma once
// The pictures of a show, one after the other, each scaled to fit every
// screen and centred on black, with a cut, a fade or a wipe between two.
#include <windows.h>

#include <string>
#include <vector>

#include "picture_loader.h"
#include "show_layout.h"
#include "show_plan.h"

namespace saver {

class PictureShow {
 public:
  PictureShow(std::vector<PlannedPicture> pictures, ssi::Transition transition,
              unsigned transitionMs);

  bool Empty() const { return pictures_.empty(); }
  // Loads the next picture that loads and starts the transition to it; false
  // when none loads.
  bool Advance();
  // How long the current picture stays, in milliseconds.
  unsigned CurrentMs() const;
  bool Transitioning() const;
  // Paints into `client`, the picture fitted into each of `screens`.
  void Paint(HDC dc, const RECT& client, const std::vector<RECT>& screens,
             const std::string& emptyText) const;

 private:
  struct Picture {
    ssi::GdiObject bitmap;
    SIZE size{};
  };
  void Draw(HDC dc, const Picture& picture, const RECT& client,
            const std::vector<RECT>& screens) const;

  std::vector<PlannedPicture> pictures_;
  ssi::Transition transition_;
  unsigned transitionMs_;
  PictureLoader loader_;
  size_t next_ = 0;
  size_t shown_ = 0;
  Picture current_;
  Picture previous_;
  DWORD transitionStart_ = 0;
  ssi::Module msimg32_;
  using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                     BLENDFUNCTION);
  AlphaBlendFn alphaBlend_ = nullptr;
};

}  // namespace saver
