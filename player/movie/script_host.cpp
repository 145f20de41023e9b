#include "script_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "render.h"

namespace player {
namespace {

using script::ClipId;
using script::ClipProperty;
using script::kNoClip;

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxFreshRounds = 16;  // load events whose handlers make more clips, within one phase

// Clip event flags as a 32-bit little-endian field holds them.
constexpr uint32_t kEventLoad = 0x01, kEventEnterFrame = 0x02, kEventInitialize = 0x200,
                   kEventKeyPress = 0x20000, kEventConstruct = 0x40000;

bool SameName(std::string_view a, std::string_view b, bool exact) {
  if (a.size() != b.size()) return false;
  if (exact) return a == b;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

uint32_t ReadLe(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(b[at + static_cast<size_t>(i)]) << (8 * i);
  return v;
}

// The action blocks of the CLIPACTIONS records that answer `event`.
std::vector<std::vector<uint8_t>> EventActions(const std::vector<uint8_t>& bytes, int version, uint32_t event) {
  std::vector<std::vector<uint8_t>> found;
  const int flagBytes = version >= 6 ? 4 : 2;
  size_t at = 2 + static_cast<size_t>(flagBytes);  // reserved, all events
  while (at + static_cast<size_t>(flagBytes) <= bytes.size()) {
    const uint32_t flags = ReadLe(bytes, at, flagBytes);
    at += static_cast<size_t>(flagBytes);
    if (flags == 0 || at + 4 > bytes.size()) break;
    size_t size = ReadLe(bytes, at, 4);
    at += 4;
    if (size > bytes.size() - at) break;
    size_t start = at;
    if ((flags & kEventKeyPress) && size > 0) ++start;
    if (flags & event) found.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  return found;
}

Matrix Inverse(const Matrix& m) {
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0) return {1, 0, 0, 1, -m.tx, -m.ty};
  Matrix r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
  r.tx = -(r.a * m.tx + r.c * m.ty);
  r.ty = -(r.b * m.tx + r.d * m.ty);
  return r;
}

Color ToColor(uint32_t rgb, double alpha) {
  return {static_cast<uint8_t>(rgb >> 16 & 255), static_cast<uint8_t>(rgb >> 8 & 255),
          static_cast<uint8_t>(rgb & 255), static_cast<uint8_t>(std::clamp(alpha, 0.0, 100.0) * 2.55 + 0.5)};
}

double Finite(double v) { return std::isfinite(v) ? v : 0; }

}  // namespace

ScriptHost::ScriptHost(const MovieData& data, const Dictionary& dictionary, TimelinePlayer& timeline, Clip& root,
                       Clock clock, bool fixedClock)
    : data_(data), dictionary_(dictionary), timeline_(timeline), root_(root), clock_(std::move(clock)),
      fixedClock_(fixedClock) {
  root_.id = nextId_++;
  interpreter_ = std::make_unique<script::Interpreter>(*this);
}

ScriptHost::~ScriptHost() = default;

void ScriptHost::Index(Clip& clip, DisplayObject* object, Clip* parent, int depth, int nesting, ClipId parentId) {
  if (clip.id == 0) {
    clip.id = nextId_++;
    fresh_.push_back(clip.id);
  }
  where_[clip.id] = {&clip, object, parent, depth, nesting, parentId};
  order_.push_back(clip.id);
  for (auto& [d, child] : clip.list)
    if (child.clip) Index(*child.clip, &child, &clip, d, nesting + 1, clip.id);
}

void ScriptHost::Reindex() {
  if (!dirty_) return;
  auto old = std::move(where_);
  where_.clear();
  order_.clear();
  Index(root_, nullptr, nullptr, 0, 0, kNoClip);
  for (const auto& [id, w] : old)
    if (!where_.count(id)) gone_.push_back(id);
  dirty_ = false;
}

const ScriptHost::Where* ScriptHost::Find(ClipId id) {
  Reindex();
  auto it = where_.find(id);
  return it == where_.end() ? nullptr : &it->second;
}

void ScriptHost::Note(const script::RunResult& result) {
  if (!result.ok && errors_.size() < 100) errors_.push_back(result.error);
}

void ScriptHost::ClipEvent(ClipId id, uint32_t event, const char* handler) {
  const Where* w = Find(id);
  if (!w) return;
  if (w->object && !w->object->clipActions.empty()) {
    // Copied: a handler may remove its own clip and the bytes with it.
    for (const auto& actions : EventActions(w->object->clipActions, data_.version, event)) {
      if (Spend()) Note(interpreter_->run_actions(id, {actions.data(), actions.size()}));
      dirty_ = true;
    }
  }
  if (handler && alive(id) && interpreter_->has_clip_handler(id, handler) && Spend()) {
    Note(interpreter_->call_clip_handler(id, handler));
    dirty_ = true;
  }
}

void ScriptHost::Forget(ClipId id) {
  auto it = pens_.find(id);
  if (it == pens_.end()) return;
  drawnEdges_ -= std::min(drawnEdges_, it->second.edges);
  pens_.erase(it);
}

void ScriptHost::Flush() {
  for (int round = 0; round < kMaxFreshRounds; ++round) {
    timeline_.RunQueued(root_, this);
    dirty_ = true;
    Reindex();
    if (fresh_.empty()) break;
    std::vector<ClipId> fresh;
    fresh.swap(fresh_);
    for (ClipId id : fresh) {
      if (!alive(id)) continue;
      if (!constructed_.erase(id) && Spend()) Note(interpreter_->clip_constructed(id));
      ClipEvent(id, kEventInitialize | kEventConstruct, nullptr);
      ClipEvent(id, kEventLoad, "onLoad");
    }
  }
  for (ClipId id : gone_) {
    interpreter_->clip_removed(id);
    Forget(id);
  }
  gone_.clear();
}

bool ScriptHost::Spend() {
  if (runs_ < kMaxScriptRunsPerFrame) {
    ++runs_;
    return true;
  }
  if (!runCapNoted_)
    errors_.push_back("scripts stopped for the frame at the cap of " + std::to_string(kMaxScriptRunsPerFrame) +
                      " runs a frame");
  runCapNoted_ = true;
  return false;
}

void ScriptHost::BeforeAdvance() {
  runs_ = 0;
  dirty_ = true;
  Reindex();
  const std::vector<ClipId> order = order_;
  for (ClipId id : order) ClipEvent(id, kEventEnterFrame, "onEnterFrame");
  Flush();
  dirty_ = true;
}

void ScriptHost::AfterAdvance() {
  dirty_ = true;
  Flush();
  if (Spend()) Note(interpreter_->tick_intervals());
  Flush();
  RefreshBitmaps();
}

namespace {

std::shared_ptr<const Image> ToImage(const script::BitmapPixels& pixels) {
  auto image = std::make_shared<Image>();
  const size_t n = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
  if (pixels.width <= 0 || pixels.height <= 0 || pixels.argb.size() < n) return image;
  image->width = pixels.width;
  image->height = pixels.height;
  image->rgba.resize(n * 4);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t p = pixels.argb[i];
    const uint32_t a = pixels.transparent ? p >> 24 : 255;
    uint8_t* to = &image->rgba[i * 4];
    for (int k = 0; k < 3; ++k) to[k] = static_cast<uint8_t>(((p >> (16 - 8 * k)) & 255) * a / 255);
    to[3] = static_cast<uint8_t>(a);
  }
  return image;
}

}  // namespace

void ScriptHost::RefreshBitmaps() {
  // One image per bitmap however many clips show it.
  std::map<const script::BitmapPixels*, std::shared_ptr<const Image>> made;
  std::vector<Shown> kept;
  for (Shown& s : bitmaps_) {
    auto clip = s.clip.lock();
    if (!clip) continue;
    if (!clip->bitmap || s.version != s.pixels->version) {
      auto& image = made[s.pixels.get()];
      if (!image) image = ToImage(*s.pixels);
      clip->bitmap = image;
      s.version = s.pixels->version;
    }
    kept.push_back(std::move(s));
  }
  bitmaps_ = std::move(kept);
}

void ScriptHost::attach_bitmap(ClipId clip, std::shared_ptr<const script::BitmapPixels> pixels, int depth,
                               bool smoothing) {
  if (!pixels) return;
  DisplayObject o;
  o.clip = std::make_shared<Clip>();
  o.clip->frame = 0;
  o.clip->smoothBitmap = smoothing;
  DisplayObject* placed = Place(clip, depth + kScriptDepthBase, std::move(o));
  if (!placed) return;
  if (!bitmaps_.empty()) {  // the same bitmap attached again and again shares one image
    const Shown& last = bitmaps_.back();
    auto other = last.clip.lock();
    if (other && last.pixels == pixels && last.version == pixels->version) placed->clip->bitmap = other->bitmap;
  }
  if (!placed->clip->bitmap) placed->clip->bitmap = ToImage(*pixels);
  bitmaps_.push_back({placed->clip, pixels, pixels->version});
}

bool ScriptHost::RunInitActions(uint16_t spriteId, const std::vector<uint8_t>& actions) {
  if (!initDone_.insert(spriteId).second) return false;
  changed_ = false;
  if (Spend()) Note(interpreter_->run_actions(root_.id, {actions.data(), actions.size()}));
  dirty_ = true;
  return true;
}

bool ScriptHost::RunFrameActions(Clip& clip, const std::vector<uint8_t>& actions) {
  dirty_ = true;
  Reindex();
  if (clip.id == 0) return false;
  changed_ = false;
  if (Spend()) Note(interpreter_->run_actions(clip.id, {actions.data(), actions.size()}));
  dirty_ = true;
  return changed_;
}

// --- The movie ---------------------------------------------------------------

ClipId ScriptHost::level(int n) { return n == 0 ? root_.id : kNoClip; }

ClipId ScriptHost::parent(ClipId clip) {
  const Where* w = Find(clip);
  return w ? w->parentId : kNoClip;
}

ClipId ScriptHost::child(ClipId clip, std::string_view name) {
  const Where* w = Find(clip);
  if (!w) return kNoClip;
  for (const auto& [d, o] : w->clip->list)
    if (o.clip && SameName(o.name, name, data_.version >= 7)) return Find(o.clip->id) ? o.clip->id : kNoClip;
  return kNoClip;
}

std::vector<std::string> ScriptHost::child_names(ClipId clip) {
  std::vector<std::string> names;
  if (const Where* w = Find(clip))
    for (auto it = w->clip->list.rbegin(); it != w->clip->list.rend(); ++it)
      if (it->second.clip && !it->second.name.empty()) names.push_back(it->second.name);
  return names;
}

bool ScriptHost::alive(ClipId clip) { return Find(clip) != nullptr; }

// --- Properties ----------------------------------------------------------------

script::PropertyValue ScriptHost::get_property(ClipId clip, ClipProperty property) {
  script::PropertyValue v;
  const Where* w = Find(clip);
  if (!w) return v;
  const DisplayObject* o = w->object;
  const Matrix m = o ? o->matrix : Matrix{};
  const int total = w->clip->timeline ? static_cast<int>(w->clip->timeline->frames.size()) : 1;
  switch (property) {
    case ClipProperty::X: v.number = m.tx / 20; break;
    case ClipProperty::Y: v.number = m.ty / 20; break;
    case ClipProperty::XScale: v.number = std::hypot(m.a, m.b) * 100; break;
    case ClipProperty::YScale: v.number = std::hypot(m.c, m.d) * 100; break;
    case ClipProperty::Rotation: v.number = std::atan2(m.b, m.a) * 180 / kPi; break;
    case ClipProperty::CurrentFrame: v.number = std::max(1, w->clip->frame + 1); break;
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded: v.number = total; break;
    case ClipProperty::Alpha: v.number = o ? static_cast<double>(o->cxform.mul[3]) * 100 : 100; break;
    case ClipProperty::Visible: v.number = !o || o->visible ? 1 : 0; break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
      double box[4];
      if (o && ObjectBounds(*o, dictionary_, o->matrix, box))
        v.number = property == ClipProperty::Width ? (box[2] - box[0]) / 20 : (box[3] - box[1]) / 20;
      break;
    }
    case ClipProperty::Name:
      v.is_text = true;
      v.text = o ? o->name : "";
      break;
    case ClipProperty::Target:
      v.is_text = true;
      for (const Where* at = w; at && at->object; at = Find(at->parentId)) v.text = "/" + at->object->name + v.text;
      if (v.text.empty()) v.text = "/";
      break;
    case ClipProperty::Quality:
      v.is_text = true;
      v.text = "HIGH";
      break;
    case ClipProperty::HighQuality: v.number = 1; break;
    case ClipProperty::DropTarget:
    case ClipProperty::Url: v.is_text = true; break;
    default: break;
  }
  return v;
}

void ScriptHost::set_property(ClipId clip, ClipProperty property, const script::PropertyValue& value) {
  const Where* w = Find(clip);
  if (!w || !w->object || value.is_text) return;
  DisplayObject& o = *w->object;
  Matrix& m = o.matrix;
  const double v = Finite(value.number);
  double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d), r = std::atan2(m.b, m.a);
  bool compose = false;
  switch (property) {
    case ClipProperty::X: m.tx = v * 20; break;
    case ClipProperty::Y: m.ty = v * 20; break;
    case ClipProperty::XScale: sx = v / 100, compose = true; break;
    case ClipProperty::YScale: sy = v / 100, compose = true; break;
    case ClipProperty::Rotation: r = v * kPi / 180, compose = true; break;
    case ClipProperty::Alpha: o.cxform.mul[3] = static_cast<float>(v / 100); break;
    case ClipProperty::Visible: o.visible = v != 0; break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
      double box[4];
      if (!ObjectBounds(o, dictionary_, o.matrix, box)) break;
      const double now = property == ClipProperty::Width ? box[2] - box[0] : box[3] - box[1];
      if (now <= 0) break;
      const double k = v * 20 / now;
      if (property == ClipProperty::Width) m.a *= k, m.b *= k;
      else m.c *= k, m.d *= k;
      break;
    }
    default: break;
  }
  if (compose) {
    // Keeps the sign of a flipped y axis: a mirrored clip stays mirrored.
    const double flip = m.a * m.d - m.b * m.c < 0 ? -1 : 1;
    m.a = sx * std::cos(r), m.b = sx * std::sin(r);
    m.c = -sy * flip * std::sin(r), m.d = sy * flip * std::cos(r);
  }
}

bool ScriptHost::get_display_property(ClipId clip, std::string_view name, script::PropertyValue& value) {
  const Where* w = Find(clip);
  if (!w || !w->object) return false;
  if (name == "text" && is_text_field(clip)) {
    const CharacterEntry* e = dictionary_.Find(w->object->characterId);
    value.is_text = true;
    value.text = w->object->hasText ? w->object->text : std::get<EditTextDef>(*e->def).text;
  } else if (name == "cacheAsBitmap") value.number = w->object->cacheAsBitmap;
  else if (name == "opaqueBackground" && w->object->opaqueBackground) {
    const Color& c = w->object->background;
    value.number = (c.r << 16) | (c.g << 8) | c.b;
  } else return false;
  return true;
}

bool ScriptHost::set_display_property(ClipId clip, std::string_view name, const script::PropertyValue& value) {
  const Where* w = Find(clip);
  if (!w || !w->object) return false;
  if (name == "text" && is_text_field(clip)) {
    w->object->hasText = true;
    char number[32];
    std::snprintf(number, sizeof number, "%.15g", value.number);
    w->object->text = value.is_text ? value.text : number;
  } else if (name == "cacheAsBitmap") {
    w->object->cacheAsBitmap = value.number != 0;
  } else if (name == "opaqueBackground") {
    w->object->opaqueBackground = !value.is_text && std::isfinite(value.number);
    const uint32_t rgb = static_cast<uint32_t>(static_cast<int64_t>(Finite(value.number)));
    w->object->background = ToColor(rgb, 100);
  } else {
    return false;
  }
  return true;
}

bool ScriptHost::is_text_field(ClipId clip) {
  const Where* w = Find(clip);
  if (!w || !w->object) return false;
  const CharacterEntry* e = dictionary_.Find(w->object->characterId);
  return e && std::holds_alternative<EditTextDef>(*e->def);
}

std::string ScriptHost::linkage_id(ClipId clip) {
  const Where* w = Find(clip);
  if (!w || !w->object) return "";
  for (const auto& [name, id] : data_.exports)
    if (id == w->object->characterId) return name;
  return "";
}

// --- Timeline --------------------------------------------------------------------

void ScriptHost::play(ClipId clip) {
  if (const Where* w = Find(clip)) w->clip->playing = true;
}

void ScriptHost::stop(ClipId clip) {
  if (const Where* w = Find(clip)) w->clip->playing = false;
}

void ScriptHost::goto_frame(ClipId clip, int frame, bool and_play) {
  const Where* w = Find(clip);
  if (!w) return;
  Clip& c = *w->clip;
  c.playing = and_play;
  timeline_.GotoFrame(c, frame - 1, w->nesting);
  Changed();
}

int ScriptHost::frame_of_label(ClipId clip, std::string_view label) {
  const Where* w = Find(clip);
  if (!w || !w->clip->timeline) return 0;
  const auto& frames = w->clip->timeline->frames;
  for (size_t f = 0; f < frames.size(); ++f)
    for (const FrameTag& tag : frames[f])
      if (tag.kind == FrameTag::kLabel && SameName(tag.label, label, false)) return static_cast<int>(f) + 1;
  return 0;
}

std::vector<script::ByteSpan> ScriptHost::frame_actions(ClipId clip, int frame) {
  std::vector<script::ByteSpan> spans;
  const Where* w = Find(clip);
  if (!w || !w->clip->timeline || frame < 1 || frame > static_cast<int>(w->clip->timeline->frames.size()))
    return spans;
  for (const FrameTag& tag : w->clip->timeline->frames[static_cast<size_t>(frame - 1)])
    if (tag.kind == FrameTag::kAction) spans.push_back({tag.actions.data(), tag.actions.size()});
  return spans;
}

// --- Clip management ---------------------------------------------------------------

DisplayObject* ScriptHost::Place(ClipId parentId, int depth, DisplayObject object) {
  const Where* p = Find(parentId);
  if (!p) return nullptr;
  const int nesting = p->nesting + 1;
  DisplayList& list = p->clip->list;
  list.erase(depth);
  object.scripted = true;
  DisplayObject& placed = list[depth] = std::move(object);
  Changed();
  if (!placed.clip && !timeline_.Instantiate(placed, nesting)) {
    list.erase(depth);
    return nullptr;
  }
  if (!placed.clip) {  // not a sprite: held in a clip of its own so scripts can reach it
    list.erase(depth);
    return nullptr;
  }
  return &placed;
}

ClipId ScriptHost::attach_movie(ClipId parent, std::string_view linkage_id, std::string_view name, int depth) {
  uint16_t id = 0;
  for (const auto& [export_name, character] : data_.exports)
    if (SameName(export_name, linkage_id, false)) id = character;
  if (id == 0 || !dictionary_.Find(id)) return kNoClip;
  DisplayObject o;
  o.characterId = id;
  o.name = std::string(name);
  DisplayObject* placed = Place(parent, depth + kScriptDepthBase, std::move(o));
  if (!placed) return kNoClip;
  dirty_ = true;
  Reindex();
  // Its class is there for the very next action of the script that attached it.
  const ClipId made = placed->clip->id;
  constructed_.insert(made);
  Note(interpreter_->clip_constructed(made));
  return made;
}

ClipId ScriptHost::duplicate_movie_clip(ClipId clip, std::string_view name, int depth) {
  const Where* w = Find(clip);
  if (!w || !w->object) return kNoClip;
  const DisplayObject& from = *w->object;
  DisplayObject o;
  o.characterId = from.characterId;
  o.matrix = from.matrix;
  o.cxform = from.cxform;
  o.ratio = from.ratio;
  o.blend = from.blend;
  o.filters = from.filters;
  o.visible = from.visible;
  o.clipActions = from.clipActions;
  o.name = std::string(name);
  std::shared_ptr<ShapeGeometry> drawing = w->clip->drawing;
  if (!dictionary_.Find(o.characterId)) {
    o.clip = std::make_shared<Clip>();
    o.clip->frame = 0;
  }
  DisplayObject* placed = Place(w->parentId, depth + kScriptDepthBase, std::move(o));
  if (!placed) return kNoClip;
  dirty_ = true;
  Reindex();
  if (drawing) {
    size_t edges = 0;
    for (const StyleGroup& g : drawing->groups) {
      for (const FillSet& f : g.fills) edges += f.edges.size();
      for (const LineRuns& l : g.lines)
        for (const auto& run : l.runs) edges += run.size();
    }
    if (drawnEdges_ + edges <= kMaxDrawnEdges) {
      drawnEdges_ += edges;
      pens_[placed->clip->id].edges = edges;
      placed->clip->drawing = std::make_shared<ShapeGeometry>(*drawing);
    }
  }
  return placed->clip->id;
}

ClipId ScriptHost::create_empty_movie_clip(ClipId parent, std::string_view name, int depth) {
  DisplayObject o;
  o.name = std::string(name);
  o.clip = std::make_shared<Clip>();
  o.clip->frame = 0;
  DisplayObject* placed = Place(parent, depth + kScriptDepthBase, std::move(o));
  if (!placed) return kNoClip;
  dirty_ = true;
  Reindex();
  return placed->clip->id;
}

void ScriptHost::remove_movie_clip(ClipId clip) {
  const Where* w = Find(clip);
  if (!w || !w->object || !w->parent) return;
  if (!w->object->scripted && w->depth < kScriptDepthBase) return;
  w->parent->list.erase(w->depth);
  Changed();
}

void ScriptHost::swap_depths(ClipId clip, int depth) {
  const Where* w = Find(clip);
  if (!w || !w->object || !w->parent) return;
  const int to = depth + kScriptDepthBase;
  if (to == w->depth) return;
  DisplayList& list = w->parent->list;
  DisplayObject moved = std::move(list[w->depth]);
  moved.scripted = true;
  auto other = list.find(to);
  if (other != list.end()) {
    other->second.scripted = true;
    list[w->depth] = std::move(other->second);
  } else {
    list.erase(w->depth);
  }
  list[to] = std::move(moved);
  Changed();
}

int ScriptHost::depth(ClipId clip) {
  const Where* w = Find(clip);
  return w && w->object ? w->depth - kScriptDepthBase : 0;
}

int ScriptHost::next_highest_depth(ClipId clip) {
  const Where* w = Find(clip);
  if (!w || w->clip->list.empty()) return 0;
  return std::max(0, w->clip->list.rbegin()->first - kScriptDepthBase + 1);
}

ClipId ScriptHost::instance_at_depth(ClipId clip, int depth) {
  const Where* w = Find(clip);
  if (!w) return kNoClip;
  auto it = w->clip->list.find(depth + kScriptDepthBase);
  if (it == w->clip->list.end() || !it->second.clip) return kNoClip;
  return Find(it->second.clip->id) ? it->second.clip->id : kNoClip;
}

Matrix ScriptHost::GlobalMatrix(ClipId id) {
  Matrix m;
  for (const Where* w = Find(id); w && w->object; w = Find(w->parentId)) m = w->object->matrix * m;
  return m;
}

script::Rect ScriptHost::bounds(ClipId clip, ClipId target_space) {
  script::Rect r;
  const Where* w = Find(clip);
  if (!w) return r;
  DisplayObject own;
  own.clip = std::shared_ptr<Clip>(std::shared_ptr<Clip>(), w->clip);  // borrowed, not owned
  if (w->object) own.characterId = w->object->characterId;
  const Matrix m = Inverse(GlobalMatrix(target_space ? target_space : clip)) * GlobalMatrix(clip);
  double box[4];
  if (!ObjectBounds(own, dictionary_, m, box)) return r;
  return {box[0] / 20, box[1] / 20, box[2] / 20, box[3] / 20};
}

bool ScriptHost::hit_test_point(ClipId clip, double x, double y, bool) {
  const script::Rect r = bounds(clip, root_.id);
  return x >= r.x_min && x <= r.x_max && y >= r.y_min && y <= r.y_max && r.x_max > r.x_min;
}

bool ScriptHost::hit_test_clip(ClipId clip, ClipId other) {
  const script::Rect a = bounds(clip, root_.id), b = bounds(other, root_.id);
  return a.x_min <= b.x_max && b.x_min <= a.x_max && a.y_min <= b.y_max && b.y_min <= a.y_max;
}

void ScriptHost::local_to_global(ClipId clip, double& x, double& y) {
  const Point p = Apply(GlobalMatrix(clip), {x * 20, y * 20});
  x = p.x / 20, y = p.y / 20;
}

void ScriptHost::global_to_local(ClipId clip, double& x, double& y) {
  const Point p = Apply(Inverse(GlobalMatrix(clip)), {x * 20, y * 20});
  x = p.x / 20, y = p.y / 20;
}

void ScriptHost::set_mask(ClipId clip, ClipId mask) {
  const Where* w = Find(clip);
  if (!w) return;
  if (auto old = w->clip->mask.lock()) old->isMask = false;
  w->clip->mask.reset();
  const Where* m = Find(mask);
  if (!m || !m->object || m->clip == w->clip) return;
  w->clip->mask = m->object->clip;
  m->clip->isMask = true;
}

// --- Colour ------------------------------------------------------------------------

script::ColorTransform ScriptHost::color_transform(ClipId clip) {
  script::ColorTransform t;
  const Where* w = Find(clip);
  if (!w || !w->object) return t;
  const auto& c = w->object->cxform;
  t.ra = static_cast<double>(c.mul[0]) * 100, t.ga = static_cast<double>(c.mul[1]) * 100;
  t.ba = static_cast<double>(c.mul[2]) * 100, t.aa = static_cast<double>(c.mul[3]) * 100;
  t.rb = static_cast<double>(c.add[0]), t.gb = static_cast<double>(c.add[1]);
  t.bb = static_cast<double>(c.add[2]), t.ab = static_cast<double>(c.add[3]);
  return t;
}

void ScriptHost::set_color_transform(ClipId clip, const script::ColorTransform& t) {
  const Where* w = Find(clip);
  if (!w || !w->object) return;
  auto& c = w->object->cxform;
  const double mul[4] = {t.ra, t.ga, t.ba, t.aa}, add[4] = {t.rb, t.gb, t.bb, t.ab};
  for (int i = 0; i < 4; ++i) {
    c.mul[i] = static_cast<float>(Finite(mul[i]) / 100);
    c.add[i] = static_cast<float>(std::clamp(Finite(add[i]), -255.0, 255.0));
  }
}

// --- The world outside ---------------------------------------------------------------

void ScriptHost::get_url(std::string_view url, std::string_view target, int) {
  if (urls_.size() < 1000) urls_.push_back(std::string(url) + " " + std::string(target));
}

int ScriptHost::utc_offset_minutes(double utc_ms) {
  if (fixedClock_ || !std::isfinite(utc_ms)) return 0;
  const std::time_t t = static_cast<std::time_t>(utc_ms / 1000);
  const std::tm* l = std::localtime(&t);
  if (!l) return 0;
  std::tm local = *l;
  const std::tm* u = std::gmtime(&t);
  if (!u) return 0;
  std::tm utc = *u;
  local.tm_isdst = utc.tm_isdst = 0;
  return static_cast<int>(std::difftime(std::mktime(&local), std::mktime(&utc)) / 60);
}

double ScriptHost::stage_width() { return (data_.stage.xmax - data_.stage.xmin) / 20.0; }
double ScriptHost::stage_height() { return (data_.stage.ymax - data_.stage.ymin) / 20.0; }

}  // namespace player
