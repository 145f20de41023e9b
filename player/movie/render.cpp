#include "render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "raster/fill.h"
#include "raster/filter.h"
#include "raster/stroke.h"
#include "text_layout.h"

namespace player {
namespace {

Matrix ToMatrix(const SwfMatrix& m) { return {m.a, m.b, m.c, m.d, m.tx, m.ty}; }
Rgba ToRgba(const Color& c) { return {c.r, c.g, c.b, c.a}; }

ColorTransform ToCx(const CxForm& c) {
  ColorTransform cx;
  for (int i = 0; i < 4; ++i) {
    cx.mul[i] = c.mul[i];
    cx.add[i] = c.add[i];
  }
  return cx;
}

std::vector<Edge> Transform(const std::vector<Edge>& edges, const Matrix& m) {
  std::vector<Edge> out;
  out.reserve(edges.size());
  for (const Edge& e : edges) out.push_back({Apply(m, e.from), Apply(m, e.control), Apply(m, e.to), e.curved});
  return out;
}

double Scale(const Matrix& m) { return std::sqrt(std::fabs(m.a * m.d - m.b * m.c)); }

Filter ToFilter(const FilterRecord& r) {
  Filter f;
  f.blurX = r.blurX;
  f.blurY = r.blurY;
  f.passes = std::clamp(r.passes, 1, 15);
  f.color = ToRgba(r.color);
  f.highlight = ToRgba(r.highlight);
  f.angle = r.angle;
  f.distance = r.distance;
  f.strength = r.strength;
  f.inner = r.inner;
  f.knockout = r.knockout;
  f.hideObject = !r.compositeSource;
  switch (r.kind) {
    case FilterRecord::kDropShadow: f.kind = Filter::Kind::DropShadow; break;
    case FilterRecord::kGlow:
    case FilterRecord::kGradientGlow: f.kind = Filter::Kind::Glow; break;
    case FilterRecord::kBevel:
    case FilterRecord::kGradientBevel:
      f.kind = Filter::Kind::Bevel;
      f.place = r.onTop ? Filter::Place::Full : r.inner ? Filter::Place::Inner : Filter::Place::Outer;
      f.color = ToRgba(r.color);
      f.highlight = ToRgba(r.highlight);
      break;
    case FilterRecord::kColorMatrix:
      f.kind = Filter::Kind::ColorMatrix;
      std::copy(std::begin(r.matrix), std::end(r.matrix), std::begin(f.matrix));
      break;
    default: f.kind = Filter::Kind::Blur; break;
  }
  return f;
}

struct Box {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  bool Empty() const { return x0 > x1; }
  void Add(Point p) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
  void Add(const Rect& r, const Matrix& m) {
    if (r.xmin > r.xmax || r.ymin > r.ymax) return;
    const double xs[2] = {static_cast<double>(r.xmin), static_cast<double>(r.xmax)};
    const double ys[2] = {static_cast<double>(r.ymin), static_cast<double>(r.ymax)};
    for (double x : xs)
      for (double y : ys) Add(Apply(m, {x, y}));
  }
};

// The bounds of what a character draws, under `m`, axis-aligned.
// With `filterPixels`, `m` maps to pixels and the reach of the filters of
// the clips inside is added.
void AddBounds(const Dictionary& dictionary, uint16_t id, const DisplayObject* o, const Matrix& m, Box& box,
               int nesting, bool filterPixels = false) {
  if (nesting > kMaxNesting) return;
  if (o && o->clip && o->clip->drawing)
    for (const StyleGroup& g : o->clip->drawing->groups) {
      for (const FillSet& f : g.fills)
        for (const Edge& edge : f.edges) box.Add(Apply(m, edge.to));
      for (const LineRuns& l : g.lines)
        for (const auto& run : l.runs)
          for (const Edge& edge : run) {
            box.Add(Apply(m, edge.from));
            box.Add(Apply(m, edge.to));
          }
    }
  if (o && o->clip && o->clip->bitmap) {
    box.Add(Apply(m, {0, 0}));
    box.Add(Apply(m, {o->clip->bitmap->width * 20.0, o->clip->bitmap->height * 20.0}));
  }
  const CharacterEntry* e = dictionary.Find(id);
  const Character* c = e ? e->def.get() : nullptr;
  if (!c && o && o->clip) {
    for (const auto& [depth, child] : o->clip->list)
      AddBounds(dictionary, child.characterId, &child, m * child.matrix, box, nesting + 1, filterPixels);
    return;
  }
  if (!c) return;
  if (const auto* shape = std::get_if<ShapeDef>(c)) box.Add(shape->shape.bounds, m);
  else if (const auto* morph = std::get_if<MorphDef>(c)) {
    box.Add(morph->startBounds, m);
    box.Add(morph->endBounds, m);
  }
  else if (const auto* text = std::get_if<TextDef>(c)) box.Add(text->bounds, m * ToMatrix(text->matrix));
  else if (const auto* edit = std::get_if<EditTextDef>(c)) box.Add(edit->bounds, m);
  else if (o && o->clip)
    for (const auto& [depth, child] : o->clip->list) {
      if (!filterPixels || child.filters.empty()) {
        AddBounds(dictionary, child.characterId, &child, m * child.matrix, box, nesting + 1, filterPixels);
        continue;
      }
      Box own;
      AddBounds(dictionary, child.characterId, &child, m * child.matrix, own, nesting + 1, filterPixels);
      if (own.Empty()) continue;
      double reach = 0;
      for (const FilterRecord& f : child.filters) reach += FilterMargin(ToFilter(f));
      box.Add({own.x0 - reach, own.y0 - reach});
      box.Add({own.x1 + reach, own.y1 + reach});
    }
}

}  // namespace

bool ObjectBounds(const DisplayObject& o, const Dictionary& dictionary, const Matrix& m, double box[4]) {
  Box b;
  AddBounds(dictionary, o.characterId, &o, m, b, 0);
  if (b.Empty()) return false;
  box[0] = b.x0, box[1] = b.y0, box[2] = b.x1, box[3] = b.y1;
  return true;
}

namespace {

Image Crop(const Image& image, int x0, int y0, int w, int h) {
  Image out;
  out.width = w;
  out.height = h;
  out.rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (int y = 0; y < h; ++y) {
    const auto from = image.rgba.begin() + (static_cast<std::ptrdiff_t>(y0 + y) * image.width + x0) * 4;
    std::copy(from, from + w * 4, out.rgba.begin() + static_cast<std::ptrdiff_t>(y) * w * 4);
  }
  return out;
}

void Paste(Image& image, const Image& part, int x0, int y0) {
  for (int y = 0; y < part.height; ++y) {
    const auto from = part.rgba.begin() + static_cast<std::ptrdiff_t>(y) * part.width * 4;
    std::copy(from, from + part.width * 4,
              image.rgba.begin() + (static_cast<std::ptrdiff_t>(y0 + y) * image.width + x0) * 4);
  }
}

class Renderer {
 public:
  Renderer(const Dictionary& dictionary, RenderScratch& scratch) : dictionary_(dictionary), scratch_(scratch) {}

  void DrawList(const DisplayList& list, const Matrix& m, const ColorTransform& cx, Image& target,
                const Image* clip, int nesting);

  // Where each clip stands on the target, for the masks scripts set.
  void Place(const DisplayList& list, const Matrix& m, int nesting) {
    if (nesting > kMaxNesting) return;
    for (const auto& [depth, o] : list) {
      if (!o.clip) continue;
      if (o.clip->isMask) placed_[o.clip.get()] = {&o, m * o.matrix};
      Place(o.clip->list, m * o.matrix, nesting + 1);
    }
  }

 private:
  std::map<const Clip*, std::pair<const DisplayObject*, Matrix>> placed_;
  void DrawObject(const DisplayObject& o, const Matrix& m, const ColorTransform& cx, Image& target,
                  const Image* clip, int nesting);
  void DrawCharacter(uint16_t id, const DisplayObject* o, const Matrix& m, const ColorTransform& cx,
                     Image& target, const Image* clip, int nesting);
  void DrawGeometry(const ShapeGeometry& g, const Matrix& m, const ColorTransform& cx, Image& target,
                    const Image* clip);
  void DrawText(const TextDef& text, const Matrix& m, const ColorTransform& cx, Image& target,
                const Image* clip);
  void DrawEditText(const EditTextDef& text, const Matrix& m, const ColorTransform& cx, Image& target,
                    const Image* clip);
  Paint MakePaint(const FillStyle& f, const Matrix& m) const;
  void DrawFills(const StyleGroup& group, FillRule rule, const Matrix& m, const ColorTransform& cx, Image& target,
                 const Image* clip);

  const Dictionary& dictionary_;
  int layers_ = 0;
  int inLayer_ = 0;  // Layer-blended ancestors of what is being drawn
  RenderScratch& scratch_;  // DrawFills' sum and part
};

Paint Renderer::MakePaint(const FillStyle& f, const Matrix& m) const {
  Paint p;
  p.matrix = m * ToMatrix(f.matrix);
  switch (f.type) {
    case kFillSolid:
      p.kind = Paint::Kind::Solid;
      p.color = ToRgba(f.color);
      break;
    case kFillLinear:
    case kFillRadial:
    case kFillFocal:
      p.kind = f.type == kFillLinear ? Paint::Kind::Linear : f.type == kFillRadial ? Paint::Kind::Radial
                                                                                  : Paint::Kind::Focal;
      // Stops stay in the order given: a ratio below the one before counts
      // as that one, and a ratio equal to it one step further, so that each
      // of several stops at one ratio shows as a thin band.
      for (size_t i = 0; i < f.stops.size(); ++i) {
        int ratio = f.stops[i].ratio;
        if (i > 0) {
          const int before = p.stops.back().ratio;
          ratio = ratio == f.stops[i - 1].ratio ? std::min(before + 1, 255) : std::max(ratio, before);
        }
        p.stops.push_back({static_cast<uint8_t>(ratio), ToRgba(f.stops[i].color)});
      }
      p.spread = f.spread == 1 ? Spread::Reflect : f.spread == 2 ? Spread::Repeat : Spread::Pad;
      p.interpolation = f.interpolation == 1 ? Interpolation::LinearRgb : Interpolation::Rgb;
      p.focal = static_cast<float>(std::clamp(f.focal, -1.0, 1.0));
      break;
    default: {
      const CharacterEntry* e = dictionary_.Find(f.bitmapId);
      p.kind = Paint::Kind::Bitmap;
      if (!e || e->image.width == 0) {
        // A missing bitmap: the format's players paint such fills in red.
        p.kind = Paint::Kind::Solid;
        p.color = {255, 0, 0, 255};
        break;
      }
      p.bitmap = &e->image;
      p.repeat = f.type == kFillBitmapRepeat || f.type == kFillBitmapRepeatHard;
      p.smooth = f.type == kFillBitmapRepeat || f.type == kFillBitmapClipped;
      break;
    }
  }
  return p;
}

// The pixel rectangle, within `image`, that `edges` touch; false if none.
bool PixelBox(const std::vector<Edge>& edges, const Image& image, int& x0, int& y0, int& x1, int& y1) {
  Box box;
  for (const Edge& e : edges) {
    box.Add(e.from);
    box.Add(e.control);
    box.Add(e.to);
  }
  if (box.Empty() || !std::isfinite(box.x0 + box.x1 + box.y0 + box.y1)) return false;
  x0 = static_cast<int>(std::clamp(std::floor(box.x0) - 1, 0.0, 1.0 * image.width));
  y0 = static_cast<int>(std::clamp(std::floor(box.y0) - 1, 0.0, 1.0 * image.height));
  x1 = static_cast<int>(std::clamp(std::ceil(box.x1) + 1, 0.0, 1.0 * image.width));
  y1 = static_cast<int>(std::clamp(std::ceil(box.y1) + 1, 0.0, 1.0 * image.height));
  return x1 > x0 && y1 > y0;
}

// Adds the premultiplied pixels of `part` in [x0, x1) x [y0, y1) into `sum`
// (same size), saturating, and leaves them transparent in `part`.
void MoveAdd(Image& part, Image& sum, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y) {
    const size_t row = (static_cast<size_t>(y) * static_cast<size_t>(sum.width) + static_cast<size_t>(x0)) * 4;
    uint8_t* from = &part.rgba[row];
    uint8_t* to = &sum.rgba[row];
    for (int x = x0; x < x1;) {
      // Most of a fill's box lies outside it: skip 16 clear pixels at a time.
      if (x + 16 <= x1) {
        uint64_t words[8];
        std::memcpy(words, from, sizeof words);
        uint64_t any = 0;
        for (uint64_t w : words) any |= w;
        if (any == 0) {
          x += 16;
          from += 64;
          to += 64;
          continue;
        }
      }
      uint32_t word;
      std::memcpy(&word, to, 4);
      if (word == 0) std::memcpy(to, from, 4);  // the first fill here: nothing to add to
      else
        for (int k = 0; k < 4; ++k) to[k] = static_cast<uint8_t>(std::min(255, to[k] + from[k]));
      std::memset(from, 0, 4);
      ++x;
      from += 4;
      to += 4;
    }
  }
}

// Source-over of premultiplied `sum` onto `target` at (x0, y0), through
// the clip's alpha when there is one.
void OverInto(Image& target, const Image& sum, int x0, int y0, const Image* clip) {
  for (int y = 0; y < sum.height; ++y) {
    const uint8_t* from = &sum.rgba[static_cast<size_t>(y) * static_cast<size_t>(sum.width) * 4];
    const size_t at = (static_cast<size_t>(y0 + y) * static_cast<size_t>(target.width) + static_cast<size_t>(x0)) * 4;
    uint8_t* to = &target.rgba[at];
    const uint8_t* mask = clip ? &clip->rgba[at] : nullptr;
    for (int x = 0; x < sum.width; ++x, from += 4, to += 4) {
      const unsigned k = mask ? mask[static_cast<size_t>(x) * 4 + 3] : 255u;
      if (from[3] == 0 || k == 0) continue;
      if (from[3] == 255 && k == 255) {
        std::memcpy(to, from, 4);
        continue;
      }
      const unsigned a = (from[3] * k + 127) / 255;
      for (int c = 0; c < 4; ++c) {
        const unsigned s = (from[c] * k + 127) / 255;
        to[c] = static_cast<uint8_t>(std::min(255u, s + (to[c] * (255 - a) + 127) / 255));
      }
    }
  }
}

Matrix Shift(int x, int y) { return {1, 0, 0, 1, -static_cast<double>(x), -static_cast<double>(y)}; }

void Renderer::DrawFills(const StyleGroup& group, FillRule rule, const Matrix& m, const ColorTransform& cx,
                         Image& target, const Image* clip) {
  size_t used = 0;
  std::vector<Edge> all;
  for (const auto& fill : group.fills) used += fill.edges.empty() ? 0u : 1u;
  if (used < 2 || !group.sharedEdges || layers_ >= kMaxLayers) {
    for (const auto& fill : group.fills)
      if (!fill.edges.empty()) FillEdges(target, Transform(fill.edges, m), rule, MakePaint(fill.style, m), cx, clip);
    return;
  }
  // Fills sharing an edge each cover part of its pixels; drawn one over the
  // other, the background would show through there as a seam. Their
  // coverages are summed instead, then the sum drawn once.
  std::vector<std::vector<Edge>> placed;
  for (const auto& fill : group.fills) {
    placed.push_back(Transform(fill.edges, m));
    all.insert(all.end(), placed.back().begin(), placed.back().end());
  }
  int x0, y0, x1, y1;
  if (!PixelBox(all, target, x0, y0, x1, y1)) return;
  ++layers_;
  // Kept between calls: no fresh pages every frame. `part` is all clear
  // between calls (each fill is moved out of it into the sum).
  Image& sum = scratch_.sum;
  Image& part = scratch_.part;
  sum.width = part.width = x1 - x0;
  sum.height = part.height = y1 - y0;
  sum.rgba.assign(static_cast<size_t>(sum.width) * static_cast<size_t>(sum.height) * 4, 0);
  part.rgba.resize(sum.rgba.size(), 0);
  const Matrix shift = Shift(x0, y0);
  for (size_t i = 0; i < group.fills.size(); ++i) {
    int fx0, fy0, fx1, fy1;
    if (placed[i].empty() || !PixelBox(placed[i], target, fx0, fy0, fx1, fy1)) continue;
    FillEdges(part, Transform(placed[i], shift), rule, MakePaint(group.fills[i].style, shift * m), cx, nullptr);
    MoveAdd(part, sum, std::max(fx0, x0) - x0, std::max(fy0, y0) - y0, std::min(fx1, x1) - x0,
            std::min(fy1, y1) - y0);
  }
  OverInto(target, sum, x0, y0, clip);
  --layers_;
}

void Renderer::DrawGeometry(const ShapeGeometry& g, const Matrix& m, const ColorTransform& cx, Image& target,
                            const Image* clip) {
  const FillRule rule = g.nonZero ? FillRule::NonZero : FillRule::EvenOdd;
  for (const StyleGroup& group : g.groups) {
    DrawFills(group, rule, m, cx, target, clip);
    for (const auto& line : group.lines) {
      if (line.runs.empty()) continue;
      // Stroked where the matrix is a uniform scale, then carried the rest of
      // the way: a clip stretched one way widens its lines that way too.
      const double s = Scale(m);
      if (!(s > 1e-9) || !std::isfinite(s)) continue;
      const Matrix uniform{s, 0, 0, s, 0, 0};
      const Matrix rest = m * Matrix{1 / s, 0, 0, 1 / s, 0, 0};
      Stroke stroke;
      const double twips = line.style.width;
      stroke.width = (line.style.noHScale && line.style.noVScale) ? twips / 20.0 : twips * s;
      stroke.startCap = static_cast<Cap>(std::min<uint8_t>(line.style.startCap, 2));
      stroke.endCap = static_cast<Cap>(std::min<uint8_t>(line.style.endCap, 2));
      stroke.join = static_cast<Join>(std::min<uint8_t>(line.style.join, 2));
      stroke.miterLimit = line.style.miterLimit;
      std::vector<std::vector<Edge>> runs;
      for (const auto& run : line.runs) runs.push_back(Transform(run, uniform));
      Paint paint;
      if (line.style.hasFill) paint = MakePaint(line.style.fill, m);
      else paint.color = ToRgba(line.style.color);
      FillEdges(target, Transform(StrokeEdges(runs, stroke), rest), FillRule::NonZero, paint, cx, clip);
    }
  }
}

void Renderer::DrawText(const TextDef& text, const Matrix& m, const ColorTransform& cx, Image& target,
                        const Image* clip) {
  const Matrix base = m * ToMatrix(text.matrix);
  for (const TextRun& run : text.runs) {
    const CharacterEntry* font = dictionary_.Find(run.fontId);
    if (!font || !std::holds_alternative<FontDef>(*font->def)) continue;
    const double scale = run.height / std::get<FontDef>(*font->def).emSquare;
    double x = run.x;
    for (const TextGlyph& glyph : run.glyphs) {
      if (glyph.index < font->glyphs.size()) {
        const Matrix place{scale, 0, 0, scale, x, static_cast<double>(run.y)};
        ShapeGeometry g = font->glyphs[glyph.index];
        if (!g.groups.empty() && !g.groups[0].fills.empty()) g.groups[0].fills[0].style.color = run.color;
        DrawGeometry(g, base * place, cx, target, clip);
      }
      x += glyph.advance;
    }
  }
}

void Renderer::DrawEditText(const EditTextDef& text, const Matrix& m, const ColorTransform& cx, Image& target,
                            const Image* clip) {
  if (text.border) {
    const Rect& b = text.bounds;
    const double x0 = b.xmin, x1 = b.xmax, y0 = b.ymin, y1 = b.ymax;
    const std::vector<Edge> box{{{x0, y0}, {x0, y0}, {x1, y0}}, {{x1, y0}, {x1, y0}, {x1, y1}},
                                {{x1, y1}, {x1, y1}, {x0, y1}}, {{x0, y1}, {x0, y1}, {x0, y0}}};
    Paint white;
    white.color = {255, 255, 255, 255};
    FillEdges(target, Transform(box, m), FillRule::NonZero, white, cx, clip);
    Stroke hair;
    hair.width = 1;
    hair.join = Join::Miter;
    Paint black;
    FillEdges(target, StrokeEdges({Transform(box, m)}, hair), FillRule::NonZero, black, cx, clip);
  }
  const FontLookup fonts = [this, &text](const std::string& face, bool bold, bool italic, uint16_t& id) {
    if (!face.empty()) {
      const uint16_t styled = dictionary_.FindFont(face, bold, italic);
      if (styled) id = styled;
    }
    const CharacterEntry* e = dictionary_.Find(id);
    if (!e || !std::holds_alternative<FontDef>(*e->def)) {
      id = text.fontId;
      e = dictionary_.Find(id);
    }
    return e && std::holds_alternative<FontDef>(*e->def) ? &std::get<FontDef>(*e->def) : nullptr;
  };
  // Fields sit on whole pixels.
  Matrix snapped = m;
  snapped.tx = std::floor(m.tx);
  snapped.ty = std::floor(m.ty);
  for (const PlacedGlyph& glyph : LayoutEditText(text, fonts)) {
    const CharacterEntry* font = dictionary_.Find(glyph.fontId);
    if (!font || glyph.index >= font->glyphs.size()) continue;
    ShapeGeometry g = font->glyphs[glyph.index];
    if (!g.groups.empty() && !g.groups[0].fills.empty()) g.groups[0].fills[0].style.color = glyph.color;
    DrawGeometry(g, snapped * glyph.matrix, cx, target, clip);
  }
}

void Renderer::DrawCharacter(uint16_t id, const DisplayObject* o, const Matrix& m, const ColorTransform& cx,
                             Image& target, const Image* clip, int nesting) {
  if (nesting > kMaxNesting) return;
  if (o && o->clip && o->clip->drawing) DrawGeometry(*o->clip->drawing, m, cx, target, clip);
  if (o && o->clip && o->clip->bitmap) {
    const Image& image = *o->clip->bitmap;
    const double w = image.width * 20.0, h = image.height * 20.0;
    const std::vector<Edge> quad{{{0, 0}, {0, 0}, {w, 0}}, {{w, 0}, {w, 0}, {w, h}},
                                 {{w, h}, {w, h}, {0, h}}, {{0, h}, {0, h}, {0, 0}}};
    Paint paint;
    paint.kind = Paint::Kind::Bitmap;
    paint.bitmap = &image;
    paint.repeat = false;
    paint.smooth = o->clip->smoothBitmap;
    paint.matrix = m * Matrix{20, 0, 0, 20, 0, 0};
    FillEdges(target, Transform(quad, m), FillRule::NonZero, paint, cx, clip);
  }
  const CharacterEntry* e = dictionary_.Find(id);
  if (!e) {
    if (o && o->clip) DrawList(o->clip->list, m, cx, target, clip, nesting + 1);  // a script's empty clip
    return;
  }
  const Character& c = *e->def;
  if (std::holds_alternative<ShapeDef>(c)) {
    DrawGeometry(e->geometry, m, cx, target, clip);
  } else if (const auto* morph = std::get_if<MorphDef>(&c)) {
    DrawGeometry(BuildMorph(*morph, o ? o->ratio : 0), m, cx, target, clip);
  } else if (const auto* text = std::get_if<TextDef>(&c)) {
    DrawText(*text, m, cx, target, clip);
  } else if (const auto* edit = std::get_if<EditTextDef>(&c)) {
    if (o && o->hasText) {
      EditTextDef set = *edit;
      set.text = o->text;
      set.html = false;
      DrawEditText(set, m, cx, target, clip);
    } else {
      DrawEditText(*edit, m, cx, target, clip);
    }
  } else if (std::holds_alternative<ButtonDef>(c) && o && o->clip) {
    DrawList(o->clip->list, m, cx, target, clip, nesting + 1);
  } else if (const auto* button = std::get_if<ButtonDef>(&c)) {
    std::vector<const ButtonRecord*> up;
    for (const ButtonRecord& r : button->records)
      if (r.states & 1) up.push_back(&r);
    std::stable_sort(up.begin(), up.end(),
                     [](const ButtonRecord* a, const ButtonRecord* b) { return a->depth < b->depth; });
    for (const ButtonRecord* r : up)
      DrawCharacter(r->characterId, nullptr, m * ToMatrix(r->matrix), cx * ToCx(r->cxform), target, clip,
                    nesting + 1);
  } else if (std::holds_alternative<SpriteDef>(c)) {
    if (o && o->clip) DrawList(o->clip->list, m, cx, target, clip, nesting + 1);
  }
}

void Renderer::DrawObject(const DisplayObject& o, const Matrix& m, const ColorTransform& cx, Image& target,
                          const Image* clip, int nesting) {
  if (o.opaqueBackground) {
    Box box;
    AddBounds(dictionary_, o.characterId, &o, Matrix{}, box, nesting);
    if (!box.Empty()) {
      const std::vector<Edge> quad{{{box.x0, box.y0}, {box.x0, box.y0}, {box.x1, box.y0}},
                                   {{box.x1, box.y0}, {box.x1, box.y0}, {box.x1, box.y1}},
                                   {{box.x1, box.y1}, {box.x1, box.y1}, {box.x0, box.y1}},
                                   {{box.x0, box.y1}, {box.x0, box.y1}, {box.x0, box.y0}}};
      Paint paint;
      paint.color = ToRgba(o.background);
      paint.color.a = 255;
      FillEdges(target, Transform(quad, m), FillRule::NonZero, paint, ColorTransform{}, clip);
    }
  }
  // Alpha and erase act on the layer of a Layer-blended ancestor; with none
  // there is nothing for them to act on and they draw nothing.
  if ((o.blend == BlendMode::Alpha || o.blend == BlendMode::Erase) && inLayer_ == 0) return;
  const bool aside = (o.blend != BlendMode::Normal || !o.filters.empty()) && layers_ < kMaxLayers;
  if (!aside) {
    DrawCharacter(o.characterId, &o, m, cx, target, clip, nesting);
    return;
  }
  // The layer covers what the object draws, its filters' reach around it,
  // and no more of the target.
  Box box;
  AddBounds(dictionary_, o.characterId, &o, m, box, nesting, true);
  double reach = 2;
  for (const FilterRecord& f : o.filters) reach += FilterMargin(ToFilter(f));
  if (box.Empty() || !std::isfinite(box.x0 + box.x1 + box.y0 + box.y1 + reach)) return;
  const int x0 = static_cast<int>(std::clamp(std::floor(box.x0 - reach), 0.0, 1.0 * target.width));
  const int y0 = static_cast<int>(std::clamp(std::floor(box.y0 - reach), 0.0, 1.0 * target.height));
  const int x1 = static_cast<int>(std::clamp(std::ceil(box.x1 + reach), 0.0, 1.0 * target.width));
  const int y1 = static_cast<int>(std::clamp(std::ceil(box.y1 + reach), 0.0, 1.0 * target.height));
  if (x1 <= x0 || y1 <= y0) return;
  ++layers_;
  Image layer = MakeImage(x1 - x0, y1 - y0, {0, 0, 0, 0});
  const Matrix shifted = Matrix{1, 0, 0, 1, -static_cast<double>(x0), -static_cast<double>(y0)} * m;
  const bool opensLayer = o.blend == BlendMode::Layer;
  inLayer_ += opensLayer ? 1 : 0;
  DrawCharacter(o.characterId, &o, shifted, cx, layer, nullptr, nesting);
  inLayer_ -= opensLayer ? 1 : 0;
  for (const FilterRecord& f : o.filters) ApplyFilter(layer, ToFilter(f));
  Image under = Crop(target, x0, y0, x1 - x0, y1 - y0);
  const Image clipped = clip ? Crop(*clip, x0, y0, x1 - x0, y1 - y0) : Image{};
  Composite(under, layer, o.blend == BlendMode::Layer ? BlendMode::Normal : o.blend, clip ? &clipped : nullptr);
  Paste(target, under, x0, y0);
  --layers_;
}

void Renderer::DrawList(const DisplayList& list, const Matrix& m, const ColorTransform& cx, Image& target,
                        const Image* clip, int nesting) {
  struct Mask {
    int until;
    Image image;
  };
  std::vector<Mask> masks;
  for (const auto& [depth, o] : list) {
    while (!masks.empty() && depth > masks.back().until) {
      masks.pop_back();
      --layers_;
    }
    const Image* active = masks.empty() ? clip : &masks.back().image;
    const Matrix om = m * o.matrix;
    if (o.clipDepth > 0) {
      if (layers_ >= kMaxLayers) continue;
      ++layers_;
      Mask mask{o.clipDepth, MakeImage(target.width, target.height, {0, 0, 0, 0})};
      ColorTransform opaque;
      opaque.mul[3] = 0;
      opaque.add[3] = 255;
      DrawCharacter(o.characterId, &o, om, opaque, mask.image, active, nesting);
      masks.push_back(std::move(mask));
      continue;
    }
    if (!o.visible || (o.clip && o.clip->isMask)) continue;
    if (o.clip && !o.clip->mask.expired()) {
      auto found = placed_.find(o.clip->mask.lock().get());
      if (found != placed_.end() && layers_ < kMaxLayers) {
        ++layers_;
        Image mask = MakeImage(target.width, target.height, {0, 0, 0, 0});
        ColorTransform opaque;
        opaque.mul[3] = 0;
        opaque.add[3] = 255;
        DrawCharacter(found->second.first->characterId, found->second.first, found->second.second, opaque, mask,
                      active, nesting);
        DrawObject(o, om, cx * o.cxform, target, &mask, nesting);
        --layers_;
        continue;
      }
    }
    DrawObject(o, om, cx * o.cxform, target, active, nesting);
  }
  layers_ -= static_cast<int>(masks.size());
}

}  // namespace

Image Render(const DisplayList& list, const Dictionary& dictionary, const Matrix& view, int width, int height,
             Rgba background, RenderScratch* scratch) {
  Image target = MakeImage(width, height, background);
  RenderScratch own;
  Renderer renderer(dictionary, scratch ? *scratch : own);
  renderer.Place(list, view, 0);
  renderer.DrawList(list, view, ColorTransform{}, target, nullptr, 0);
  return target;
}

}  // namespace player
