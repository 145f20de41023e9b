// A movie made of plain records for the interpreter's tests and fuzzer: a
// tree of clips by name and depth, properties kept as set, and every call
// that would change the movie written to a log.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "clip_host.h"

namespace script_test {

using namespace player::script;

class FakeHost : public ClipHost {
 public:
  struct Clip {
    ClipId parent = kNoClip;
    std::string name;
    int depth = 0;
    int frame = 1;
    int total = 10;
    bool alive = true;
    std::map<int, double> numbers;
    std::map<std::string, PropertyValue> display;
    ColorTransform color;
    std::map<std::string, int> labels;
    std::string linkage;
  };

  int version = 8;
  double clock_ms = 1234567890123.0;  // 2009-02-13 23:31:30.123 UTC
  int utc_offset = 60;
  std::vector<std::string> log;
  std::vector<std::string> traces;
  std::map<ClipId, Clip> clips;
  std::map<int, std::vector<std::vector<std::uint8_t>>> frame_scripts;  // of the root
  std::size_t max_clips = 10000;
  std::vector<std::shared_ptr<const BitmapPixels>> bitmaps;

  FakeHost() {
    clips[1].name = "";
    clips[1].labels["intro"] = 3;
    add(1, "a", 1);
    add(2, "b", 1);
  }

  ClipId add(ClipId parent, const std::string& name, int depth) {
    const ClipId id = next_++;
    Clip& c = clips[id];
    c.parent = parent;
    c.name = name;
    c.depth = depth;
    return id;
  }

  std::string joined_traces() const {
    std::string out;
    for (const auto& t : traces) out += (out.empty() ? "" : "|") + t;
    return out;
  }

  Clip* find(ClipId id) {
    auto it = clips.find(id);
    return it != clips.end() && it->second.alive ? &it->second : nullptr;
  }

  int swf_version() const override { return version; }
  ClipId level(int n) override { return n == 0 ? 1 : kNoClip; }
  ClipId parent(ClipId c) override { return find(c) ? clips[c].parent : kNoClip; }
  ClipId child(ClipId c, std::string_view name) override {
    if (!find(c)) return kNoClip;
    for (auto& [id, clip] : clips) {
      if (!clip.alive || clip.parent != c || clip.name.size() != name.size()) continue;
      const bool same = version >= 7 ? clip.name == name
                                     : std::equal(name.begin(), name.end(), clip.name.begin(), [](char a, char b) {
                                         return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b));
                                       });
      if (same) return id;
    }
    return kNoClip;
  }
  std::vector<std::string> child_names(ClipId c) override {
    std::vector<std::string> out;
    for (auto& [id, clip] : clips)
      if (clip.alive && clip.parent == c && c != kNoClip) out.push_back(clip.name);
    return out;
  }
  bool alive(ClipId c) override { return find(c) != nullptr; }

  PropertyValue get_property(ClipId c, ClipProperty p) override {
    PropertyValue v;
    Clip* clip = find(c);
    if (!clip) return v;
    switch (p) {
      case ClipProperty::CurrentFrame: v.number = clip->frame; break;
      case ClipProperty::TotalFrames: case ClipProperty::FramesLoaded: v.number = clip->total; break;
      case ClipProperty::Name: v.is_text = true; v.text = clip->name; break;
      case ClipProperty::Target: v.is_text = true; v.text = "/" + clip->name; break;
      case ClipProperty::Url: case ClipProperty::DropTarget: case ClipProperty::Quality: v.is_text = true; break;
      default: {
        const auto it = clip->numbers.find(static_cast<int>(p));
        const bool scale = p == ClipProperty::XScale || p == ClipProperty::YScale || p == ClipProperty::Alpha;
        v.number = it != clip->numbers.end() ? it->second : scale ? 100 : p == ClipProperty::Visible ? 1 : 0;
      }
    }
    return v;
  }
  void set_property(ClipId c, ClipProperty p, const PropertyValue& v) override {
    Clip* clip = find(c);
    if (!clip) return;
    if (p == ClipProperty::Name) clip->name = v.text;
    else if (!v.is_text) clip->numbers[static_cast<int>(p)] = v.number;
    log.push_back("set " + std::to_string(c) + " " + std::to_string(static_cast<int>(p)) + " " +
                  (v.is_text ? v.text : number_to_string(v.number)));
  }
  bool get_display_property(ClipId c, std::string_view name, PropertyValue& v) override {
    Clip* clip = find(c);
    if (!clip) return false;
    const auto it = clip->display.find(std::string(name));
    if (it == clip->display.end()) return false;
    v = it->second;
    return true;
  }
  bool set_display_property(ClipId c, std::string_view name, const PropertyValue& v) override {
    if (name != "opaqueBackground" && name != "cacheAsBitmap" && name != "text") return false;
    if (Clip* clip = find(c)) clip->display[std::string(name)] = v;
    log.push_back("display " + std::to_string(c) + " " + std::string(name));
    return true;
  }
  std::string linkage_id(ClipId c) override { return find(c) ? clips[c].linkage : std::string(); }
  bool is_text_field(ClipId) override { return false; }

  void play(ClipId c) override { log.push_back("play " + std::to_string(c)); }
  void stop(ClipId c) override { log.push_back("stop " + std::to_string(c)); }
  void goto_frame(ClipId c, int frame, bool and_play) override {
    if (Clip* clip = find(c)) clip->frame = std::clamp(frame, 1, clip->total);
    log.push_back("goto " + std::to_string(c) + " " + std::to_string(frame) + (and_play ? " play" : ""));
  }
  int frame_of_label(ClipId c, std::string_view label) override {
    Clip* clip = find(c);
    if (!clip) return 0;
    const auto it = clip->labels.find(std::string(label));
    return it == clip->labels.end() ? 0 : it->second;
  }
  std::vector<ByteSpan> frame_actions(ClipId c, int frame) override {
    std::vector<ByteSpan> out;
    if (c == 1)
      for (auto& bytes : frame_scripts[frame]) out.push_back({bytes.data(), bytes.size()});
    return out;
  }

  ClipId make(ClipId parent, std::string_view name, int depth, const std::string& what) {
    if (!find(parent) || clips.size() >= max_clips) return kNoClip;
    for (auto& [id, clip] : clips)  // a new clip replaces whatever was at its depth
      if (clip.alive && clip.parent == parent && clip.depth == depth) clip.alive = false;
    const ClipId id = add(parent, std::string(name), depth);
    log.push_back(what + " " + std::to_string(parent) + " " + std::string(name) + " " + std::to_string(depth));
    return id;
  }
  ClipId attach_movie(ClipId p, std::string_view linkage, std::string_view name, int depth) override {
    const ClipId id = make(p, name, depth, "attach " + std::string(linkage));
    if (id) clips[id].linkage = std::string(linkage);
    return id;
  }
  ClipId duplicate_movie_clip(ClipId c, std::string_view name, int depth) override {
    return find(c) ? make(clips[c].parent, name, depth, "duplicate") : kNoClip;
  }
  ClipId create_empty_movie_clip(ClipId p, std::string_view name, int depth) override {
    return make(p, name, depth, "create");
  }
  void remove_movie_clip(ClipId c) override {  // never a level, as in the player
    if (Clip* clip = find(c); clip && clip->parent != kNoClip) clip->alive = false;
    log.push_back("remove " + std::to_string(c));
  }
  void swap_depths(ClipId c, int depth) override {
    if (Clip* clip = find(c)) clip->depth = depth;
    log.push_back("swap " + std::to_string(c) + " " + std::to_string(depth));
  }
  int depth(ClipId c) override { return find(c) ? clips[c].depth : 0; }
  int next_highest_depth(ClipId c) override {
    int d = 0;
    for (auto& [id, clip] : clips)
      if (clip.alive && clip.parent == c) d = std::max(d, clip.depth + 1);
    return d;
  }
  ClipId instance_at_depth(ClipId c, int depth) override {
    for (auto& [id, clip] : clips)
      if (clip.alive && clip.parent == c && clip.depth == depth) return id;
    return kNoClip;
  }
  Rect bounds(ClipId, ClipId) override { return {1, 2, 3, 4}; }
  bool hit_test_point(ClipId, double x, double y, bool) override { return x >= 0 && y >= 0 && x < 10 && y < 10; }
  bool hit_test_clip(ClipId a, ClipId b) override { return a == b; }
  void local_to_global(ClipId, double& x, double& y) override { x += 100, y += 200; }
  void global_to_local(ClipId, double& x, double& y) override { x -= 100, y -= 200; }
  void attach_bitmap(ClipId c, std::shared_ptr<const BitmapPixels> p, int depth, bool) override {
    bitmaps.push_back(p);
    log.push_back("bitmap " + std::to_string(c) + " " + std::to_string(p->width) + "x" + std::to_string(p->height) +
                  " " + std::to_string(depth));
  }
  void set_mask(ClipId c, ClipId m) override { log.push_back("mask " + std::to_string(c) + " " + std::to_string(m)); }

  void begin_fill(ClipId c, std::uint32_t rgb, double a) override {
    log.push_back("fill " + std::to_string(c) + " " + hex(rgb) + " " + number_to_string(a));
  }
  void begin_gradient_fill(ClipId c, const GradientFill& g) override {
    std::string s = "gradient " + std::to_string(c) + (g.radial ? " radial" : " linear");
    for (std::size_t i = 0; i < g.colors.size(); ++i)
      s += " " + hex(g.colors[i]) + "/" + number_to_string(g.alphas[i]) + "/" + std::to_string(g.ratios[i]);
    s += " " + number_to_string(g.matrix.a) + " " + number_to_string(g.matrix.d) + " " +
         number_to_string(g.matrix.tx) + " " + number_to_string(g.matrix.ty) + " " + g.spread;
    log.push_back(s);
  }
  void line_style(ClipId c, const LineStyle& s) override {
    log.push_back("line " + std::to_string(c) + " " + number_to_string(s.thickness) + " " + hex(s.rgb) + " " +
                  number_to_string(s.alpha) + " " + s.caps + " " + s.joints);
  }
  void move_to(ClipId c, double x, double y) override { log.push_back("move " + std::to_string(c) + " " + xy(x, y)); }
  void line_to(ClipId c, double x, double y) override { log.push_back("lineto " + std::to_string(c) + " " + xy(x, y)); }
  void curve_to(ClipId c, double cx, double cy, double x, double y) override {
    log.push_back("curve " + std::to_string(c) + " " + xy(cx, cy) + " " + xy(x, y));
  }
  void end_fill(ClipId c) override { log.push_back("endfill " + std::to_string(c)); }
  void clear(ClipId c) override { log.push_back("clear " + std::to_string(c)); }

  ColorTransform color_transform(ClipId c) override { return find(c) ? clips[c].color : ColorTransform{}; }
  void set_color_transform(ClipId c, const ColorTransform& t) override {
    if (Clip* clip = find(c)) clip->color = t;
    log.push_back("color " + std::to_string(c) + " " + number_to_string(t.ra) + " " + number_to_string(t.rb) + " " +
                  number_to_string(t.gb) + " " + number_to_string(t.bb) + " " + number_to_string(t.aa));
  }

  void get_url(std::string_view url, std::string_view target, int method) override {
    log.push_back("url " + std::string(url) + " " + std::string(target) + " " + std::to_string(method));
  }
  void trace(std::string_view text) override {
    if (traces.size() < 10000) traces.emplace_back(text);
  }
  double now_ms() override { return clock_ms; }
  int utc_offset_minutes(double) override { return utc_offset; }
  bool key_down(int code) override { return code == 37; }
  double stage_width() override { return 550; }
  double stage_height() override { return 400; }

 private:
  static std::string hex(std::uint32_t v) {
    static const char digits[] = "0123456789abcdef";
    std::string s(6, '0');
    for (int i = 5; i >= 0; --i, v >>= 4) s[static_cast<std::size_t>(i)] = digits[v & 15];
    return s;
  }
  static std::string xy(double x, double y) { return number_to_string(x) + "," + number_to_string(y); }
  ClipId next_ = 2;
};

}  // namespace script_test
