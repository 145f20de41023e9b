#pragma once
// The running movie as the ActionScript interpreter sees it: frame actions,
// clip events and timers run on the real display lists, and every clip
// method a script calls acts on them.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "dictionary.h"
#include "display_list.h"
#include "script/interpreter.h"
#include "timeline.h"

namespace player {

constexpr int kScriptDepthBase = 16384;  // a script's depth 0 in the display list's depths
// Scripts run in one frame (frame actions, handlers, timers), each within the
// interpreter's own budget of actions: together they bound a frame's work.
constexpr int kMaxScriptRunsPerFrame = 4096;
constexpr size_t kMaxDrawnEdges = 1u << 20;  // edges drawn by scripts into all clips at once

// Milliseconds since 1970 UTC; the movie's clock.
using Clock = std::function<double()>;

class ScriptHost final : public ActionRunner, public script::ClipHost {
 public:
  ScriptHost(const MovieData& data, const Dictionary& dictionary, TimelinePlayer& timeline, Clip& root,
             Clock clock, bool fixedClock);
  ~ScriptHost() override;

  // The tick's phases around the timeline's advance.
  void BeforeAdvance();  // enterFrame handlers
  void AfterAdvance();   // new clips' load events, timers, actions those queued
  // getURL and fscommand calls, recorded as "url target", never followed.
  const std::vector<std::string>& urlRequests() const { return urls_; }
  const std::vector<std::string>& scriptErrors() const { return errors_; }

  // ActionRunner
  bool RunInitActions(uint16_t spriteId, const std::vector<uint8_t>& actions) override;
  bool RunFrameActions(Clip& clip, const std::vector<uint8_t>& actions) override;

  // ClipHost
  int swf_version() const override { return data_.version; }
  script::ClipId level(int n) override;
  script::ClipId parent(script::ClipId clip) override;
  script::ClipId child(script::ClipId clip, std::string_view name) override;
  std::vector<std::string> child_names(script::ClipId clip) override;
  bool alive(script::ClipId clip) override;
  script::PropertyValue get_property(script::ClipId clip, script::ClipProperty property) override;
  void set_property(script::ClipId clip, script::ClipProperty property, const script::PropertyValue& value) override;
  bool get_display_property(script::ClipId clip, std::string_view name, script::PropertyValue& value) override;
  bool set_display_property(script::ClipId clip, std::string_view name, const script::PropertyValue& value) override;
  std::string linkage_id(script::ClipId clip) override;
  bool is_text_field(script::ClipId clip) override;
  void play(script::ClipId clip) override;
  void stop(script::ClipId clip) override;
  void goto_frame(script::ClipId clip, int frame, bool and_play) override;
  int frame_of_label(script::ClipId clip, std::string_view label) override;
  std::vector<script::ByteSpan> frame_actions(script::ClipId clip, int frame) override;
  script::ClipId attach_movie(script::ClipId parent, std::string_view linkage_id, std::string_view name,
                              int depth) override;
  script::ClipId duplicate_movie_clip(script::ClipId clip, std::string_view name, int depth) override;
  script::ClipId create_empty_movie_clip(script::ClipId parent, std::string_view name, int depth) override;
  void remove_movie_clip(script::ClipId clip) override;
  void swap_depths(script::ClipId clip, int depth) override;
  int depth(script::ClipId clip) override;
  int next_highest_depth(script::ClipId clip) override;
  script::ClipId instance_at_depth(script::ClipId clip, int depth) override;
  script::Rect bounds(script::ClipId clip, script::ClipId target_space) override;
  bool hit_test_point(script::ClipId clip, double x, double y, bool shape) override;
  bool hit_test_clip(script::ClipId clip, script::ClipId other) override;
  void local_to_global(script::ClipId clip, double& x, double& y) override;
  void global_to_local(script::ClipId clip, double& x, double& y) override;
  void set_mask(script::ClipId clip, script::ClipId mask) override;
  void attach_bitmap(script::ClipId clip, std::shared_ptr<const script::BitmapPixels> pixels, int depth,
                     bool smoothing) override;
  void begin_fill(script::ClipId clip, std::uint32_t rgb, double alpha) override;
  void begin_gradient_fill(script::ClipId clip, const script::GradientFill& fill) override;
  void line_style(script::ClipId clip, const script::LineStyle& style) override;
  void move_to(script::ClipId clip, double x, double y) override;
  void line_to(script::ClipId clip, double x, double y) override;
  void curve_to(script::ClipId clip, double cx, double cy, double x, double y) override;
  void end_fill(script::ClipId clip) override;
  void clear(script::ClipId clip) override;
  script::ColorTransform color_transform(script::ClipId clip) override;
  void set_color_transform(script::ClipId clip, const script::ColorTransform& transform) override;
  void get_url(std::string_view url, std::string_view target, int method) override;
  void trace(std::string_view) override {}
  double now_ms() override { return clock_(); }
  int utc_offset_minutes(double utc_ms) override;
  bool key_down(int) override { return false; }
  double stage_width() override;
  double stage_height() override;

 private:
  // Where a clip stands now; found by walking the lists from the root.
  struct Where {
    Clip* clip = nullptr;
    DisplayObject* object = nullptr;  // null for the root
    Clip* parent = nullptr;
    int depth = 0;
    int nesting = 0;
    script::ClipId parentId = script::kNoClip;
  };
  // The pen of a clip's drawing in progress, in twips.
  struct Pen {
    Point at, start;
    int group = -1;  // the group a fill in progress adds to
    int lineGroup = -1, lineIndex = -1;  // where the line in progress goes
    bool filling = false, lining = false, newRun = true;
    bool closing = false, closingLine = false;
    size_t edges = 0;  // counted against kMaxDrawnEdges  // the last edges close an open fill for now
    LineStyle line;
  };

  const Where* Find(script::ClipId id);
  void Reindex();
  void Index(Clip& clip, DisplayObject* object, Clip* parent, int depth, int nesting, script::ClipId parentId);
  void Changed() { dirty_ = changed_ = true; }
  Matrix GlobalMatrix(script::ClipId id);
  ShapeGeometry& Drawing(Clip& clip);
  void AddEdge(script::ClipId id, const Edge& edge);
  void CloseFill(script::ClipId id);
  void Append(ShapeGeometry& g, Pen& pen, const Edge& edge, bool line);
  void DropClosing(ShapeGeometry& g, Pen& pen);
  DisplayObject* Place(script::ClipId parent, int depth, DisplayObject object);
  // Runs `event`'s onClipEvent actions (a flag of the clip actions record)
  // and then the handler `handler` when non-empty.
  void ClipEvent(script::ClipId id, uint32_t event, const char* handler);
  void Note(const script::RunResult& result);
  void Flush();
  bool Spend();  // one more script run this frame, unless the cap is met
  void Forget(script::ClipId id);  // its pen, and its edges from the count

  // Bitmaps scripts attached, turned into images again when their pixels change.
  struct Shown {
    std::weak_ptr<Clip> clip;
    std::shared_ptr<const script::BitmapPixels> pixels;
    std::uint32_t version = 0;
  };
  void RefreshBitmaps();

  std::vector<Shown> bitmaps_;
  const MovieData& data_;
  const Dictionary& dictionary_;
  TimelinePlayer& timeline_;
  Clip& root_;
  Clock clock_;
  bool fixedClock_;
  std::unique_ptr<script::Interpreter> interpreter_;
  std::unordered_map<script::ClipId, Where> where_;
  std::vector<script::ClipId> order_;  // the clips, parents before children
  std::vector<script::ClipId> fresh_;  // clips seen for the first time, awaiting their load event
  std::vector<script::ClipId> gone_;   // clips that left, for the interpreter to forget between entries
  std::set<uint16_t> initDone_;
  std::set<script::ClipId> constructed_;  // attached clips whose class ran at once
  std::map<script::ClipId, Pen> pens_;
  std::vector<std::string> urls_, errors_;
  script::ClipId nextId_ = 1;
  size_t drawnEdges_ = 0;
  bool drawCapNoted_ = false;
  int runs_ = 0;  // scripts run this frame
  bool runCapNoted_ = false;
  bool dirty_ = true;
  bool changed_ = false;
};

}  // namespace player
