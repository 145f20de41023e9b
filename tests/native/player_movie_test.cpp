// The player's reader and timelines: our inflate against zlib, frame
// advance and goto against timelines written with swf_writer.h, masks, and
// hostile movies that must be refused or capped, never crash or hang.
#include <zlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "format/inflate.h"
#include "movie/player.h"
#include "swf_writer.h"

namespace {

using namespace swftest;
using Bytes = std::vector<uint8_t>;

Bytes Deflate(const Bytes& data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
  out.resize(size);
  return out;
}

TEST(PlayerInflate, DecodesWhatZlibWritesAtEveryLevel) {
  std::mt19937 random(7);
  Bytes noise(70000), text, zeros(100000, 0);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  while (text.size() < 90000) {
    const std::string word = "frame" + std::to_string(random() % 97) + (random() % 3 ? " " : "\n");
    text.insert(text.end(), word.begin(), word.end());
  }
  for (const Bytes* data : {&noise, &text, &zeros}) {
    for (int level : {0, 1, 6, 9}) {
      Bytes out;
      const Bytes stream = Deflate(*data, level);
      EXPECT_EQ(player::Inflate(stream.data(), stream.size(), data->size(), out), "") << level;
      EXPECT_EQ(out, *data) << "level " << level;
      // Every cut before the checksum ends with a message, never past the
      // data (the checksum itself goes unread: movies are often cut there).
      for (size_t cut = 0; cut + 4 < stream.size(); cut += 1 + stream.size() / 40) {
        Bytes part;
        EXPECT_NE(player::Inflate(stream.data(), cut, data->size(), part), "");
        EXPECT_LE(part.size(), data->size());
      }
      // One byte short of room: the cap, named.
      Bytes capped;
      EXPECT_NE(player::Inflate(stream.data(), stream.size(), data->size() - 1, capped).find("cap"),
                std::string::npos);
    }
  }
}

player::Rgba Pixel(const player::Image& image, int x, int y) {
  const uint8_t* p = &image.rgba[static_cast<size_t>((y * image.width + x) * 4)];
  return {p[0], p[1], p[2], p[3]};
}

// Which of red, blue or white (the stage) is at pixel (x, 5).
char At(const player::Image& image, int x) {
  const player::Rgba c = Pixel(image, x, 5);
  if (c.r > 200 && c.g < 50 && c.b < 50) return 'R';
  if (c.b > 200 && c.r < 50) return 'B';
  if (c.r > 200 && c.g > 200 && c.b > 200) return '.';
  return '?';
}

// Probes 4 spots 20 pixels apart: "R..." is red at x = 5 only.
std::string Row(const player::Movie& movie) {
  const player::Image image = movie.Render();
  std::string row;
  for (int x = 5; x < 80; x += 20) row += At(image, x);
  return row;
}

Bytes Timelines(bool removeSprite) {
  std::vector<Bytes> tags{RectShape(1, 0, 0, 200, 200, 0xff0000ff), RectShape(2, 0, 0, 200, 200, 0x0000ffff),
                          Sprite(10, 3,
                                 {PlaceObject2({1, 1, 0, 0}), ShowFrame(), PlaceObject2({1, 0, 400, 0, true}),
                                  ShowFrame(), PlaceObject2({1, 0, 800, 0, true}), ShowFrame()}),
                          PlaceObject2({1, 10}), ShowFrame(), ShowFrame(), ShowFrame()};
  if (removeSprite) {
    tags.push_back(Remove2(1));
    tags.push_back(PlaceObject2({2, 2, 1200, 0}));
  }
  tags.push_back(ShowFrame());
  return Movie(100, 20, 4, tags);
}

TEST(PlayerTimeline, RootAndSpritesAdvanceLoopAndRebuild) {
  struct Case {
    bool removeSprite;
    std::vector<std::string> rows;  // after 1, 2, 3... frames
  };
  const Case cases[] = {
      // The sprite plays its own three frames, looping, while the root's
      // four frames loop around it: the same instance throughout.
      {false, {"R...", ".R..", "..R.", "R...", ".R..", "..R.", "R..."}},
      // Removed on the root's last frame; the loop back places a new one,
      // which starts at its first frame, and takes the blue square away.
      {true, {"R...", ".R..", "..R.", "...B", "R...", ".R..", "..R.", "...B"}},
  };
  for (const Case& c : cases) {
    std::string error;
    auto movie = player::Movie::Load(Timelines(c.removeSprite), error);
    ASSERT_TRUE(movie) << error;
    for (size_t i = 0; i < c.rows.size(); ++i) {
      if (i > 0) movie->Advance(1);
      EXPECT_EQ(Row(*movie), c.rows[i]) << "after " << i + 1 << " frames, removal " << c.removeSprite;
    }
  }
}

TEST(PlayerTimeline, GotoBackKeepsInstancesPlacedByTheSameTag) {
  std::string error;
  auto movie = player::Movie::Load(Timelines(true), error);
  ASSERT_TRUE(movie) << error;
  movie->Advance(2);
  auto sprite = movie->root().list.at(1).clip;
  player::Dictionary dictionary(movie->data());
  player::TimelinePlayer timeline(dictionary);
  timeline.GotoFrame(movie->root(), 1, 0);
  EXPECT_EQ(movie->root().list.at(1).clip, sprite);  // placed in frame 0: kept
  timeline.GotoFrame(movie->root(), 3, 0);
  EXPECT_EQ(movie->root().list.count(1), 0u);
  timeline.GotoFrame(movie->root(), 0, 0);
  ASSERT_EQ(movie->root().list.count(1), 1u);
  EXPECT_NE(movie->root().list.at(1).clip, sprite);  // removed in between: a new one
  EXPECT_EQ(movie->root().list.at(1).clip->frame, 0);
}

TEST(PlayerRender, ClipDepthMasksTheDepthsAboveIt) {
  // A 20-pixel mask at depth 1 over depths 2 and 3; depth 4 lies outside it.
  const Bytes bytes =
      Movie(100, 20, 1,
            {RectShape(1, 0, 0, 400, 400, 0x00ff00ff), RectShape(2, 0, 0, 1200, 400, 0xff0000ff),
             RectShape(3, 0, 0, 400, 400, 0x0000ffff), PlaceObject2({1, 1, 0, 0, false, 3}),
             PlaceObject2({2, 2, 0, 0}), PlaceObject2({4, 3, 1200, 0}), ShowFrame()});
  std::string error;
  auto movie = player::Movie::Load(bytes, error);
  ASSERT_TRUE(movie) << error;
  EXPECT_EQ(Row(*movie), "R..B");  // the mask itself is not drawn
}

TEST(PlayerHostile, RefusedWithAMessageOrCapped) {
  Bytes zws = Movie(10, 10, 1, {ShowFrame()});
  zws[0] = 'Z';
  Bytes bigCws{'C', 'W', 'S', 8, 0, 0, 0, 0x40, 0x78, 0x9c};
  // A sprite that places itself: nesting stops at the cap.
  const Bytes selfNesting = Movie(10, 10, 1, {Sprite(5, 1, {PlaceObject2({1, 5}), PlaceObject2({2, 5}),
                                                            ShowFrame()}),
                                              PlaceObject2({1, 5}), ShowFrame()});
  Bits lossless;
  lossless.U16(9);
  lossless.U8(5);
  lossless.U16(5000);
  lossless.U16(5000);
  // Two bytes a frame: 70 sprites of 16000 frames (each timeline's own cap)
  // make a million frames in 2 MiB of movie.
  const std::vector<Bytes> sixteenThousand(16000, ShowFrame());
  std::vector<Bytes> sprites;
  for (int id = 1; id <= 70; ++id) sprites.push_back(Sprite(id, 16000, sixteenThousand));
  const Bytes frames = Movie(10, 10, 1, sprites);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* error;  // "" when the movie loads
  };
  const Case cases[] = {
      {"empty", {}, "too short"},
      {"no signature", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}, "signature"},
      {"LZMA", zws, "LZMA"},
      {"ActionScript 3 code", Movie(10, 10, 1, {Tag(82, {1, 2, 3}), ShowFrame()}), "ActionScript 3"},
      {"inflates past the cap", bigCws, "cap of 67108864"},
      {"a million frames", frames, "cap of 1048576 frames and tags"},
      {"header cut short", Bytes{'F', 'W', 'S', 8, 0, 0, 0, 0, 0xff}, "cut short"},
      {"sprite in itself", selfNesting, ""},
      {"25 Mi pixel bitmap", Movie(10, 10, 1, {Tag(20, lossless.bytes), ShowFrame()}), ""},
      {"tag longer than the file", Movie(10, 10, 1, {Bytes{0xbf, 0x00, 0xff, 0xff, 0xff, 0x7f, 1, 2}}), ""},
  };
  for (const Case& c : cases) {
    std::string error;
    auto movie = player::Movie::Load(c.bytes, error);
    if (*c.error) {
      EXPECT_FALSE(movie) << c.name;
      EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
      continue;
    }
    ASSERT_TRUE(movie) << c.name << ": " << error;
    movie->Advance(3);
    EXPECT_EQ(movie->Render(32, 32).width, 32) << c.name;
  }
  std::string error;
  auto capped = player::Movie::Load(cases[8].bytes, error);
  ASSERT_TRUE(capped);
  ASSERT_FALSE(capped->data().warnings.empty());
  EXPECT_NE(capped->data().warnings[0].find("cap of 16777216"), std::string::npos)
      << capped->data().warnings[0];
}

}  // namespace

namespace {

// Counts the pixels of row `y` close to `want`.
int Count(const player::Image& image, int y, player::Rgba want) {
  int n = 0;
  for (int x = 0; x < image.width; ++x) {
    const player::Rgba c = Pixel(image, x, y);
    n += std::abs(c.r - want.r) < 40 && std::abs(c.g - want.g) < 40 && std::abs(c.b - want.b) < 40;
  }
  return n;
}

TEST(PlayerRender, MorphsFollowTheirRatio) {
  // 10 pixels wide and red at ratio 0, 50 wide and blue at 65535.
  const struct {
    int ratio;
    int width;
    player::Rgba color;
  } cases[] = {{0, 10, {255, 0, 0, 255}}, {32768, 30, {128, 0, 128, 255}}, {65535, 50, {0, 0, 255, 255}}};
  for (const auto& c : cases) {
    Place place{1, 1};
    place.ratio = c.ratio;
    const Bytes bytes = Movie(100, 20, 1, {MorphRect(1, 200, 1000, 400, 0xff0000ff, 0x0000ffff),
                                           PlaceObject2(place), ShowFrame()});
    std::string error;
    auto movie = player::Movie::Load(bytes, error);
    ASSERT_TRUE(movie) << error;
    EXPECT_NEAR(Count(movie->Render(), 10, c.color), c.width, 1) << "ratio " << c.ratio;
  }
}

TEST(PlayerRender, ColourTransformsComposeThroughSprites) {
  // A red square in a sprite; the inner placement and the sprite's own each
  // transform colour, the outer applied after the inner.
  struct Case {
    const char* name;
    Place inner, outer;
    player::Rgba want;
  };
  Place none{1, 1}, toBlue{1, 1}, halfRed{1, 10}, plusGreen{1, 10}, swap{1, 10};
  toBlue.cx = true;
  toBlue.mul[0] = 0;
  toBlue.add[2] = 255;
  halfRed.cx = true;
  halfRed.mul[0] = 128;
  plusGreen.cx = true;
  plusGreen.add[1] = 255;
  swap.cx = true;
  swap.mul[2] = 0;  // takes away the blue the inner added
  none.character = 1;
  Place plainSprite{1, 10};
  const Case cases[] = {
      {"plain", none, plainSprite, {255, 0, 0, 255}},
      {"inner only", toBlue, plainSprite, {0, 0, 255, 255}},
      {"outer only", none, halfRed, {128, 0, 0, 255}},
      {"both add up", toBlue, plusGreen, {0, 255, 255, 255}},
      {"outer after inner", toBlue, swap, {0, 0, 0, 255}},
  };
  for (const Case& c : cases) {
    const Bytes bytes = Movie(20, 20, 1, {RectShape(1, 0, 0, 400, 400, 0xff0000ff),
                                          Sprite(10, 1, {PlaceObject2(c.inner), ShowFrame()}),
                                          PlaceObject2(c.outer), ShowFrame()});
    std::string error;
    auto movie = player::Movie::Load(bytes, error);
    ASSERT_TRUE(movie) << error;
    const player::Rgba got = Pixel(movie->Render(), 10, 10);
    EXPECT_NEAR(got.r, c.want.r, 2) << c.name;
    EXPECT_NEAR(got.g, c.want.g, 2) << c.name;
    EXPECT_NEAR(got.b, c.want.b, 2) << c.name;
  }
}

TEST(PlayerHostile, CutAndFlippedSeedMoviesNeverCrash) {
  // The fuzzer's seeds, each cut at many points and with bytes flipped: the
  // reader must refuse or play every one, under the sanitizers.
  std::mt19937 random(11);
  int played = 0;
  for (const char* name : {"visual_simple_shapes_masks.swf", "from_shumway_acid_acid-text-escape.swf",
                           "visual_blend_modes_layer_alpha.swf", "jpeg-bitmaps.swf",
                           "from_shumway_invalidClipDepth.swf", "visual_cache_as_bitmap_avm2_button.swf",
                           "visual_cache_as_bitmap_morph.swf"}) {
    std::ifstream in(std::string(SSI_MOVIE_SEEDS) + "/" + name, std::ios::binary);
    const Bytes movie((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(movie.size(), 100u) << name;
    for (int i = 0; i < 40; ++i) {
      Bytes damaged(movie.begin(), movie.begin() + static_cast<std::ptrdiff_t>(8 + random() % (movie.size() - 8)));
      if (i % 2)
        for (int k = 0; k < 4; ++k) damaged[8 + random() % (damaged.size() - 8)] ^= static_cast<uint8_t>(1u << (random() % 8));
      std::string error;
      auto played_movie = player::Movie::Load(damaged, error);
      if (!played_movie) {
        EXPECT_FALSE(error.empty());
        continue;
      }
      ++played;
      played_movie->Advance(2);
      EXPECT_EQ(played_movie->Render(40, 30).rgba.size(), 40u * 30u * 4u);
    }
  }
  EXPECT_GT(played, 100);  // cut movies keep the frames before the cut
}

}  // namespace

namespace {

TEST(PlayerRender, FillsMeetingOnAnEdgeLeaveNoSeam) {
  // Red (0..10.5 px) and blue (10.5..21 px) squares sharing the edge at
  // x = 210 twips: red on its fill1 side, blue on its fill0 side. Pixel 10
  // is half of each, with none of the white stage between them.
  Bits b;
  b.U16(1);
  b.Rect(0, 420, 0, 400);
  b.U8(2);
  for (uint32_t rgba : {0xff0000ffu, 0x0000ffffu}) {
    b.U8(0);
    b.U8(rgba >> 24); b.U8((rgba >> 16) & 0xff); b.U8((rgba >> 8) & 0xff); b.U8(rgba & 0xff);
  }
  b.U8(0);
  b.U(2, 4); b.U(0, 4);  // two fill bits, no line bits
  auto style = [&](bool move, int x, int y, int fill0, int fill1) {
    b.U(0, 1);
    b.U((fill1 >= 0 ? 4u : 0u) | (fill0 >= 0 ? 2u : 0u) | (move ? 1u : 0u), 5);
    if (move) { b.U(12, 5); b.S(x, 12); b.S(y, 12); }
    if (fill0 >= 0) b.U(static_cast<uint32_t>(fill0), 2);
    if (fill1 >= 0) b.U(static_cast<uint32_t>(fill1), 2);
  };
  auto edge = [&](int dx, int dy) { b.U(1, 1); b.U(1, 1); b.U(10, 4); b.U(1, 1); b.S(dx, 12); b.S(dy, 12); };
  style(true, 0, 0, 0, 1);
  edge(210, 0);
  style(false, 0, 0, 2, -1);
  edge(0, 400);  // the shared edge
  style(false, 0, 0, 0, -1);
  edge(-210, 0);
  edge(0, -400);
  style(true, 210, 0, 0, 2);
  edge(210, 0);
  edge(0, 400);
  edge(-210, 0);
  b.U(0, 1); b.U(0, 5);
  b.Flush();
  const Bytes bytes = Movie(21, 20, 1, {Tag(32, b.bytes), PlaceObject2({1, 1}), ShowFrame()});
  std::string error;
  auto movie = player::Movie::Load(bytes, error);
  ASSERT_TRUE(movie) << error;
  const player::Image image = movie->Render();
  const struct {
    int x;
    player::Rgba want;
  } probes[] = {{5, {255, 0, 0, 255}}, {10, {128, 0, 128, 255}}, {15, {0, 0, 255, 255}}};
  for (const auto& p : probes) {
    const player::Rgba got = Pixel(image, p.x, 10);
    EXPECT_NEAR(got.r, p.want.r, 3) << p.x;
    EXPECT_NEAR(got.g, p.want.g, 3) << p.x;
    EXPECT_NEAR(got.b, p.want.b, 3) << p.x;
  }
}

}  // namespace

namespace {

// Hand-assembled AVM1: just the few actions the join below needs.
struct Asm {
  Bytes b;
  void Op(uint8_t code) { b.push_back(code); }
  void Op(uint8_t code, const Bytes& data) {
    b.push_back(code);
    b.push_back(static_cast<uint8_t>(data.size()));
    b.push_back(static_cast<uint8_t>(data.size() >> 8));
    b.insert(b.end(), data.begin(), data.end());
  }
  void Str(const std::string& s) {
    Bytes d{0};
    d.insert(d.end(), s.begin(), s.end());
    d.push_back(0);
    Op(0x96, d);
  }
  void Int(uint32_t v) { Op(0x96, {7, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
  void Var(const std::string& name) { Str(name); Op(0x1c); }
  // object.method(args), the result dropped; args pushed last to first.
  void Call(const std::string& object, const std::string& method, const std::vector<uint32_t>& ints,
            const std::vector<std::string>& strings = {}) {
    for (auto it = ints.rbegin(); it != ints.rend(); ++it) Int(*it);
    for (auto it = strings.rbegin(); it != strings.rend(); ++it) Str(*it);
    Int(static_cast<uint32_t>(ints.size() + strings.size()));
    Var(object);
    Str(method);
    Op(0x52);
    Op(0x17);
  }
};

}  // namespace

TEST(PlayerScript, FrameScriptAttachesMovesAndDrawsOnTheDisplayList) {
  // Sprite 2 (a red 20-pixel square) is exported as "sq". The root's script
  // attaches it at x 20, gives it an onEnterFrame that moves it 20 pixels
  // right each frame, draws a blue square at x 60 in an empty clip above it,
  // and asks for an fscommand, which is only recorded.
  Asm move;
  move.Var("this");
  move.Str("_x");
  move.Var("this");
  move.Str("_x");
  move.Op(0x4e);
  move.Int(20);
  move.Op(0x47);
  move.Op(0x4f);
  Bytes function{0, 0, 0, uint8_t(move.b.size()), uint8_t(move.b.size() >> 8)};  // no name, no parameters

  Asm s;
  s.Int(1), s.Str("a"), s.Str("sq"), s.Int(3), s.Var("this"), s.Str("attachMovie"), s.Op(0x52), s.Op(0x17);
  s.Var("a"), s.Str("_x"), s.Int(20), s.Op(0x4f);
  s.Var("a"), s.Str("onEnterFrame"), s.Op(0x9b, function);
  s.b.insert(s.b.end(), move.b.begin(), move.b.end());
  s.Op(0x4f);
  s.Call("this", "createEmptyMovieClip", {2}, {"d"});
  s.Call("d", "beginFill", {0x0000ff, 100});
  s.Call("d", "moveTo", {60, 0});
  s.Call("d", "lineTo", {80, 0});
  s.Call("d", "lineTo", {80, 20});
  s.Call("d", "lineTo", {60, 20});
  s.Call("d", "endFill", {});
  s.Op(0x83, {'F', 'S', 'C', 'o', 'm', 'm', 'a', 'n', 'd', ':', 'q', 'u', 'i', 't', 0, 0});
  s.Op(0);

  Bits exports;
  exports.U16(1), exports.U16(2), exports.Str("sq");
  const Bytes bytes = Movie(100, 20, 1,
                            {RectShape(1, 0, 0, 400, 400, 0xff0000ff), Sprite(2, 1, {PlaceObject2({1, 1}), ShowFrame()}),
                             Tag(56, exports.bytes), Tag(12, s.b), ShowFrame()});
  std::string error;
  auto movie = player::Movie::Load(bytes, error, {true, [] { return 0.0; }});
  ASSERT_TRUE(movie) << error;
  const char* rows[] = {".R.B", "..RB", "...B"};  // at x 60 the drawn clip, one depth up, covers it
  for (int frame = 0; frame < 3; ++frame) {
    if (frame > 0) movie->Advance(1);
    EXPECT_EQ(Row(*movie), rows[frame]) << "frame " << frame + 1;
  }
  ASSERT_NE(movie->scripts(), nullptr);
  EXPECT_TRUE(movie->scripts()->scriptErrors().empty());
  EXPECT_EQ(movie->scripts()->urlRequests(), std::vector<std::string>{"FSCommand:quit "});
}
