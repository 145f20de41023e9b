#pragma once
// A small writer of Flash movies for tests and benchmarks: the records the
// player reads, written from their public description, field by field.
#include <cstdint>
#include <string>
#include <vector>

namespace swftest {

class Bits {
 public:
  void U(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>(acc_ | (((value >> i) & 1u) << (7 - used_)));
      if (++used_ == 8) Flush();
    }
  }
  void S(int32_t value, int n) { U(static_cast<uint32_t>(value), n); }
  void Flush() {
    if (used_ == 0) return;
    bytes.push_back(acc_);
    acc_ = 0;
    used_ = 0;
  }
  void U8(uint32_t v) { Flush(); bytes.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) { U8(v & 0xff); U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xffff); U16(v >> 16); }
  void Str(const std::string& s) { for (char c : s) U8(static_cast<uint8_t>(c)); U8(0); }
  void Rect(int x0, int x1, int y0, int y1) {
    Flush();
    U(31, 5);
    S(x0, 31); S(x1, 31); S(y0, 31); S(y1, 31);
    Flush();
  }
  // Translation only, or scale too when sx, sy are given (16.16).
  void Matrix(int tx, int ty, double sx = 1, double sy = 1) {
    Flush();
    const bool scaled = sx != 1 || sy != 1;
    U(scaled, 1);
    if (scaled) {
      U(31, 5);
      S(static_cast<int32_t>(sx * 65536), 31);
      S(static_cast<int32_t>(sy * 65536), 31);
    }
    U(0, 1);
    U(31, 5);
    S(tx, 31);
    S(ty, 31);
    Flush();
  }
  std::vector<uint8_t> bytes;

 private:
  uint8_t acc_ = 0;
  int used_ = 0;
};

inline std::vector<uint8_t> Tag(int code, const std::vector<uint8_t>& body) {
  Bits b;
  b.U16(static_cast<uint32_t>(code << 6 | 0x3f));
  b.U32(static_cast<uint32_t>(body.size()));
  b.bytes.insert(b.bytes.end(), body.begin(), body.end());
  return b.bytes;
}

// DefineShape3 `id`: a rectangle in twips filled with one RGBA colour.
inline std::vector<uint8_t> RectShape(int id, int x0, int y0, int x1, int y1, uint32_t rgba) {
  Bits b;
  b.U16(static_cast<uint32_t>(id));
  b.Rect(x0, x1, y0, y1);
  b.U8(1);  // one fill style
  b.U8(0x00);
  b.U8(rgba >> 24); b.U8((rgba >> 16) & 0xff); b.U8((rgba >> 8) & 0xff); b.U8(rgba & 0xff);
  b.U8(0);  // no line styles
  b.U(1, 4); b.U(0, 4);  // fill bits, line bits
  b.U(0, 1); b.U(0b00101, 5);  // style change: fill1, move to
  b.U(31, 5); b.S(x0, 31); b.S(y0, 31);
  b.U(1, 1);
  const int dx = x1 - x0, dy = y1 - y0;
  const int edges[4][2] = {{dx, 0}, {0, dy}, {-dx, 0}, {0, -dy}};
  for (const auto& e : edges) {  // general straight edges
    b.U(1, 1); b.U(1, 1); b.U(15, 4); b.U(1, 1); b.S(e[0], 17); b.S(e[1], 17);
  }
  b.U(0, 1); b.U(0, 5);  // end
  b.Flush();
  return Tag(32, b.bytes);
}

struct Place {
  int depth;
  int character = 0;  // 0: none (a move)
  int tx = 0, ty = 0;
  bool move = false;
  int clipDepth = 0;
  int ratio = -1;
  // Colour transform with alpha, in 8.8 multipliers and 0..255 additions.
  bool cx = false;
  int mul[4] = {256, 256, 256, 256};
  int add[4] = {0, 0, 0, 0};
};

inline std::vector<uint8_t> PlaceObject2(const Place& p) {
  Bits b;
  uint32_t flags = 0x04;  // matrix
  if (p.move) flags |= 0x01;
  if (p.character) flags |= 0x02;
  if (p.ratio >= 0) flags |= 0x10;
  if (p.cx) flags |= 0x08;
  if (p.clipDepth) flags |= 0x40;
  b.U8(flags);
  b.U16(static_cast<uint32_t>(p.depth));
  if (p.character) b.U16(static_cast<uint32_t>(p.character));
  b.Matrix(p.tx, p.ty);
  if (p.cx) {
    b.U(1, 1); b.U(1, 1); b.U(15, 4);
    for (int v : p.mul) b.S(v, 15);
    for (int v : p.add) b.S(v, 15);
    b.Flush();
  }
  if (p.ratio >= 0) b.U16(static_cast<uint32_t>(p.ratio));
  if (p.clipDepth) b.U16(static_cast<uint32_t>(p.clipDepth));
  return Tag(26, b.bytes);
}

inline std::vector<uint8_t> Remove2(int depth) {
  Bits b;
  b.U16(static_cast<uint32_t>(depth));
  return Tag(28, b.bytes);
}
inline std::vector<uint8_t> ShowFrame() { return Tag(1, {}); }
inline std::vector<uint8_t> End() { return {0, 0}; }

inline std::vector<uint8_t> Sprite(int id, int frames, const std::vector<std::vector<uint8_t>>& tags) {
  Bits b;
  b.U16(static_cast<uint32_t>(id));
  b.U16(static_cast<uint32_t>(frames));
  for (const auto& t : tags) b.bytes.insert(b.bytes.end(), t.begin(), t.end());
  b.bytes.push_back(0);
  b.bytes.push_back(0);
  return Tag(39, b.bytes);
}

// DefineMorphShape `id`: a rectangle from (0, 0, w0, h) to (0, 0, w1, h)
// twips, one solid fill going from colour c0 to c1.
inline std::vector<uint8_t> MorphRect(int id, int w0, int w1, int h, uint32_t c0, uint32_t c1) {
  auto edges = [&](int w) {
    Bits e;
    e.U(1, 4); e.U(0, 4);
    e.U(0, 1); e.U(0b00101, 5); e.U(31, 5); e.S(0, 31); e.S(0, 31); e.U(1, 1);
    const int steps[4][2] = {{w, 0}, {0, h}, {-w, 0}, {0, -h}};
    for (const auto& st : steps) { e.U(1, 1); e.U(1, 1); e.U(15, 4); e.U(1, 1); e.S(st[0], 17); e.S(st[1], 17); }
    e.U(0, 1); e.U(0, 5);
    e.Flush();
    return e.bytes;
  };
  Bits b;
  b.U16(static_cast<uint32_t>(id));
  b.Rect(0, w0, 0, h);
  b.Rect(0, w1, 0, h);
  Bits styles;
  styles.U8(1);
  styles.U8(0);
  for (uint32_t c : {c0, c1}) { styles.U8(c >> 24); styles.U8((c >> 16) & 0xff); styles.U8((c >> 8) & 0xff); styles.U8(c & 0xff); }
  styles.U8(0);
  const std::vector<uint8_t> start = edges(w0), end = edges(w1);
  b.U32(static_cast<uint32_t>(styles.bytes.size() + start.size()));
  b.bytes.insert(b.bytes.end(), styles.bytes.begin(), styles.bytes.end());
  b.bytes.insert(b.bytes.end(), start.begin(), start.end());
  b.bytes.insert(b.bytes.end(), end.begin(), end.end());
  return Tag(46, b.bytes);
}

// An uncompressed movie of `width` x `height` pixels holding `tags`.
inline std::vector<uint8_t> Movie(int width, int height, int frames,
                                  const std::vector<std::vector<uint8_t>>& tags, int version = 8) {
  Bits b;
  b.U8('F'); b.U8('W'); b.U8('S'); b.U8(static_cast<uint32_t>(version));
  b.U32(0);
  b.Rect(0, width * 20, 0, height * 20);
  b.U16(24 << 8);
  b.U16(static_cast<uint32_t>(frames));
  for (const auto& t : tags) b.bytes.insert(b.bytes.end(), t.begin(), t.end());
  b.bytes.push_back(0);
  b.bytes.push_back(0);
  const auto size = static_cast<uint32_t>(b.bytes.size());
  for (int i = 0; i < 4; ++i) b.bytes[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
  return b.bytes;
}

}  // namespace swftest
