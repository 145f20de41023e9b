// flash.display.BitmapData, in the script's own memory: pixels set, filled,
// copied and run through a colour matrix, and shown through attachBitmap.
// flash.filters' ColorMatrixFilter, the one filter applyFilter computes.
#include <algorithm>
#include <cmath>

#include "builtins.h"

namespace player::script {

namespace {

// The format's largest bitmap side (version 8 players).
constexpr int kMaxBitmapSide = 2880;

BitmapPixels* pixels_of(const Value& self) {
  return self.is_object() && self.object->bitmap ? self.object->bitmap.get() : nullptr;
}

int int_of(Interpreter& in, const Value& v) {
  const double n = in.to_number(v);
  return std::isnan(n) ? 0 : static_cast<int>(std::clamp(std::floor(n), -1e9, 1e9));
}

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 past the end
};

// A rectangle object ({x, y, width, height}) clipped to the bitmap.
Box box_of(Interpreter& in, const Value& rect, const BitmapPixels& p) {
  Box b{0, 0, p.width, p.height};
  if (rect.is_object()) {
    const int x = int_of(in, in.get_member(rect, "x")), y = int_of(in, in.get_member(rect, "y"));
    const int w = int_of(in, in.get_member(rect, "width")), h = int_of(in, in.get_member(rect, "height"));
    b = {x, y, x + std::max(0, w), y + std::max(0, h)};
  }
  b.x0 = std::clamp(b.x0, 0, p.width);
  b.x1 = std::clamp(b.x1, 0, p.width);
  b.y0 = std::clamp(b.y0, 0, p.height);
  b.y1 = std::clamp(b.y1, 0, p.height);
  return b;
}

std::uint32_t stored_color(const BitmapPixels& p, std::uint32_t argb) {
  return p.transparent ? argb : argb | 0xFF000000u;
}

Value bitmap_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  if (!self.is_object()) return {};
  const int w = int_of(in, arg(args, 0)), h = int_of(in, arg(args, 1));
  if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) return self;  // an unusable BitmapData
  auto p = std::make_shared<BitmapPixels>();
  p->width = w;
  p->height = h;
  p->transparent = arg(args, 2).is_undefined() || in.to_boolean(args[2]);
  const std::uint32_t fill = arg(args, 3).is_undefined() ? 0xFFFFFFFFu : to_uint32(in.to_number(args[3]));
  const auto count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  in.note_stored(count * sizeof(std::uint32_t));
  if (!in.charge(count / 64)) return self;
  p->argb.assign(count, stored_color(*p, fill));
  self.object->kind = ObjectKind::BitmapData;
  self.object->bitmap = std::move(p);
  return self;
}

Value bitmap_width(Interpreter&, const Value& self, std::vector<Value>&) {
  const BitmapPixels* p = pixels_of(self);
  return Value::from(p ? p->width : -1);
}

Value bitmap_height(Interpreter&, const Value& self, std::vector<Value>&) {
  const BitmapPixels* p = pixels_of(self);
  return Value::from(p ? p->height : -1);
}

Value bitmap_transparent(Interpreter&, const Value& self, std::vector<Value>&) {
  const BitmapPixels* p = pixels_of(self);
  return p ? Value::from(p->transparent) : Value{};
}

Value bitmap_rectangle(Interpreter& in, const Value& self, std::vector<Value>&) {
  const BitmapPixels* p = pixels_of(self);
  Object* r = in.new_object(in.prototype_of("Object"));
  r->put("x", Value::from(0));
  r->put("y", Value::from(0));
  r->put("width", Value::from(p ? p->width : -1));
  r->put("height", Value::from(p ? p->height : -1));
  return Value::from(r);
}

template <bool WithAlpha>
Value get_pixel(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const BitmapPixels* p = pixels_of(self);
  if (!p) return {};
  const int x = int_of(in, arg(args, 0)), y = int_of(in, arg(args, 1));
  if (x < 0 || y < 0 || x >= p->width || y >= p->height) return Value::from(0);
  const std::uint32_t c = p->argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(p->width) + static_cast<std::size_t>(x)];
  return Value::from(static_cast<double>(WithAlpha ? c : c & 0xFFFFFF));
}

template <bool WithAlpha>
Value set_pixel(Interpreter& in, const Value& self, std::vector<Value>& args) {
  BitmapPixels* p = pixels_of(self);
  if (!p) return {};
  const int x = int_of(in, arg(args, 0)), y = int_of(in, arg(args, 1));
  if (x < 0 || y < 0 || x >= p->width || y >= p->height) return {};
  std::uint32_t& c = p->argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(p->width) + static_cast<std::size_t>(x)];
  const std::uint32_t v = to_uint32(in.to_number(arg(args, 2)));
  c = stored_color(*p, WithAlpha ? v : (c & 0xFF000000u) | (v & 0xFFFFFF));
  ++p->version;
  return {};
}

Value fill_rect(Interpreter& in, const Value& self, std::vector<Value>& args) {
  BitmapPixels* p = pixels_of(self);
  if (!p) return {};
  const Box b = box_of(in, arg(args, 0), *p);
  const std::uint32_t c = stored_color(*p, to_uint32(in.to_number(arg(args, 1))));
  if (!in.charge(static_cast<std::size_t>(b.x1 - b.x0) * static_cast<std::size_t>(b.y1 - b.y0) / 64)) return {};
  for (int y = b.y0; y < b.y1; ++y)
    std::fill_n(p->argb.begin() + y * p->width + b.x0, b.x1 - b.x0, c);
  ++p->version;
  return {};
}

// Pixels of `source` in `rect`, at `point` of self, each through `f`.
template <typename F>
void copy_through(Interpreter& in, const Value& self, std::vector<Value>& args, F f) {
  BitmapPixels* dst = pixels_of(self);
  const BitmapPixels* src = pixels_of(arg(args, 0));
  if (!dst || !src) return;
  const Box b = box_of(in, arg(args, 1), *src);
  const Value point = arg(args, 2);
  const int dx = point.is_object() ? int_of(in, in.get_member(point, "x")) : 0;
  const int dy = point.is_object() ? int_of(in, in.get_member(point, "y")) : 0;
  if (!in.charge(static_cast<std::size_t>(b.x1 - b.x0) * static_cast<std::size_t>(b.y1 - b.y0) / 16)) return;
  const std::vector<std::uint32_t> from = src->argb;  // source and target may be one bitmap
  for (int y = b.y0; y < b.y1; ++y) {
    const int ty = y - b.y0 + dy;
    if (ty < 0 || ty >= dst->height) continue;
    for (int x = b.x0; x < b.x1; ++x) {
      const int tx = x - b.x0 + dx;
      if (tx < 0 || tx >= dst->width) continue;
      dst->argb[static_cast<std::size_t>(ty * dst->width + tx)] =
          stored_color(*dst, f(from[static_cast<std::size_t>(y * src->width + x)]));
    }
  }
  ++dst->version;
}

Value copy_pixels(Interpreter& in, const Value& self, std::vector<Value>& args) {
  copy_through(in, self, args, [](std::uint32_t c) { return c; });
  return {};
}

Value apply_filter(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const Value filter = arg(args, 3);
  const Value matrix = filter.is_object() ? in.get_member(filter, "matrix") : Value{};
  double m[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
  if (matrix.is_object() && matrix.object->elements.size() >= 20)
    for (std::size_t i = 0; i < 20; ++i) {
      const double v = in.to_number(matrix.object->elements[i]);
      m[i] = std::isfinite(v) ? v : 0;
    }
  copy_through(in, self, args, [&](std::uint32_t c) {
    const double in_c[4] = {static_cast<double>(c >> 16 & 0xFF), static_cast<double>(c >> 8 & 0xFF),
                            static_cast<double>(c & 0xFF), static_cast<double>(c >> 24)};
    std::uint32_t out[4];
    for (int row = 0; row < 4; ++row) {
      const double* r = m + row * 5;
      const double v = r[0] * in_c[0] + r[1] * in_c[1] + r[2] * in_c[2] + r[3] * in_c[3] + r[4];
      out[row] = static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }
    return out[3] << 24 | out[0] << 16 | out[1] << 8 | out[2];
  });
  return {};
}

Value clone(Interpreter& in, const Value& self, std::vector<Value>&) {
  const BitmapPixels* p = pixels_of(self);
  Object* o = in.new_object(self.is_object() ? self.object->proto : nullptr, ObjectKind::BitmapData);
  if (p) {
    in.note_stored(p->argb.size() * sizeof(std::uint32_t));
    o->bitmap = std::make_shared<BitmapPixels>(*p);
  }
  return Value::from(o);
}

Value dispose(Interpreter&, const Value& self, std::vector<Value>&) {
  if (self.is_object()) self.object->bitmap.reset();
  return {};
}

Value attach_bitmap(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const ClipId c = in.clip_of(self);
  const Value b = arg(args, 0);
  if (!c || !b.is_object() || !b.object->bitmap) return {};
  in.host().attach_bitmap(c, b.object->bitmap, int_of(in, arg(args, 1)), in.to_boolean(arg(args, 3)));
  return {};
}

// Filters keep their arguments as properties; ColorMatrixFilter copies its matrix.
Value color_matrix_filter_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const Value m = arg(args, 0);
  std::vector<Value> copy;
  if (m.is_object()) copy = m.object->elements;
  in.set_member(self, "matrix", Value::from(in.new_array(std::move(copy))));
  return self;
}

Object* getter(Interpreter& in, Object* holder, const char* name, NativeFunction f) {
  Property& p = holder->put(name, Value{}, kDontEnum);
  p.getter = in.new_native(f);
  return holder;
}

Object* package(Interpreter& in, Object* parent, const char* name) {
  if (Property* p = parent->find(name))
    if (p->value.is_object()) return p->value.object;
  Object* o = in.new_object(in.prototype_of("Object"));
  parent->put(name, Value::from(o), kDontEnum);
  return o;
}

}  // namespace

void install_bitmap_builtins(Interpreter& in) {
  Object* object_proto = in.prototype_of("Object");
  Object* flash = package(in, in.global(), "flash");
  Object* proto = in.new_object(object_proto);
  package(in, flash, "display")->put("BitmapData", Value::from(in.new_native(bitmap_ctor, proto)), kDontEnum);
  getter(in, proto, "width", bitmap_width);
  getter(in, proto, "height", bitmap_height);
  getter(in, proto, "transparent", bitmap_transparent);
  getter(in, proto, "rectangle", bitmap_rectangle);
  define(in, proto, "getPixel", get_pixel<false>);
  define(in, proto, "getPixel32", get_pixel<true>);
  define(in, proto, "setPixel", set_pixel<false>);
  define(in, proto, "setPixel32", set_pixel<true>);
  define(in, proto, "fillRect", fill_rect);
  define(in, proto, "copyPixels", copy_pixels);
  define(in, proto, "applyFilter", apply_filter);
  define(in, proto, "clone", clone);
  define(in, proto, "dispose", dispose);

  Object* filters = package(in, flash, "filters");
  filters->put("ColorMatrixFilter",
               Value::from(in.new_native(color_matrix_filter_ctor, in.new_object(object_proto))), kDontEnum);

  if (Object* mc = in.prototype_of("MovieClip")) define(in, mc, "attachBitmap", attach_bitmap);
}

}  // namespace player::script
