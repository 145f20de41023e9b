#pragma once
// Frame advance for the root timeline and every sprite instance under it.
#include <cstdint>
#include <vector>

#include "dictionary.h"
#include "display_list.h"

namespace player {

constexpr size_t kMaxDisplayObjects = 200000;    // objects alive in all display lists

// Runs a frame's action bytes. The timeline calls it once a tick's display
// list changes are all done, in the order the frames' tags came, so a script
// sees the frame it belongs to complete.
class ActionRunner {
 public:
  virtual ~ActionRunner() = default;
  virtual void RunInitActions(uint16_t spriteId, const std::vector<uint8_t>& actions) = 0;
  virtual void RunFrameActions(Clip& clip, const std::vector<uint8_t>& actions) = 0;
};

class TimelinePlayer {
 public:
  explicit TimelinePlayer(const Dictionary& dictionary) : dictionary_(dictionary) {}

  // Shows the root's first frame.
  void Start(Clip& root, ActionRunner* runner);
  // One tick: every playing timeline moves to its next frame (sprites loop).
  void Advance(Clip& root, ActionRunner* runner);
  // Rebuilds `clip` as it stands at `frame` (0-based), keeping the instances
  // that were placed by the same tag.
  void GotoFrame(Clip& clip, int frame, int nesting);

 private:
  struct Pending {
    Clip* clip;
    const FrameTag* tag;
  };
  void Tick(Clip& clip, int nesting);
  void ApplyFrame(Clip& clip, int frame, int nesting);
  void Place(Clip& clip, const PlaceObject& place, int frame, int nesting);
  void MakeClip(DisplayObject& object, int nesting);
  void RunPending(Clip& root, ActionRunner* runner);
  size_t CountObjects(const DisplayList& list) const;

  const Dictionary& dictionary_;
  std::vector<Pending> pending_;
  size_t alive_ = 0;
};

}  // namespace player
