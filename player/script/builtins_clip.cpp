// MovieClip, Color, Stage, Key, Mouse, the timers and flash.geom's Matrix
// and Point: the built-ins that act through the host.
#include <cmath>

#include "builtins.h"

namespace player::script {

namespace {

ClipId self_clip(Interpreter& in, const Value& self) { return in.clip_of(self); }

// A clip named by reference or by target path, from the running timeline.
ClipId clip_arg(Interpreter& in, const Value& v) {
  if (const ClipId c = in.clip_of(v)) return c;
  if (v.type != Type::String) return kNoClip;
  return in.resolve_target(v.string, in.current_target());
}

int int_arg(Interpreter& in, const std::vector<Value>& args, std::size_t i) {
  const double n = in.to_number(arg(args, i));
  return std::isnan(n) ? 0 : static_cast<int>(std::clamp(std::trunc(n), -2147483647.0, 2147483647.0));
}

double num_arg(Interpreter& in, const std::vector<Value>& args, std::size_t i) { return in.to_number(arg(args, i)); }

Value clip_value(Interpreter& in, ClipId c) {
  Object* o = in.clip_object(c);
  return o ? Value::from(o) : Value{};
}

void copy_members(Interpreter& in, const Value& from, ClipId to) {
  if (!from.is_object() || to == kNoClip) return;
  const Value target = clip_value(in, to);
  from.object->each([&](const Property& p) { in.set_member(target, p.name, p.value); });
}

// --- Timeline ---

Value mc_play(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().play(c);
  return {};
}

Value mc_stop(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().stop(c);
  return {};
}

void goto_frame(Interpreter& in, ClipId c, const Value& frame, bool play) {
  if (c == kNoClip) return;
  int number = 0;
  if (frame.type == Type::String) {
    const double n = string_to_number(frame.string, in.version());
    number = std::isnan(n) ? in.host().frame_of_label(c, frame.string) : static_cast<int>(n);
  } else {
    const double n = in.to_number(frame);
    number = std::isnan(n) ? 0 : static_cast<int>(std::clamp(n, -1e9, 1e9));
  }
  if (number > 0) in.host().goto_frame(c, number, play);
}

Value mc_goto_and_play(Interpreter& in, const Value& self, std::vector<Value>& args) {
  goto_frame(in, self_clip(in, self), arg(args, 0), true);
  return {};
}

Value mc_goto_and_stop(Interpreter& in, const Value& self, std::vector<Value>& args) {
  goto_frame(in, self_clip(in, self), arg(args, 0), false);
  return {};
}

int current_frame(Interpreter& in, ClipId c) {
  return static_cast<int>(in.host().get_property(c, ClipProperty::CurrentFrame).number);
}

Value mc_next_frame(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().goto_frame(c, current_frame(in, c) + 1, false);
  return {};
}

Value mc_prev_frame(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().goto_frame(c, std::max(1, current_frame(in, c) - 1), false);
  return {};
}

// --- Clip management ---

Value mc_attach_movie(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  const ClipId made = in.host().attach_movie(c, in.to_string(arg(args, 0)), in.to_string(arg(args, 1)), int_arg(in, args, 2));
  copy_members(in, arg(args, 3), made);
  return clip_value(in, made);
}

Value mc_duplicate(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  const ClipId made = in.host().duplicate_movie_clip(c, in.to_string(arg(args, 0)), int_arg(in, args, 1));
  copy_members(in, arg(args, 2), made);
  return clip_value(in, made);
}

Value mc_create_empty(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  return clip_value(in, in.host().create_empty_movie_clip(c, in.to_string(arg(args, 0)), int_arg(in, args, 1)));
}

Value mc_remove(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().remove_movie_clip(c);
  return {};
}

Value mc_swap_depths(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  const Value other = arg(args, 0);
  if (const ClipId o = in.clip_of(other)) in.host().swap_depths(c, in.host().depth(o));
  else if (other.type == Type::String && !other.string.empty() && !std::isdigit(static_cast<unsigned char>(other.string[0])))
    { if (const ClipId n = clip_arg(in, other)) in.host().swap_depths(c, in.host().depth(n)); }
  else in.host().swap_depths(c, int_arg(in, args, 0));
  return {};
}

Value mc_get_depth(Interpreter& in, const Value& self, std::vector<Value>&) {
  const ClipId c = self_clip(in, self);
  return c ? Value::from(in.host().depth(c)) : Value{};
}

Value mc_next_depth(Interpreter& in, const Value& self, std::vector<Value>&) {
  const ClipId c = self_clip(in, self);
  return c ? Value::from(in.host().next_highest_depth(c)) : Value{};
}

Value mc_instance_at_depth(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  return c ? clip_value(in, in.host().instance_at_depth(c, int_arg(in, args, 0))) : Value{};
}

Value mc_get_bounds(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  const ClipId space = args.empty() ? c : clip_arg(in, args[0]);
  const Rect r = in.host().bounds(c, space ? space : c);
  Object* o = in.new_object(in.prototype_of("Object"));
  o->put("xMin", Value::from(r.x_min));
  o->put("xMax", Value::from(r.x_max));
  o->put("yMin", Value::from(r.y_min));
  o->put("yMax", Value::from(r.y_max));
  return Value::from(o);
}

Value mc_hit_test(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  if (args.size() >= 2)
    return Value::from(in.host().hit_test_point(c, num_arg(in, args, 0), num_arg(in, args, 1), in.to_boolean(arg(args, 2))));
  const ClipId other = clip_arg(in, arg(args, 0));
  return Value::from(other != kNoClip && in.host().hit_test_clip(c, other));
}

// null takes the mask away; a clip, or a path or name that finds one, sets
// it; anything else (no argument, a path to nothing, another object) leaves
// the mask as it was.
Value mc_set_mask(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c || args.empty()) return {};
  const Value& mask = args[0];
  if (mask.is_nullish()) {
    in.host().set_mask(c, kNoClip);
  } else if (const ClipId m = in.clip_of(mask)) {
    in.host().set_mask(c, m);
  } else if (!mask.is_object()) {
    if (const ClipId found = in.resolve_target(in.to_string(mask), in.current_target())) in.host().set_mask(c, found);
  }
  return {};
}

template <bool ToGlobal>
Value mc_convert_point(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  const Value pt = arg(args, 0);
  if (!c || !pt.is_object()) return {};
  double x = in.to_number(in.get_member(pt, "x")), y = in.to_number(in.get_member(pt, "y"));
  if (ToGlobal) in.host().local_to_global(c, x, y);
  else in.host().global_to_local(c, x, y);
  in.set_member(pt, "x", Value::from(x));
  in.set_member(pt, "y", Value::from(y));
  return {};
}

Value mc_get_url(Interpreter& in, const Value&, std::vector<Value>& args) {
  const std::string method = in.to_string(arg(args, 2));
  in.host().get_url(in.to_string(arg(args, 0)), in.to_string(arg(args, 1)), method == "GET" ? 1 : method == "POST" ? 2 : 0);
  return {};
}

Value no_op(Interpreter&, const Value&, std::vector<Value>&) { return {}; }

// --- Drawing ---

std::uint32_t rgb_arg(Interpreter& in, const std::vector<Value>& args, std::size_t i) {
  return to_uint32(in.to_number(arg(args, i))) & 0xFFFFFF;
}

double alpha_arg(Interpreter& in, const std::vector<Value>& args, std::size_t i) {
  if (arg(args, i).is_undefined()) return 100;
  const double a = in.to_number(args[i]);
  return std::isnan(a) ? 100 : std::clamp(a, 0.0, 100.0);
}

Value mc_begin_fill(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (c && !args.empty()) in.host().begin_fill(c, rgb_arg(in, args, 0), alpha_arg(in, args, 1));
  return {};
}

Matrix gradient_matrix(Interpreter& in, const Value& m) {
  Matrix out;
  if (!m.is_object()) return out;
  auto get = [&](const char* name) { return in.to_number(in.get_member(m, name)); };
  if (in.to_string(in.get_member(m, "matrixType")) == "box") {
    const double w = get("w"), h = get("h"), r = get("r"), x = get("x"), y = get("y");
    out.a = std::cos(r) * w / 1638.4;
    out.b = std::sin(r) * h / 1638.4;
    out.c = -std::sin(r) * w / 1638.4;
    out.d = std::cos(r) * h / 1638.4;
    out.tx = x + w / 2;
    out.ty = y + h / 2;
  } else if (!in.get_member(m, "tx").is_undefined()) {
    out = {get("a"), get("b"), get("c"), get("d"), get("tx"), get("ty")};
  } else {  // the 3x3 form {a, b, d, e, g, h}
    out = {get("a"), get("b"), get("d"), get("e"), get("g"), get("h")};
  }
  return out;
}

Value mc_begin_gradient_fill(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  GradientFill g;
  g.radial = in.to_string(arg(args, 0)) == "radial";
  const Value colors = arg(args, 1), alphas = arg(args, 2), ratios = arg(args, 3);
  if (!colors.is_object() || !alphas.is_object() || !ratios.is_object()) return {};
  const std::size_t n = std::min({colors.object->elements.size(), alphas.object->elements.size(),
                                  ratios.object->elements.size(), std::size_t{15}});
  for (std::size_t i = 0; i < n; ++i) {
    g.colors.push_back(to_uint32(in.to_number(colors.object->elements[i])) & 0xFFFFFF);
    g.alphas.push_back(std::clamp(in.to_number(alphas.object->elements[i]), 0.0, 100.0));
    g.ratios.push_back(std::clamp(to_int32(in.to_number(ratios.object->elements[i])), 0, 255));
  }
  g.matrix = gradient_matrix(in, arg(args, 4));
  if (args.size() > 5) g.spread = in.to_string(args[5]);
  if (args.size() > 6) g.interpolation = in.to_string(args[6]);
  if (args.size() > 7) g.focal_point = std::clamp(in.to_number(args[7]), -1.0, 1.0);
  in.host().begin_gradient_fill(c, g);
  return {};
}

Value mc_line_style(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  LineStyle s;
  const double t = in.to_number(arg(args, 0));
  if (!args.empty() && !std::isnan(t)) {
    s.thickness = std::clamp(t, 0.0, 255.0);
    s.rgb = rgb_arg(in, args, 1);
    s.alpha = alpha_arg(in, args, 2);
    s.pixel_hinting = in.to_boolean(arg(args, 3));
    if (args.size() > 4 && !args[4].is_nullish()) s.scale_mode = in.to_string(args[4]);
    if (args.size() > 5 && !args[5].is_nullish()) s.caps = in.to_string(args[5]);
    if (args.size() > 6 && !args[6].is_nullish()) s.joints = in.to_string(args[6]);
    if (args.size() > 7) s.miter_limit = std::clamp(in.to_number(args[7]), 1.0, 255.0);
  }
  in.host().line_style(c, s);
  return {};
}

template <int Kind>
Value mc_path(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = self_clip(in, self);
  if (!c) return {};
  double v[4];
  for (std::size_t i = 0; i < 4; ++i) {
    v[i] = in.to_number(arg(args, i));
    if (i < (Kind == 2 ? 4u : 2u) && !std::isfinite(v[i])) return {};
  }
  if (Kind == 0) in.host().move_to(c, v[0], v[1]);
  else if (Kind == 1) in.host().line_to(c, v[0], v[1]);
  else in.host().curve_to(c, v[0], v[1], v[2], v[3]);
  return {};
}

Value mc_end_fill(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().end_fill(c);
  return {};
}

Value mc_clear(Interpreter& in, const Value& self, std::vector<Value>&) {
  if (const ClipId c = self_clip(in, self)) in.host().clear(c);
  return {};
}

// --- Color ---

ClipId color_clip(Interpreter& in, const Value& self) {
  if (!self.is_object() || self.object->kind != ObjectKind::Color) return kNoClip;
  const Value& t = self.object->primitive;
  if (const ClipId c = in.clip_of(t)) return c;
  return t.type == Type::String ? in.resolve_target(t.string, in.current_target()) : kNoClip;
}

Value color_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  if (!self.is_object()) return {};
  self.object->kind = ObjectKind::Color;
  const Value t = arg(args, 0);
  self.object->primitive = in.clip_of(t) ? t : Value::from(in.to_string(t));
  return self;
}

Value color_set_rgb(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = color_clip(in, self);
  if (!c) return {};
  const std::uint32_t rgb = rgb_arg(in, args, 0);
  ColorTransform t = in.host().color_transform(c);
  t.ra = t.ga = t.ba = 0;
  t.rb = rgb >> 16;
  t.gb = rgb >> 8 & 0xFF;
  t.bb = rgb & 0xFF;
  in.host().set_color_transform(c, t);
  return {};
}

Value color_get_rgb(Interpreter& in, const Value& self, std::vector<Value>&) {
  const ClipId c = color_clip(in, self);
  if (!c) return {};
  const ColorTransform t = in.host().color_transform(c);
  auto channel = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)); };
  return Value::from(static_cast<double>(channel(t.rb) << 16 | channel(t.gb) << 8 | channel(t.bb)));
}

Value color_set_transform(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = color_clip(in, self);
  const Value o = arg(args, 0);
  if (!c || !o.is_object()) return {};
  ColorTransform t = in.host().color_transform(c);
  double* fields[] = {&t.ra, &t.rb, &t.ga, &t.gb, &t.ba, &t.bb, &t.aa, &t.ab};
  const char* names[] = {"ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab"};
  for (int i = 0; i < 8; ++i) {
    const Value v = in.get_member(o, names[i]);
    if (!v.is_undefined()) {
      const double n = in.to_number(v);
      if (std::isfinite(n)) *fields[i] = n;
    }
  }
  in.host().set_color_transform(c, t);
  return {};
}

Value color_get_transform(Interpreter& in, const Value& self, std::vector<Value>&) {
  const ClipId c = color_clip(in, self);
  if (!c) return {};
  const ColorTransform t = in.host().color_transform(c);
  Object* o = in.new_object(in.prototype_of("Object"));
  const std::pair<const char*, double> fields[] = {{"ra", t.ra}, {"rb", t.rb}, {"ga", t.ga}, {"gb", t.gb},
                                                   {"ba", t.ba}, {"bb", t.bb}, {"aa", t.aa}, {"ab", t.ab}};
  for (const auto& [name, v] : fields) o->put(name, Value::from(v));
  return Value::from(o);
}

// --- Timers ---

template <bool Repeat>
Value set_timer(Interpreter& in, const Value&, std::vector<Value>& args) {
  Interpreter::Timer t;
  t.repeat = Repeat;
  std::size_t rest = 2;
  const Value first = arg(args, 0);
  if (first.is_object() && is_callable(first.object)) {
    t.function = first;
    t.interval_ms = in.to_number(arg(args, 1));
  } else if (first.is_object()) {
    t.self = first;
    t.method = in.to_string(arg(args, 1));
    t.interval_ms = in.to_number(arg(args, 2));
    rest = 3;
  } else {
    return {};
  }
  if (std::isnan(t.interval_ms) || t.interval_ms < 0) t.interval_ms = 0;
  for (std::size_t i = rest; i < args.size(); ++i) t.args.push_back(args[i]);
  t.due_ms = in.host().now_ms() + t.interval_ms;
  const int id = in.add_timer(std::move(t));
  return id ? Value::from(id) : Value{};
}

Value clear_timer(Interpreter& in, const Value&, std::vector<Value>& args) {
  in.remove_timer(int_arg(in, args, 0));
  return {};
}

// --- Stage, Key ---

Value stage_width(Interpreter& in, const Value&, std::vector<Value>&) { return Value::from(in.host().stage_width()); }
Value stage_height(Interpreter& in, const Value&, std::vector<Value>&) { return Value::from(in.host().stage_height()); }

Value key_is_down(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(in.host().key_down(int_arg(in, args, 0)));
}

Value key_get_code(Interpreter&, const Value&, std::vector<Value>&) { return Value::from(0); }

// The player version scripts test before using newer features.
Value get_version(Interpreter& in, const Value&, std::vector<Value>&) {
  return Value::from("WIN " + std::to_string(std::max(in.version(), 8)) + ",0,0,0");
}

// --- flash.geom ---

Value matrix_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
  const double identity[] = {1, 0, 0, 1, 0, 0};
  for (std::size_t i = 0; i < 6; ++i)
    in.set_member(self, names[i], Value::from(i < args.size() ? in.to_number(args[i]) : identity[i]));
  return self;
}

Value matrix_create_gradient_box(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const double w = num_arg(in, args, 0), h = num_arg(in, args, 1);
  const double r = arg(args, 2).is_undefined() ? 0 : num_arg(in, args, 2);
  const double x = arg(args, 3).is_undefined() ? 0 : num_arg(in, args, 3);
  const double y = arg(args, 4).is_undefined() ? 0 : num_arg(in, args, 4);
  in.set_member(self, "a", Value::from(std::cos(r) * w / 1638.4));
  in.set_member(self, "b", Value::from(std::sin(r) * h / 1638.4));
  in.set_member(self, "c", Value::from(-std::sin(r) * w / 1638.4));
  in.set_member(self, "d", Value::from(std::cos(r) * h / 1638.4));
  in.set_member(self, "tx", Value::from(x + w / 2));
  in.set_member(self, "ty", Value::from(y + h / 2));
  return {};
}

Value point_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  in.set_member(self, "x", Value::from(args.empty() ? 0.0 : num_arg(in, args, 0)));
  in.set_member(self, "y", Value::from(args.size() < 2 ? 0.0 : num_arg(in, args, 1)));
  return self;
}

Object* getter(Interpreter& in, Object* holder, const char* name, NativeFunction f) {
  Property& p = holder->put(name, Value{}, kDontEnum);
  p.getter = in.new_native(f);
  return holder;
}

}  // namespace

void install_clip_builtins(Interpreter& in) {
  Object* object_proto = in.prototype_of("Object");
  Object* mc = in.new_object(object_proto);
  define_class(in, "MovieClip", no_op, mc);
  const std::pair<const char*, NativeFunction> methods[] = {
      {"play", mc_play}, {"stop", mc_stop}, {"gotoAndPlay", mc_goto_and_play}, {"gotoAndStop", mc_goto_and_stop},
      {"nextFrame", mc_next_frame}, {"prevFrame", mc_prev_frame}, {"attachMovie", mc_attach_movie},
      {"duplicateMovieClip", mc_duplicate}, {"createEmptyMovieClip", mc_create_empty},
      {"removeMovieClip", mc_remove}, {"swapDepths", mc_swap_depths}, {"getDepth", mc_get_depth},
      {"getNextHighestDepth", mc_next_depth}, {"getInstanceAtDepth", mc_instance_at_depth},
      {"getBounds", mc_get_bounds}, {"getRect", mc_get_bounds}, {"hitTest", mc_hit_test}, {"setMask", mc_set_mask},
      {"localToGlobal", mc_convert_point<true>}, {"globalToLocal", mc_convert_point<false>},
      {"getURL", mc_get_url}, {"startDrag", no_op}, {"stopDrag", no_op},
      {"beginFill", mc_begin_fill}, {"beginGradientFill", mc_begin_gradient_fill}, {"lineStyle", mc_line_style},
      {"moveTo", mc_path<0>}, {"lineTo", mc_path<1>}, {"curveTo", mc_path<2>}, {"endFill", mc_end_fill},
      {"clear", mc_clear}};
  for (const auto& [name, f] : methods) define(in, mc, name, f);

  define_class(in, "TextField", no_op, in.new_object(object_proto));

  Object* color = in.new_object(object_proto);
  define_class(in, "Color", color_ctor, color);
  define(in, color, "setRGB", color_set_rgb);
  define(in, color, "getRGB", color_get_rgb);
  define(in, color, "setTransform", color_set_transform);
  define(in, color, "getTransform", color_get_transform);

  Object* g = in.global();
  define(in, g, "setInterval", set_timer<true>);
  define(in, g, "setTimeout", set_timer<false>);
  define(in, g, "clearInterval", clear_timer);
  define(in, g, "clearTimeout", clear_timer);
  define(in, g, "getVersion", get_version);

  Object* stage = in.new_object(object_proto);
  g->put("Stage", Value::from(stage), kDontEnum);
  getter(in, stage, "width", stage_width);
  getter(in, stage, "height", stage_height);
  stage->put("scaleMode", Value::from("showAll"));
  stage->put("align", Value::from(""));
  define(in, stage, "addListener", no_op);
  define(in, stage, "removeListener", no_op);

  Object* key = in.new_object(object_proto);
  g->put("Key", Value::from(key), kDontEnum);
  define(in, key, "isDown", key_is_down);
  define(in, key, "getCode", key_get_code);
  define(in, key, "getAscii", key_get_code);
  define(in, key, "addListener", no_op);
  define(in, key, "removeListener", no_op);
  const std::pair<const char*, int> keys[] = {
      {"BACKSPACE", 8}, {"TAB", 9}, {"ENTER", 13}, {"SHIFT", 16}, {"CONTROL", 17}, {"CAPSLOCK", 20},
      {"ESCAPE", 27}, {"SPACE", 32}, {"PGUP", 33}, {"PGDN", 34}, {"END", 35}, {"HOME", 36}, {"LEFT", 37},
      {"UP", 38}, {"RIGHT", 39}, {"DOWN", 40}, {"INSERT", 45}, {"DELETEKEY", 46}};
  for (const auto& [name, code] : keys) key->put(name, Value::from(code), kDontEnum);

  Object* mouse = in.new_object(object_proto);
  g->put("Mouse", Value::from(mouse), kDontEnum);
  define(in, mouse, "show", no_op);
  define(in, mouse, "hide", no_op);
  define(in, mouse, "addListener", no_op);
  define(in, mouse, "removeListener", no_op);

  Object* flash = in.new_object(object_proto);
  Object* geom = in.new_object(object_proto);
  g->put("flash", Value::from(flash), kDontEnum);
  flash->put("geom", Value::from(geom), kDontEnum);
  Object* matrix = in.new_object(object_proto);
  geom->put("Matrix", Value::from(in.new_native(matrix_ctor, matrix)), kDontEnum);
  define(in, matrix, "createGradientBox", matrix_create_gradient_box);
  geom->put("Point", Value::from(in.new_native(point_ctor, in.new_object(object_proto))), kDontEnum);
}

}  // namespace player::script
