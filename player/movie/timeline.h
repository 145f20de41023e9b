#pragma once
// Frame advance for the root timeline and every sprite instance under it.
#include <cstdint>
#include <vector>

#include "dictionary.h"
#include "display_list.h"

namespace player {

constexpr size_t kMaxDisplayObjects = 200000;    // objects alive in all display lists
constexpr int kMaxActionRounds = 64;             // gotos that queue more actions, within one tick

// Runs a frame's action bytes. The timeline calls it once a tick's display
// list changes are all done, in the order the frames' tags came, so a script
// sees the frame it belongs to complete.
class ActionRunner {
 public:
  virtual ~ActionRunner() = default;
  // Both return true when the script may have changed the display lists.
  virtual bool RunInitActions(uint16_t spriteId, const std::vector<uint8_t>& actions) = 0;
  virtual bool RunFrameActions(Clip& clip, const std::vector<uint8_t>& actions) = 0;
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
  // Gives a new object its own timeline (sprites) as the timeline's own
  // placements do; false when a cap forbids it.
  bool Instantiate(DisplayObject& object, int nesting);
  // Runs the actions queued since the last run (a script's goto queues its
  // target frame's), until no more come or the cap of rounds is met.
  void RunQueued(Clip& root, ActionRunner* runner) { RunPending(root, runner); }

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
