#include <algorithm>
#include <string>

#include "define_readers.h"
#include "inflate.h"
#include "movie_data.h"
#include "place_object.h"
#include "tag_codes.h"

namespace player {
namespace {

struct TagView {
  uint16_t code = 0;
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// The next tag header of `in`; a length reaching past the end is cut to what
// is there (a movie truncated in its last tag keeps the frames before it).
bool NextTag(BitReader& in, TagView& tag) {
  if (in.left() < 2) return false;
  const uint16_t head = in.U16();
  tag.code = static_cast<uint16_t>(head >> 6);
  size_t length = head & 0x3f;
  if (length == 0x3f) {
    if (in.left() < 4) return false;
    length = in.U32();
  }
  length = std::min(length, in.left());
  tag.data = in.here();
  tag.size = length;
  in.Skip(length);
  return true;
}

class Reader {
 public:
  explicit Reader(MovieData& movie) : movie_(movie) {}

  // Walks a timeline's tags: the root's (definitions allowed) or a sprite's.
  std::string Walk(BitReader& in, Timeline& timeline, bool root, int depth);

 private:
  std::string Define(const TagView& tag, int depth);
  void Warn(const std::string& text) {
    if (movie_.warnings.size() < 100) movie_.warnings.push_back(text);
  }
  void Put(uint16_t id, Character&& c) {
    movie_.characters[id] = std::make_shared<const Character>(std::move(c));
  }

  MovieData& movie_;
  std::vector<uint8_t> jpegTables_;
  int64_t pixelBudget_ = kMaxTotalBitmapPixels;
  size_t shapeBudget_ = kMaxShapeElements;
  size_t timelineBudget_ = kMaxTimelineTags;
};

std::string Reader::Walk(BitReader& in, Timeline& timeline, bool root, int depth) {
  std::vector<FrameTag> frame;
  TagView tag;
  while (NextTag(in, tag)) {
    if (tag.code == kTagEnd) break;
    const bool control = tag.code == kTagShowFrame || tag.code == kTagPlaceObject || tag.code == kTagPlaceObject2 ||
                         tag.code == kTagPlaceObject3 || tag.code == kTagRemoveObject ||
                         tag.code == kTagRemoveObject2 || tag.code == kTagDoAction ||
                         tag.code == kTagDoInitAction || tag.code == kTagFrameLabel;
    if (control && timelineBudget_-- == 0)
      return "the movie's timelines exceed the cap of " + std::to_string(kMaxTimelineTags) + " frames and tags";
    BitReader body(tag.data, tag.size);
    switch (tag.code) {
      case kTagShowFrame:
        if (timeline.frames.size() >= kMaxFrames)
          return "more than " + std::to_string(kMaxFrames) + " frames in one timeline (the cap)";
        timeline.frames.push_back(std::move(frame));
        frame.clear();
        break;
      case kTagPlaceObject:
      case kTagPlaceObject2:
      case kTagPlaceObject3: {
        FrameTag t;
        t.kind = FrameTag::kPlace;
        const int version = tag.code == kTagPlaceObject ? 1 : tag.code == kTagPlaceObject2 ? 2 : 3;
        if (ReadPlaceObject(body, version, movie_.version, t.place)) frame.push_back(std::move(t));
        else Warn("damaged PlaceObject skipped");
        break;
      }
      case kTagRemoveObject:
      case kTagRemoveObject2: {
        FrameTag t;
        t.kind = FrameTag::kRemove;
        if (tag.code == kTagRemoveObject) body.U16();
        t.depth = body.U16();
        if (!body.failed()) frame.push_back(std::move(t));
        break;
      }
      case kTagDoAction: {
        FrameTag t;
        t.kind = FrameTag::kAction;
        t.actions.assign(tag.data, tag.data + tag.size);
        frame.push_back(std::move(t));
        break;
      }
      case kTagDoInitAction: {
        FrameTag t;
        t.kind = FrameTag::kInitAction;
        t.spriteId = body.U16();
        t.actions.assign(body.here(), body.here() + body.left());
        frame.push_back(std::move(t));
        break;
      }
      case kTagFrameLabel: {
        FrameTag t;
        t.kind = FrameTag::kLabel;
        t.label = body.String();
        frame.push_back(std::move(t));
        break;
      }
      case kTagDoAbc:
      case kTagDoAbc2:
        return "the movie uses ActionScript 3, which this player does not run";
      default:
        if (root) {
          std::string error = Define(tag, depth);
          if (!error.empty()) return error;
        }
        break;
    }
  }
  if (!frame.empty()) timeline.frames.push_back(std::move(frame));
  if (timeline.frames.empty()) timeline.frames.emplace_back();
  return "";
}

std::string Reader::Define(const TagView& tag, int depth) {
  BitReader in(tag.data, tag.size);
  switch (tag.code) {
    case kTagSetBackgroundColor:
      movie_.background = ReadRgb(in);
      return "";
    case kTagFileAttributes:
      // The ActionScript 3 flag alone is set by tools on movies with no code at
      // all: they play as timelines. Their code (DoABC) is what is refused.
      return "";
    case kTagExportAssets: {
      const uint16_t count = in.U16();
      for (uint16_t i = 0; i < count && !in.failed(); ++i) {
        const uint16_t id = in.U16();
        std::string name = in.String();
        if (!in.failed()) movie_.exports[name] = id;
      }
      return "";
    }
    case kTagJpegTables:
      jpegTables_.assign(tag.data, tag.data + tag.size);
      return "";
    default:
      break;
  }
  const uint16_t id = in.U16();
  if (in.failed()) return "";
  switch (tag.code) {
    case kTagDefineShape:
    case kTagDefineShape2:
    case kTagDefineShape3:
    case kTagDefineShape4: {
      ShapeDef s;
      const int version = tag.code == kTagDefineShape ? 1 : tag.code == kTagDefineShape2 ? 2
                          : tag.code == kTagDefineShape3 ? 3 : 4;
      if (ReadDefineShape(in, version, s, shapeBudget_)) Put(id, std::move(s));
      else Warn("damaged shape " + std::to_string(id) + " skipped");
      break;
    }
    case kTagDefineMorphShape:
    case kTagDefineMorphShape2: {
      MorphDef m;
      if (ReadDefineMorphShape(in, tag.code == kTagDefineMorphShape ? 1 : 2, m, shapeBudget_)) Put(id, std::move(m));
      else Warn("damaged morph shape " + std::to_string(id) + " skipped");
      break;
    }
    case kTagDefineBitsLossless:
    case kTagDefineBitsLossless2:
    case kTagDefineBits:
    case kTagDefineBitsJpeg2:
    case kTagDefineBitsJpeg3:
    case kTagDefineBitsJpeg4: {
      BitmapDef b;
      const std::string error =
          tag.code == kTagDefineBitsLossless || tag.code == kTagDefineBitsLossless2
              ? ReadLossless(in, tag.code == kTagDefineBitsLossless ? 1 : 2, b, pixelBudget_)
              : ReadJpegBitmap(in, tag.code, jpegTables_, b, pixelBudget_);
      if (error.empty()) Put(id, std::move(b));
      else Warn("bitmap " + std::to_string(id) + ": " + error);
      break;
    }
    case kTagDefineFont: {
      FontDef f;
      if (ReadDefineFont(in, f, shapeBudget_)) Put(id, std::move(f));
      break;
    }
    case kTagDefineFontInfo:
    case kTagDefineFontInfo2: {
      auto it = movie_.characters.find(id);
      if (it != movie_.characters.end() && std::holds_alternative<FontDef>(*it->second)) {
        FontDef f = std::get<FontDef>(*it->second);
        ReadFontInfo(in, tag.code == kTagDefineFontInfo ? 1 : 2, f);
        Put(id, std::move(f));
      }
      break;
    }
    case kTagDefineFont2:
    case kTagDefineFont3: {
      FontDef f;
      if (ReadDefineFont23(in, tag.code == kTagDefineFont2 ? 2 : 3, f, shapeBudget_)) Put(id, std::move(f));
      else Warn("damaged font " + std::to_string(id) + " skipped");
      break;
    }
    case kTagDefineText:
    case kTagDefineText2: {
      TextDef t;
      if (ReadDefineText(in, tag.code == kTagDefineText ? 1 : 2, t)) Put(id, std::move(t));
      break;
    }
    case kTagDefineEditText: {
      EditTextDef e;
      if (ReadDefineEditText(in, e)) Put(id, std::move(e));
      break;
    }
    case kTagDefineButton:
    case kTagDefineButton2: {
      ButtonDef b;
      if (ReadDefineButton(in, tag.code == kTagDefineButton ? 1 : 2, b)) Put(id, std::move(b));
      break;
    }
    case kTagDefineSprite: {
      SpriteDef s;
      s.timeline.frameCount = in.U16();
      if (depth > 0) return "";  // sprites do not nest in their definitions
      BitReader body(in.here(), in.left());
      std::string error = Walk(body, s.timeline, false, depth + 1);
      if (!error.empty()) return error;
      Put(id, std::move(s));
      break;
    }
    default:
      break;  // sounds, video, metadata and the rest: read past
  }
  if (shapeBudget_ == 0)
    return "the movie's shapes exceed the cap of " + std::to_string(kMaxShapeElements) + " records and styles";
  return "";
}

}  // namespace

std::string ReadMovie(const std::vector<uint8_t>& bytes, MovieData& movie) {
  if (bytes.size() < 8) return "not a Flash movie: too short";
  const char kind = static_cast<char>(bytes[0]);
  if ((kind != 'F' && kind != 'C' && kind != 'Z') || bytes[1] != 'W' || bytes[2] != 'S')
    return "not a Flash movie: no FWS or CWS signature";
  if (kind == 'Z') return "LZMA-compressed movies (ZWS) are not supported";
  movie.version = bytes[3];
  const size_t declared = static_cast<size_t>(bytes[4]) | static_cast<size_t>(bytes[5]) << 8 |
                          static_cast<size_t>(bytes[6]) << 16 | static_cast<size_t>(bytes[7]) << 24;
  std::vector<uint8_t> inflated;
  const std::vector<uint8_t>* body = &bytes;
  size_t start = 8;
  if (kind == 'C') {
    if (declared > kMaxMovieBytes)
      return "the movie inflates to " + std::to_string(declared) + " bytes, above the cap of " +
             std::to_string(kMaxMovieBytes);
    inflated.reserve(declared > 8 ? declared - 8 : 0);
    const std::string error = Inflate(bytes.data() + 8, bytes.size() - 8, kMaxMovieBytes, inflated);
    if (inflated.empty() && !error.empty()) return "compressed movie: " + error;
    body = &inflated;
    start = 0;
  }
  BitReader in(body->data() + start, body->size() - start);
  movie.stage = ReadRect(in);
  movie.frameRate = in.U16() / 256.0;
  movie.root.frameCount = in.U16();
  if (in.failed()) return "movie header cut short";
  Reader reader(movie);
  return reader.Walk(in, movie.root, true, 0);
}

}  // namespace player
