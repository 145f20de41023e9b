#include "place_object.h"

namespace player {

static FilterRecord ReadFilter(BitReader& in, uint8_t id) {
  FilterRecord f;
  auto blurAndFlags = [&](bool withAngle, bool withOnTop, int passBits) {
    f.blurX = in.Fixed16();
    f.blurY = in.Fixed16();
    if (withAngle) {
      f.angle = in.Fixed16();
      f.distance = in.Fixed16();
    }
    f.strength = in.Fixed8();
    f.inner = in.Flag();
    f.knockout = in.Flag();
    f.compositeSource = in.Flag();
    if (withOnTop) f.onTop = in.Flag();
    f.passes = static_cast<int>(in.UBits(passBits));
  };
  switch (id) {
    case 0:
      f.kind = FilterRecord::kDropShadow;
      f.color = ReadRgba(in);
      blurAndFlags(true, false, 5);
      break;
    case 1:
      f.kind = FilterRecord::kBlur;
      f.blurX = in.Fixed16();
      f.blurY = in.Fixed16();
      f.passes = static_cast<int>(in.UBits(5));
      in.UBits(3);
      break;
    case 2:
      f.kind = FilterRecord::kGlow;
      f.color = ReadRgba(in);
      blurAndFlags(false, false, 5);
      break;
    case 3:
      f.kind = FilterRecord::kBevel;
      f.color = ReadRgba(in);  // shadow
      f.highlight = ReadRgba(in);
      blurAndFlags(true, true, 4);
      break;
    case 4:
    case 7: {
      f.kind = id == 4 ? FilterRecord::kGradientGlow : FilterRecord::kGradientBevel;
      const uint8_t n = in.U8();
      for (int i = 0; i < n; ++i) {
        const Color c = ReadRgba(in);
        if (i == 0) f.highlight = c;
        f.color = c;  // the outermost colour stands in for the gradient
      }
      in.Skip(n);
      blurAndFlags(true, true, 4);
      break;
    }
    case 5: {
      f.kind = FilterRecord::kConvolution;
      const size_t x = in.U8(), y = in.U8();
      in.Skip(8 + 4 * x * y + 4 + 1);
      break;
    }
    case 6:
      f.kind = FilterRecord::kColorMatrix;
      for (float& v : f.matrix) v = in.Float32();
      break;
    default:
      in.Skip(in.left() + 1);
      break;
  }
  in.Align();
  return f;
}

std::vector<FilterRecord> ReadFilters(BitReader& in) {
  std::vector<FilterRecord> filters;
  const uint8_t count = in.U8();
  for (int i = 0; i < count && !in.failed(); ++i) {
    const uint8_t id = in.U8();
    filters.push_back(ReadFilter(in, id));
  }
  return filters;
}

bool ReadPlaceObject(BitReader& in, int version, int swfVersion, PlaceObject& p) {
  p.version = version;
  if (version == 1) {
    p.hasCharacter = true;
    p.hasMatrix = true;
    p.characterId = in.U16();
    p.depth = in.U16();
    p.matrix = ReadMatrix(in);
    if (!in.AtEnd()) {
      p.hasCxForm = true;
      p.cxform = ReadCxForm(in, false);
    }
    return !in.failed();
  }
  const uint8_t flags = in.U8();
  const uint8_t flags2 = version >= 3 ? in.U8() : 0;
  p.depth = in.U16();
  p.move = flags & 0x01;
  p.hasCharacter = flags & 0x02;
  p.hasMatrix = flags & 0x04;
  p.hasCxForm = flags & 0x08;
  p.hasRatio = flags & 0x10;
  p.hasName = flags & 0x20;
  p.hasClipDepth = flags & 0x40;
  p.hasClipActions = flags & 0x80;
  p.hasFilters = flags2 & 0x01;
  p.hasBlend = flags2 & 0x02;
  p.hasCache = flags2 & 0x04;
  p.hasVisible = flags2 & 0x20;
  if ((flags2 & 0x08) || ((flags2 & 0x10) && p.hasCharacter)) in.String();  // class name
  if (p.hasCharacter) p.characterId = in.U16();
  if (p.hasMatrix) p.matrix = ReadMatrix(in);
  if (p.hasCxForm) p.cxform = ReadCxForm(in, true);
  if (p.hasRatio) p.ratio = in.U16();
  if (p.hasName) p.name = in.String();
  if (p.hasClipDepth) p.clipDepth = in.U16();
  if (p.hasFilters) p.filters = ReadFilters(in);
  if (p.hasBlend) p.blendMode = in.U8();
  if (p.hasCache) p.cacheAsBitmap = in.U8() != 0;
  if (p.hasVisible) p.visible = in.U8() != 0;
  if (flags2 & 0x40) {
    p.hasBackground = true;
    p.background = ReadRgba(in);
  }
  if (p.hasClipActions && !in.failed()) p.clipActions.assign(in.here(), in.here() + in.left());
  (void)swfVersion;
  return !in.failed();
}

}  // namespace player
