#include "timeline.h"

#include <algorithm>
#include <set>

namespace player {
namespace {

Matrix ToMatrix(const SwfMatrix& m) { return {m.a, m.b, m.c, m.d, m.tx, m.ty}; }

ColorTransform ToCx(const CxForm& c) {
  ColorTransform cx;
  for (int i = 0; i < 4; ++i) {
    cx.mul[i] = c.mul[i];
    cx.add[i] = c.add[i];
  }
  return cx;
}

BlendMode ToBlend(uint8_t mode) {
  static constexpr BlendMode kModes[] = {
      BlendMode::Normal,   BlendMode::Normal,   BlendMode::Layer,  BlendMode::Multiply, BlendMode::Screen,
      BlendMode::Lighten,  BlendMode::Darken,   BlendMode::Difference, BlendMode::Add, BlendMode::Subtract,
      BlendMode::Invert,   BlendMode::Alpha,    BlendMode::Erase,  BlendMode::Overlay,  BlendMode::Hardlight};
  return mode < sizeof kModes / sizeof kModes[0] ? kModes[mode] : BlendMode::Normal;
}

// The fields a PlaceObject sets, onto an object new or already there.
void ApplyFields(DisplayObject& o, const PlaceObject& p) {
  if (p.hasMatrix) o.matrix = ToMatrix(p.matrix);
  if (p.hasCxForm) o.cxform = ToCx(p.cxform);
  if (p.hasRatio) o.ratio = p.ratio;
  if (p.hasName) o.name = p.name;
  if (p.hasClipDepth) o.clipDepth = p.clipDepth;
  if (p.hasFilters) o.filters = p.filters;
  if (p.hasBlend) o.blend = ToBlend(p.blendMode);
  if (p.hasCache) o.cacheAsBitmap = p.cacheAsBitmap;
  if (p.hasVisible) o.visible = p.visible;
  if (p.hasBackground) {
    o.opaqueBackground = true;
    o.background = p.background;
  }
  if (p.hasClipActions) o.clipActions = p.clipActions;
}

int FrameTotal(const Clip& clip) {
  return clip.timeline ? static_cast<int>(clip.timeline->frames.size()) : 0;
}

}  // namespace

size_t TimelinePlayer::CountObjects(const DisplayList& list) const {
  size_t n = list.size();
  for (const auto& [depth, object] : list)
    if (object.clip) n += CountObjects(object.clip->list);
  return n;
}

void TimelinePlayer::MakeClip(DisplayObject& object, int nesting) {
  object.clip.reset();
  const CharacterEntry* entry = dictionary_.Find(object.characterId);
  if (!entry || nesting >= kMaxNesting) return;
  if (const auto* button = std::get_if<ButtonDef>(entry->def.get())) {
    // The up state, as a list of its own so that sprites in it play.
    object.clip = std::make_shared<Clip>();
    for (const ButtonRecord& r : button->records) {
      if (!(r.states & 1) || object.clip->list.count(r.depth) || alive_ >= kMaxDisplayObjects) continue;
      ++alive_;
      DisplayObject o;
      o.characterId = r.characterId;
      o.matrix = ToMatrix(r.matrix);
      o.cxform = ToCx(r.cxform);
      o.filters = r.filters;
      o.blend = ToBlend(r.blendMode);
      DisplayObject& placed = object.clip->list[r.depth] = std::move(o);
      MakeClip(placed, nesting + 1);
    }
    return;
  }
  if (std::holds_alternative<EditTextDef>(*entry->def)) {
    object.clip = std::make_shared<Clip>();  // no timeline: a handle for scripts
    return;
  }
  const auto* sprite = std::get_if<SpriteDef>(entry->def.get());
  if (!sprite) return;
  object.clip = std::make_shared<Clip>();
  object.clip->timeline = &sprite->timeline;
  object.clip->frame = 0;
  ApplyFrame(*object.clip, 0, nesting + 1);
}

void TimelinePlayer::Place(Clip& clip, const PlaceObject& p, int frame, int nesting) {
  auto it = clip.list.find(p.depth);
  if (p.hasCharacter && (!p.move || it == clip.list.end())) {
    if (it != clip.list.end()) return;  // the depth is taken: the format ignores the tag
    if (alive_ >= kMaxDisplayObjects) return;
    ++alive_;
    DisplayObject o;
    o.characterId = p.characterId;
    o.placedFrame = frame;
    ApplyFields(o, p);
    DisplayObject& placed = clip.list[p.depth] = std::move(o);
    MakeClip(placed, nesting);
    return;
  }
  if (it == clip.list.end()) return;
  DisplayObject& o = it->second;
  if (p.hasCharacter && p.characterId != o.characterId) {
    o.characterId = p.characterId;
    o.placedFrame = frame;
    ApplyFields(o, p);
    MakeClip(o, nesting);
    return;
  }
  ApplyFields(o, p);
}

void TimelinePlayer::ApplyFrame(Clip& clip, int frame, int nesting) {
  if (frame < 0 || frame >= FrameTotal(clip)) return;
  clip.frame = frame;
  for (const FrameTag& tag : clip.timeline->frames[static_cast<size_t>(frame)]) {
    switch (tag.kind) {
      case FrameTag::kPlace:
        Place(clip, tag.place, frame, nesting);
        break;
      case FrameTag::kRemove:
        clip.list.erase(tag.depth);
        break;
      case FrameTag::kAction:
      case FrameTag::kInitAction:
        pending_.push_back({&clip, &tag});
        break;
      case FrameTag::kLabel:
        break;
    }
  }
}

void TimelinePlayer::GotoFrame(Clip& clip, int frame, int nesting) {
  const int total = FrameTotal(clip);
  if (total == 0) return;
  frame = frame < 0 ? 0 : frame >= total ? total - 1 : frame;
  if (frame == clip.frame) return;
  if (frame == clip.frame + 1) {
    ApplyFrame(clip, frame, nesting);
    return;
  }
  // The list as the timeline alone would have it at `frame`.
  DisplayList wanted;
  for (int f = 0; f <= frame; ++f) {
    for (const FrameTag& tag : clip.timeline->frames[static_cast<size_t>(f)]) {
      if (tag.kind == FrameTag::kRemove) {
        wanted.erase(tag.depth);
      } else if (tag.kind == FrameTag::kPlace) {
        const PlaceObject& p = tag.place;
        auto it = wanted.find(p.depth);
        if (p.hasCharacter && (it == wanted.end() || (p.move && it->second.characterId != p.characterId))) {
          if (it != wanted.end() && !p.move) continue;
          DisplayObject o = it != wanted.end() ? it->second : DisplayObject{};
          o.characterId = p.characterId;
          o.placedFrame = f;
          ApplyFields(o, p);
          wanted[p.depth] = std::move(o);
        } else if (it != wanted.end()) {
          ApplyFields(it->second, p);
        }
      }
    }
  }
  DisplayList rebuilt;
  for (auto& [depth, object] : wanted) {
    auto old = clip.list.find(depth);
    if (old != clip.list.end() && old->second.characterId == object.characterId &&
        old->second.placedFrame == object.placedFrame) {
      object.clip = old->second.clip;
    } else if (alive_ < kMaxDisplayObjects) {
      ++alive_;
      MakeClip(object, nesting);
    }
    rebuilt[depth] = std::move(object);
  }
  for (auto& [depth, object] : clip.list)
    if (object.scripted && !rebuilt.count(depth)) rebuilt[depth] = std::move(object);
  clip.list = std::move(rebuilt);
  clip.frame = frame;
  for (const FrameTag& tag : clip.timeline->frames[static_cast<size_t>(frame)])
    if (tag.kind == FrameTag::kAction) pending_.push_back({&clip, &tag});
}

void TimelinePlayer::Tick(Clip& clip, int nesting) {
  std::vector<std::shared_ptr<Clip>> children;
  for (const auto& [depth, object] : clip.list)
    if (object.clip) children.push_back(object.clip);
  if (clip.playing && FrameTotal(clip) > 1) {
    const int next = clip.frame + 1 < FrameTotal(clip) ? clip.frame + 1 : 0;
    GotoFrame(clip, next, nesting);
  }
  for (const auto& child : children) {
    bool present = false;
    for (const auto& [depth, object] : clip.list) present = present || object.clip == child;
    if (present) Tick(*child, nesting + 1);
  }
}

namespace {

void CollectClips(const Clip& clip, std::set<const Clip*>& live) {
  live.insert(&clip);
  for (const auto& [depth, object] : clip.list)
    if (object.clip) CollectClips(*object.clip, live);
}

}  // namespace

void TimelinePlayer::RunPending(Clip& root, ActionRunner* runner) {
  for (int round = 0; round < kMaxActionRounds && !pending_.empty(); ++round) {
    std::vector<Pending> pending;
    pending.swap(pending_);
    if (!runner) return;
    // A sprite's init actions come before any frame's actions, so that the
    // class they register is there when a frame script attaches the sprite.
    std::stable_partition(pending.begin(), pending.end(),
                          [](const Pending& p) { return p.tag->kind == FrameTag::kInitAction; });
    // A clip whose frame queued actions may have been removed later in the
    // same tick, or by a script before them: its actions go with it.
    std::set<const Clip*> live;
    CollectClips(root, live);
    for (const Pending& p : pending) {
      if (!live.count(p.clip)) continue;
      const bool changed = p.tag->kind == FrameTag::kInitAction
                               ? runner->RunInitActions(p.tag->spriteId, p.tag->actions)
                               : runner->RunFrameActions(*p.clip, p.tag->actions);
      if (changed) {
        live.clear();
        CollectClips(root, live);
      }
    }
  }
  pending_.clear();
}

bool TimelinePlayer::Instantiate(DisplayObject& object, int nesting) {
  if (alive_ >= kMaxDisplayObjects) return false;
  ++alive_;
  MakeClip(object, nesting);
  return true;
}

void TimelinePlayer::Start(Clip& root, ActionRunner* runner) {
  alive_ = CountObjects(root.list);
  root.frame = 0;
  ApplyFrame(root, 0, 0);
  RunPending(root, runner);
}

void TimelinePlayer::Advance(Clip& root, ActionRunner* runner) {
  alive_ = CountObjects(root.list);
  Tick(root, 0);
  RunPending(root, runner);
}

}  // namespace player
