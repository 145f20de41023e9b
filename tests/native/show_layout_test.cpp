// The show layout in the settings record's free bytes. The expected record is
// put together byte by byte from the layout's description, and its CRC-32 was
// worked out with Python's zlib.crc32, not with our code.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "byte_file.h"
#include "cli.h"
#include "cli_scratch.h"
#include "dcl.h"
#include "le_bytes.h"
#include "example_project.h"
#include "show_layout.h"

namespace ssi {
namespace {

ShowLayout ExampleLayout() {
  ShowLayout layout;
  layout.show = ShowKind::kMovie;
  layout.order = ShowOrder::kShuffled;
  layout.transition = Transition::kWipe;
  layout.pictureSeconds = 8;
  layout.transitionMs = 400;
  layout.movie = "m.swf";
  layout.pictures = {{"a.bmp", 10}, {"b.png", 0}};
  layout.publisher = "Acme";
  layout.displayVersion = "1.2";
  return layout;
}

SettingsRecord ExampleRecordByHand() {
  SettingsRecord r;
  uint8_t* b = r.bytes.data();
  std::memcpy(b, "SSLY", 4);
  b[4] = 1;
  b[5] = 1;
  b[6] = 22;  // NamesSize
  WriteU32(b + 8, 0xDF4E6C24u);
  b[12] = 2;
  b[13] = 1;
  b[14] = 2;
  b[15] = 2;
  b[16] = 8;
  b[18] = 400 & 0xFF;
  b[19] = 400 >> 8;
  std::memcpy(b + 20, "Acme", 4);
  std::memcpy(b + 84, "1.2", 3);
  const uint8_t names[] = {5,   'm', '.', 's', 'w', 'f', 10,  0,   5,   'a', '.',
                           'b', 'm', 'p', 0,   0,   5,   'b', '.', 'p', 'n', 'g'};
  std::memcpy(b + 216, names, sizeof names);
  return r;
}

// Recomputes the checksum after a test changed the header or the names, so
// that the reader's structure checks, not the checksum, are what is tested.
void Reseal(SettingsRecord& r) {
  const size_t namesSize = static_cast<size_t>(r.bytes[6] | (r.bytes[7] << 8));
  unsigned long crc = 0xFFFFFFFFul;
  unsigned int size = 200;
  crc = dcl_crc32(reinterpret_cast<char*>(r.bytes.data() + 12), &size, &crc);
  size = static_cast<unsigned int>(namesSize > 976 ? 976 : namesSize);
  crc = dcl_crc32(reinterpret_cast<char*>(r.bytes.data() + 216), &size, &crc);
  WriteU32(r.bytes.data() + 8, static_cast<uint32_t>(~crc));
}

TEST(ShowLayout, WriterMatchesTheHandMadeRecordAndLeavesTheInstallersFieldsAlone) {
  SettingsRecord record;
  record.SetChunkCount(7);
  record.SetFirstChunkKind(3);
  std::string error;
  ASSERT_TRUE(WriteShowLayout(ExampleLayout(), record, error)) << error;
  SettingsRecord expected = ExampleRecordByHand();
  expected.SetChunkCount(7);
  expected.SetFirstChunkKind(3);
  EXPECT_EQ(record.bytes, expected.bytes);

  ShowLayout read;
  ASSERT_EQ(ReadShowLayout(ExampleRecordByHand(), read), LayoutState::kRead);
  EXPECT_EQ(read.show, ShowKind::kMovie);
  EXPECT_EQ(read.order, ShowOrder::kShuffled);
  EXPECT_EQ(read.transition, Transition::kWipe);
  EXPECT_EQ(read.pictureSeconds, 8);
  EXPECT_EQ(read.transitionMs, 400);
  EXPECT_EQ(read.movie, "m.swf");
  ASSERT_EQ(read.pictures.size(), 2u);
  EXPECT_EQ(read.pictures[0].name, "a.bmp");
  EXPECT_EQ(read.pictures[0].seconds, 10);
  EXPECT_EQ(read.pictures[1].name, "b.png");
  EXPECT_EQ(read.publisher, "Acme");
  EXPECT_EQ(read.displayVersion, "1.2");
}

TEST(ShowLayout, UntrustworthyRecordsGiveTheDefaults) {
  struct Case {
    const char* what;
    void (*change)(SettingsRecord&);
    LayoutState expected;
  };
  const Case cases[] = {
      {"no magic (an older data file)", [](SettingsRecord& r) { r.bytes[0] = 0; },
       LayoutState::kAbsent},
      {"a flipped byte", [](SettingsRecord& r) { r.bytes[230] ^= 1; }, LayoutState::kDamaged},
      {"readable only from version 2",
       [](SettingsRecord& r) {
         r.bytes[4] = r.bytes[5] = 2;
         Reseal(r);
       },
       LayoutState::kNewer},
      {"names area past its room",
       [](SettingsRecord& r) {
         r.bytes[6] = 0xD1;  // 977
         r.bytes[7] = 0x03;
         Reseal(r);
       },
       LayoutState::kDamaged},
      {"a name running past the used size",
       [](SettingsRecord& r) {
         r.bytes[6] = 21;
         Reseal(r);
       },
       LayoutState::kDamaged},
      {"bytes left over for version 1",
       [](SettingsRecord& r) {
         r.bytes[6] = 23;
         Reseal(r);
       },
       LayoutState::kDamaged},
      {"101 pictures",
       [](SettingsRecord& r) {
         r.bytes[15] = 101;
         Reseal(r);
       },
       LayoutState::kDamaged},
      {"a publisher without its NUL",
       [](SettingsRecord& r) {
         std::memset(r.bytes.data() + 20, 'x', 64);
         Reseal(r);
       },
       LayoutState::kDamaged},
  };
  for (const Case& c : cases) {
    SettingsRecord record = ExampleRecordByHand();
    c.change(record);
    ShowLayout read;
    read.movie = "left over";
    EXPECT_EQ(ReadShowLayout(record, read), c.expected) << c.what;
    if (c.expected == LayoutState::kRead) continue;
    EXPECT_TRUE(read.movie.empty() && read.pictures.empty() && read.publisher.empty()) << c.what;
    EXPECT_EQ(read.pictureSeconds, kDefaultPictureSeconds) << c.what;
  }
}

TEST(ShowLayout, ReaderBringsValuesIntoRangeAndOpensOnlyPlainNames) {
  SettingsRecord record = ExampleRecordByHand();
  uint8_t* b = record.bytes.data();
  b[4] = 3;   // a newer writer that version 1 can still read ...
  b[6] = 25;  // ... with names of its own at the end
  b[12] = 9;  // unknown show: pictures
  b[14] = 7;  // unknown transition: cut
  b[16] = 0;  // 0 seconds: the default
  b[17] = 0;
  b[18] = 0xFF;  // 65535 ms: the default
  b[19] = 0xFF;
  std::memcpy(b + 222, "\x11\x0e\x05..\\ab", 8);  // 3600+ s, and a name leaving the folder
  Reseal(record);
  ShowLayout read;
  ASSERT_EQ(ReadShowLayout(record, read), LayoutState::kRead);
  EXPECT_EQ(read.show, ShowKind::kPictures);
  EXPECT_EQ(read.transition, Transition::kCut);
  EXPECT_EQ(read.pictureSeconds, kDefaultPictureSeconds);
  EXPECT_EQ(read.transitionMs, kDefaultTransitionMs);
  ASSERT_EQ(read.pictures.size(), 1u);
  EXPECT_EQ(read.pictures[0].name, "b.png");
}

TEST(ShowLayout, WriterRefusesWhatDoesNotFitAndChangesNothingThen) {
  struct Case {
    const char* what;
    void (*change)(ShowLayout&);
  };
  const Case cases[] = {
      {"a movie show without a movie", [](ShowLayout& l) { l.movie.clear(); }},
      {"a picture outside the folder", [](ShowLayout& l) { l.pictures[0].name = "..\\x.bmp"; }},
      {"101 pictures",
       [](ShowLayout& l) {
         l.pictures.resize(101, {"p.bmp", 0});
       }},
      {"names over 976 bytes",
       [](ShowLayout& l) {
         l.pictures.assign(9, {std::string(120, 'n') + ".bmp", 0});
       }},
      {"0 seconds", [](ShowLayout& l) { l.pictureSeconds = 0; }},
      {"a 64-byte publisher", [](ShowLayout& l) { l.publisher.assign(64, 'p'); }},
      {"a 32-byte version", [](ShowLayout& l) { l.displayVersion.assign(32, 'v'); }},
  };
  for (const Case& c : cases) {
    ShowLayout layout = ExampleLayout();
    c.change(layout);
    SettingsRecord record;
    record.bytes[100] = 0x5A;
    std::string error;
    EXPECT_FALSE(WriteShowLayout(layout, record, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(record.bytes[100], 0x5A) << c.what;
  }
  // The largest list that fits still round-trips.
  ShowLayout full = ExampleLayout();
  full.pictures.assign(8, {std::string(110, 'n') + ".bmp", 3600});
  SettingsRecord record;
  std::string error;
  ASSERT_TRUE(WriteShowLayout(full, record, error)) << error;
  ShowLayout read;
  ASSERT_EQ(ReadShowLayout(record, read), LayoutState::kRead);
  EXPECT_EQ(read.pictures.size(), 8u);
}

// `ssbuild data` with the show options: the record it writes reads back as
// given, `list` shows it, and bad options are usage failures that write
// nothing.
class ShowLayoutCli : public ssbuild::CliScratch {
 protected:
  ShowLayoutCli() : CliScratch("show_layout_cli_") {}
};

TEST_F(ShowLayoutCli, DataWritesTheLayoutAndListShowsIt) {
  const std::string out = Path("show_layout_cli.ssd");
  const std::string chunk = Path("a.bmp");
  // A picture the builder's check decodes.
  ASSERT_TRUE(ssbuild::WriteWholeFile(chunk, ssbuild::DrawExampleBitmap(8, 6, 2, 2)).ok());
  std::ostringstream o, e;
  ASSERT_EQ(
      ssbuild::RunCli(
          {"data",     "-o",           out,     "--chunk",     chunk,       "--show",    "picture",
           "a.bmp:9",  "--show",       "movie", "m.swf",       "--seconds", "12",        "--order",
           "shuffled", "--transition", "cut",   "--publisher", "Acme",      "--version", "3.0"},
          o, e),
      0)
      << e.str();
  EXPECT_NE(e.str().find("m.swf, which no chunk"), std::string::npos) << e.str();
  ssbuild::Bytes image;
  ASSERT_TRUE(ssbuild::ReadWholeFile(out, image).ok());
  SettingsRecord record;
  std::memcpy(record.bytes.data(), image.data(), record.bytes.size());
  EXPECT_EQ(record.ChunkCount(), 1);
  ShowLayout read;
  ASSERT_EQ(ReadShowLayout(record, read), LayoutState::kRead);
  EXPECT_EQ(read.show, ShowKind::kMovie);
  EXPECT_EQ(read.pictureSeconds, 12);
  EXPECT_EQ(read.order, ShowOrder::kShuffled);
  EXPECT_EQ(read.transition, Transition::kCut);
  ASSERT_EQ(read.pictures.size(), 1u);
  EXPECT_EQ(read.pictures[0].seconds, 9);
  std::ostringstream listed, listErr;
  ASSERT_EQ(ssbuild::RunCli({"list", out}, listed, listErr), 0) << listErr.str();
  EXPECT_NE(listed.str().find("show layout: version 1, movie m.swf (pictures as fall-back), 12 s a "
                              "picture, shuffled, cut"),
            std::string::npos)
      << listed.str();
  EXPECT_NE(listed.str().find("publisher: Acme"), std::string::npos);

  // `build` writes the same options into the data file it carries, and
  // refuses them without one.
  const std::string stub = Path("stub.exe");
  std::string stubText = "MZ fake stub SSI-PAYLOAD-AT:~";
  stubText.append(4, '\0');
  stubText.append(200, 'x');
  ASSERT_TRUE(ssbuild::WriteWholeFile(stub, ssbuild::Bytes(stubText.begin(), stubText.end())).ok());
  const std::string setup = Path("show_layout_cli.exe");
  const std::vector<std::string> build = {
      "build",     "-o", setup, "--stub", stub, "--saver-name", "meadow", "--allow-incomplete",
      "--version", "7.1"};
  std::ostringstream bo, be;
  EXPECT_NE(ssbuild::RunCli(build, bo, be), 0);
  EXPECT_NE(be.str().find("give one"), std::string::npos) << be.str();
  std::vector<std::string> withData = build;
  withData.insert(withData.end(), {"--data-chunk", chunk});
  ASSERT_EQ(ssbuild::RunCli(withData, bo, be), 0) << be.str();
  const std::string unpacked = Path("show_layout_cli_x");
  ASSERT_EQ(ssbuild::RunCli({"extract", setup, "-C", unpacked}, bo, be), 0) << be.str();
  ASSERT_TRUE(ssbuild::ReadWholeFile(unpacked + "/meadow.ssd", image).ok());
  std::memcpy(record.bytes.data(), image.data(), record.bytes.size());
  ASSERT_EQ(ReadShowLayout(record, read), LayoutState::kRead);
  EXPECT_EQ(read.displayVersion, "7.1");

  const std::vector<std::vector<std::string>> bad = {{"--show", "slide", "a.bmp"},
                                                     {"--show", "picture"},
                                                     {"--show", "picture", "a.bmp:0"},
                                                     {"--seconds", "3601"},
                                                     {"--transition", "spin"},
                                                     {"--order", "random"},
                                                     {"--transition-ms", "-1"},
                                                     {"--show", "picture", "..\\a.bmp"},
                                                     {"--publisher", std::string(64, 'p')}};
  for (const auto& options : bad) {
    std::remove(out.c_str());
    std::vector<std::string> args = {"data", "-o", out};
    args.insert(args.end(), options.begin(), options.end());
    std::ostringstream badOut, badErr;
    EXPECT_NE(ssbuild::RunCli(args, badOut, badErr), 0) << options[0];
    EXPECT_FALSE(badErr.str().empty()) << options[0];
    EXPECT_FALSE(ssbuild::ReadWholeFile(out, image).ok()) << options[0] << ": a file was written";
  }
}

}  // namespace
}  // namespace ssi
