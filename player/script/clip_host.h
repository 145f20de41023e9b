// The seam between the ActionScript interpreter and the running movie.
//
// The interpreter never holds a clip: it holds a ClipId and asks the host
// about it each time, so a clip the timeline removed simply stops answering
// (every call on a dead or unknown id is harmless and returns the "none"
// value). The host implements this class; the interpreter only calls it.
//
// Units are the ones scripts see: pixels for positions and sizes, degrees for
// rotation, percent for scales and alpha, frames counted from 1.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace player::script {

// Opaque to the interpreter; 0 is no clip. The host never reuses an id within
// one movie, so a stale id cannot reach a newer clip.
using ClipId = std::uint32_t;
constexpr ClipId kNoClip = 0;

// GetProperty/SetProperty's indices, in the bytecode's order.
enum class ClipProperty : int {
  X = 0, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height,
  Rotation, Target, FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect,
  SoundBufTime, Quality, XMouse, YMouse,
};
constexpr int kClipPropertyCount = 22;

// A property's value: the text ones (_target, _name, _droptarget, _url,
// _quality) use `text`, the others `number` (_visible is 0 or 1).
struct PropertyValue {
  bool is_text = false;
  double number = 0;
  std::string text;
};

struct Rect {  // pixels
  double x_min = 0, y_min = 0, x_max = 0, y_max = 0;
};

// beginGradientFill's matrix: it maps the gradient square, -819.2..819.2 on
// both axes, into the clip's pixels: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
};

struct GradientFill {
  bool radial = false;
  std::vector<std::uint32_t> colors;  // 0xRRGGBB
  std::vector<double> alphas;         // 0..100
  std::vector<int> ratios;            // 0..255
  Matrix matrix;
  std::string spread = "pad";          // pad, reflect, repeat
  std::string interpolation = "RGB";   // RGB, linearRGB
  double focal_point = 0;              // -1..1
};

// Multipliers in percent, offsets in colour units (-255..255), as Color's
// setTransform takes them.
struct ColorTransform {
  double ra = 100, rb = 0, ga = 100, gb = 0, ba = 100, bb = 0, aa = 100, ab = 0;
};

// lineStyle's arguments; thickness < 0 means no line (lineStyle() alone).
struct LineStyle {
  double thickness = -1;               // pixels; 0 is a hairline
  std::uint32_t rgb = 0;
  double alpha = 100;
  bool pixel_hinting = false;
  std::string scale_mode = "normal";   // normal, none, vertical, horizontal
  std::string caps = "round";          // round, none, square
  std::string joints = "round";        // round, bevel, miter
  double miter_limit = 3;
};

// A BitmapData's pixels, shared between the script that draws into them and
// the clips that show them: 0xAARRGGBB, not premultiplied, rows top down.
// `version` goes up with every change, so a host may cache what it made.
struct BitmapPixels {
  int width = 0;
  int height = 0;
  bool transparent = true;
  std::uint32_t version = 0;
  std::vector<std::uint32_t> argb;
};

// Bytes the host owns and keeps alive for the duration of the call that
// returned them.
struct ByteSpan {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

class ClipHost {
 public:
  virtual ~ClipHost() = default;

  // --- The movie ---------------------------------------------------------
  virtual int swf_version() const = 0;          // names are case-insensitive below 7
  virtual ClipId level(int n) = 0;              // _level0 is _root; kNoClip if absent
  virtual ClipId parent(ClipId clip) = 0;       // kNoClip for a level
  // The child whose instance name is `name` (compared without case below
  // version 7), else kNoClip.
  virtual ClipId child(ClipId clip, std::string_view name) = 0;
  // Instance names of the children, deepest first (for..in over a clip).
  virtual std::vector<std::string> child_names(ClipId clip) = 0;
  virtual bool alive(ClipId clip) = 0;

  // --- Properties --------------------------------------------------------
  virtual PropertyValue get_property(ClipId clip, ClipProperty property) = 0;
  virtual void set_property(ClipId clip, ClipProperty property, const PropertyValue& value) = 0;
  // Properties beyond the indexed ones (blendMode, cacheAsBitmap,
  // opaqueBackground, enabled, a text field's text...): a number or text.
  // Both return false when the host keeps no such property, so the script's
  // own variable holds it instead.
  virtual bool get_display_property(ClipId clip, std::string_view name, PropertyValue& value) = 0;
  virtual bool set_display_property(ClipId clip, std::string_view name, const PropertyValue& value) = 0;
  // The export name of the clip's symbol (what Object.registerClass names),
  // empty when it has none; true for text fields, which are clips here too.
  virtual std::string linkage_id(ClipId clip) = 0;
  virtual bool is_text_field(ClipId clip) = 0;

  // --- Timeline ----------------------------------------------------------
  virtual void play(ClipId clip) = 0;
  virtual void stop(ClipId clip) = 0;
  virtual void goto_frame(ClipId clip, int frame, bool and_play) = 0;  // frame from 1, clamped by the host
  virtual int frame_of_label(ClipId clip, std::string_view label) = 0;  // 0 when no such label
  // The action blocks of a frame (Call): empty when there are none.
  virtual std::vector<ByteSpan> frame_actions(ClipId clip, int frame) = 0;

  // --- Clip management ---------------------------------------------------
  virtual ClipId attach_movie(ClipId parent, std::string_view linkage_id, std::string_view name, int depth) = 0;
  virtual ClipId duplicate_movie_clip(ClipId clip, std::string_view name, int depth) = 0;
  virtual ClipId create_empty_movie_clip(ClipId parent, std::string_view name, int depth) = 0;
  virtual void remove_movie_clip(ClipId clip) = 0;   // only clips a script may remove
  virtual void swap_depths(ClipId clip, int depth) = 0;
  virtual int depth(ClipId clip) = 0;
  virtual int next_highest_depth(ClipId clip) = 0;
  virtual ClipId instance_at_depth(ClipId clip, int depth) = 0;
  virtual Rect bounds(ClipId clip, ClipId target_space) = 0;
  virtual bool hit_test_point(ClipId clip, double x, double y, bool shape) = 0;  // stage pixels
  virtual bool hit_test_clip(ClipId clip, ClipId other) = 0;
  virtual void local_to_global(ClipId clip, double& x, double& y) = 0;
  virtual void global_to_local(ClipId clip, double& x, double& y) = 0;
  virtual void set_mask(ClipId clip, ClipId mask) = 0;  // kNoClip removes it
  // attachBitmap: the pixels shown as a child of `clip` at `depth`. Not every
  // host shows bitmaps yet, hence the default.
  virtual void attach_bitmap(ClipId clip, std::shared_ptr<const BitmapPixels> pixels, int depth, bool smoothing) {
    (void)clip, (void)pixels, (void)depth, (void)smoothing;
  }

  // --- Drawing API (the clip's own drawing, under its children) ----------
  virtual void begin_fill(ClipId clip, std::uint32_t rgb, double alpha) = 0;
  virtual void begin_gradient_fill(ClipId clip, const GradientFill& fill) = 0;
  virtual void line_style(ClipId clip, const LineStyle& style) = 0;
  virtual void move_to(ClipId clip, double x, double y) = 0;
  virtual void line_to(ClipId clip, double x, double y) = 0;
  virtual void curve_to(ClipId clip, double cx, double cy, double x, double y) = 0;
  virtual void end_fill(ClipId clip) = 0;
  virtual void clear(ClipId clip) = 0;

  // --- Colour ------------------------------------------------------------
  virtual ColorTransform color_transform(ClipId clip) = 0;
  virtual void set_color_transform(ClipId clip, const ColorTransform& transform) = 0;

  // --- The world outside -------------------------------------------------
  // Forwarded as data, never run. fscommand arrives here too, with the url
  // "FSCommand:<command>" and the target holding its arguments.
  virtual void get_url(std::string_view url, std::string_view target, int method) = 0;
  virtual void trace(std::string_view text) = 0;
  // Milliseconds since 1970-01-01 UTC; the host's clock, fixed in tests.
  virtual double now_ms() = 0;
  // Local time minus UTC, in minutes (+60 for Paris in winter).
  virtual int utc_offset_minutes(double utc_ms) = 0;
  virtual bool key_down(int key_code) = 0;
  virtual double stage_width() = 0;   // pixels
  virtual double stage_height() = 0;
};

}  // namespace player::script
