// The builder: installers and data files built, read back, verified and
// refused, through the library and through the command line (in-process).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "byte_file.h"
#include "cli.h"
#include "cli_scratch.h"
#include "compression.h"
#include "console_stream.h"
#include "data_file_builder.h"
#include "data_file_examiner.h"
#include "installer_builder.h"
#include "installer_examiner.h"
#include "le_bytes.h"
#include "payload_offset_field.h"

namespace ssbuild {
namespace {

namespace fs = std::filesystem;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Repeated(const std::string& piece, size_t times) {
  Bytes out;
  for (size_t i = 0; i < times; ++i) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

// Bytes that do not implode smaller (a simple generator keeps tests repeatable).
Bytes Noise(size_t size, uint32_t seed) {
  Bytes out(size);
  for (auto& b : out) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return out;
}

// A stub of `size` bytes with one payload offset field holding 0.
Bytes MakeStub(size_t size, size_t markerAt = 100) {
  Bytes stub = Noise(size, 7);
  std::copy(ssi::kPayloadOffsetMarker, ssi::kPayloadOffsetMarker + ssi::kPayloadOffsetMarkerSize,
            stub.begin() + static_cast<std::ptrdiff_t>(markerAt));
  ssi::WriteU32(stub.data() + markerAt + ssi::kPayloadOffsetMarkerSize, 0);
  return stub;
}

// A data file with one chunk.
Bytes SmallDataFile(const Bytes& chunk) {
  DataFileInput data;
  data.chunks.push_back(ChunkSource::File(chunk, "a.swf"));
  Bytes image;
  EXPECT_TRUE(BuildDataFile(data, image).ok());
  return image;
}

// A complete installer input: every role the stub needs is filled.
InstallerInput FullInput() {
  InstallerInput in;
  in.stub = MakeStub(4000);
  in.saverName = "meadow";
  in.displayMode = 3;
  in.displayPropertiesFlag = true;
  in.entries[1].Use(Noise(3000, 1), "impborl.dll");
  in.entries[2].Use(Noise(2000, 2), "flashax.exe");
  in.entries[3].Use(Repeated("FWS movie frame ", 500), "installer.scf");
  in.entries[6].Use(Repeated("MZ program ", 800), "build/meadow.scr");
  in.entries[7].Use(Text("x"), "further.txt");
  in.entries[8].Use(SmallDataFile(Repeated("movie ", 300)), "meadow.ssd");
  in.entries[9].Use(Repeated("saver one ", 100), "saver1.dll");
  in.entries[10].Use(Bytes{}, "saver2.dll");
  return in;
}

BuiltInstaller Build(const InstallerInput& in) {
  BuiltInstaller out;
  const Status status = BuildInstaller(in, out);
  EXPECT_TRUE(status.ok()) << status.text();
  return out;
}

std::string Refusal(const InstallerInput& in) {
  BuiltInstaller out;
  const Status status = BuildInstaller(in, out);
  EXPECT_FALSE(status.ok());
  return status.text();
}

std::vector<std::string> Verify(const Bytes& image, VerifyOptions options = {}) {
  InstallerView view;
  const Status status = ReadInstaller(image, std::nullopt, view);
  if (!status.ok()) return {status.text()};
  return VerifyInstaller(image, view, options);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// Rewrites the header of a built installer through `edit`.
template <typename Edit>
void EditHeader(BuiltInstaller& built, Edit edit) {
  uint8_t* at = built.image.data() + built.payloadOffset;
  ssi::PayloadHeader h = ssi::ParsePayloadHeader(at);
  edit(h);
  ssi::SerializePayloadHeader(h, at);
}

TEST(InstallerBuilder, BuildsAPayloadThatReadsBackFieldByField) {
  const InstallerInput in = FullInput();
  const BuiltInstaller built = Build(in);
  InstallerView view;
  ASSERT_TRUE(ReadInstaller(built.image, std::nullopt, view).ok());
  EXPECT_EQ(view.payloadOffset, 4000u);
  EXPECT_EQ(ssi::ReadU32(built.image.data() + 100 + 16), 4000u);
  EXPECT_TRUE(std::equal(in.stub.begin(), in.stub.begin() + 116, built.image.begin()));
  EXPECT_TRUE(std::equal(in.stub.begin() + 120, in.stub.end(), built.image.begin() + 120));

  const ssi::PayloadHeader& h = view.header;
  EXPECT_EQ(h.displayMode, 3);
  EXPECT_EQ(h.licenceFlag, 0);
  EXPECT_EQ(h.readMeFlag, 0);
  EXPECT_EQ(h.displayPropertiesFlag, 1);
  EXPECT_EQ(h.SaverName(), "meadow");

  const ssi::PayloadEntry& stub = h.entries[0];
  EXPECT_EQ(stub.name, "install.exe");
  EXPECT_EQ(stub.startOffset, 0);
  EXPECT_EQ(stub.endOffset, 3999);
  EXPECT_EQ(stub.kind, 6);
  EXPECT_EQ(stub.compressed, 0);
  EXPECT_EQ(stub.storedSize, 0);
  EXPECT_EQ(stub.expandedSize, 4000);

  const char* names[] = {"",          "impborl.dat", "flashax.exe", "installer.scf", "",
                         "",          "meadow.scr",  "further.txt", "meadow.ssd",    "saver1.dll",
                         "saver2.dll"};
  const int32_t kinds[] = {6, 3, 3, 5, 5, 5, 2, 5, 4, 5, 5};
  int32_t next = 4000 + 3148;
  for (size_t i = 1; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const ssi::PayloadEntry& e = h.entries[i];
    EXPECT_EQ(e.name, names[i]);
    EXPECT_EQ(e.kind, kinds[i]);
    if (e.IsEmpty()) {
      EXPECT_EQ(e.startOffset, h.entries[6].startOffset);
      EXPECT_EQ(e.endOffset, e.startOffset);
      EXPECT_EQ(e.compressed, 1);
      EXPECT_EQ(e.storedSize, 0);
      EXPECT_EQ(e.expandedSize, 0);
      continue;
    }
    EXPECT_EQ(e.startOffset, next);
    EXPECT_EQ(e.expandedSize, static_cast<int32_t>(in.entries[i].bytes.size()));
    EXPECT_EQ(e.storedSize, e.compressed != 0 ? e.Length() : 0);
    Bytes content;
    ASSERT_TRUE(EntryContent(built.image, e, content).ok());
    EXPECT_EQ(content, in.entries[i].bytes);
    next = e.endOffset + 1;
  }
  EXPECT_EQ(static_cast<size_t>(next), built.image.size());
  // Noise does not shrink, the library is never imploded, text does, and an
  // empty file must be imploded because a stored entry of length 0 is refused.
  EXPECT_EQ(h.entries[1].compressed, 0);
  EXPECT_EQ(h.entries[2].compressed, 0);
  EXPECT_EQ(h.entries[3].compressed, 1);
  EXPECT_EQ(h.entries[7].compressed, 0);
  EXPECT_EQ(h.entries[10].compressed, 1);
  EXPECT_GT(h.entries[10].Length(), 0);
  EXPECT_EQ(Joined(Verify(built.image)), "");
}

TEST(InstallerBuilder, ReproducesTheOffsetsOfTheExampleLayout) {
  // The example's entry lengths, all stored: the offsets must match its table.
  InstallerInput in;
  in.stub = MakeStub(418304, 5000);
  in.saverName = "meadow";
  in.displayMode = 3;
  const size_t lengths[] = {0, 12288, 358016, 423417, 0, 0, 201819, 1404, 1528, 15102, 7457};
  for (size_t i = 1; i <= 10; ++i) {
    if (lengths[i] == 0) continue;
    in.entries[i].Use(Noise(lengths[i], static_cast<uint32_t>(i)), "f" + std::to_string(i));
    // Settings, one chunk entry and the header of an empty chunk: 1528 bytes.
    if (i == 8) in.entries[i].Use(SmallDataFile({}), "meadow.ssd");
    in.entries[i].compression.implode = false;
  }
  const BuiltInstaller built = Build(in);
  const int32_t starts[] = {0,       421452,  433740,  791756,  1215173, 1215173,
                            1215173, 1416992, 1418396, 1419924, 1435026};
  const int32_t ends[] = {418303,  433739,  791755,  1215172, 1215173, 1215173,
                          1416991, 1418395, 1419923, 1435025, 1442482};
  for (size_t i = 0; i <= 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(built.header.entries[i].startOffset, starts[i]);
    EXPECT_EQ(built.header.entries[i].endOffset, ends[i]);
  }
  EXPECT_EQ(built.image.size(), 1442483u);
  EXPECT_EQ(Joined(Verify(built.image)), "");
}

TEST(InstallerBuilder, ImplodesAsChosenPerRole) {
  InstallerInput in = FullInput();
  in.entries[1].compression = CompressionChoice{true, false, 4096};  // ignored: always stored
  in.entries[3].compression = CompressionChoice{true, true, 2048};
  in.entries[8].compression.implode = false;
  const BuiltInstaller built = Build(in);
  const auto& e = built.header.entries;
  EXPECT_EQ(e[1].compressed, 0);
  EXPECT_EQ(e[8].compressed, 0);
  // A DCL stream starts with its mode and dictionary code: 0 6 for binary
  // 4096 (as in the example), 1 5 for ASCII 2048.
  EXPECT_EQ(built.image[static_cast<size_t>(e[6].startOffset)], 0);
  EXPECT_EQ(built.image[static_cast<size_t>(e[6].startOffset) + 1], 6);
  EXPECT_EQ(built.image[static_cast<size_t>(e[3].startOffset)], 1);
  EXPECT_EQ(built.image[static_cast<size_t>(e[3].startOffset) + 1], 5);
}

TEST(InstallerBuilder, SameInputGivesTheSameBytes) {
  const BuiltInstaller a = Build(FullInput());
  const BuiltInstaller b = Build(FullInput());
  EXPECT_EQ(a.image, b.image);
}

TEST(InstallerBuilder, TrailingEmptyEntriesPointAtTheEndOfTheFile) {
  InstallerInput in = FullInput();
  in.entries[9] = EntrySource{};
  in.entries[10] = EntrySource{};
  EXPECT_NE(Refusal(in).find("entry 9 (support1) is missing"), std::string::npos);
  in.allowIncomplete = true;
  const BuiltInstaller built = Build(in);
  EXPECT_EQ(built.header.entries[8].endOffset + int64_t{1},
            static_cast<int64_t>(built.image.size()));
  EXPECT_EQ(static_cast<size_t>(built.header.entries[10].startOffset), built.image.size());
  EXPECT_EQ(Joined(Verify(built.image, VerifyOptions{true})), "");
  EXPECT_NE(Joined(Verify(built.image)).find("entry 10 (support2) is missing"), std::string::npos);
}

TEST(InstallerBuilder, RefusesWhatTheStubWouldRefuse) {
  auto refusedWith = [](auto edit, const std::string& expected) {
    InstallerInput in = FullInput();
    edit(in);
    const std::string text = Refusal(in);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
  };
  for (const char* name : {"a/b", "a\\b", "..", "c:x", "a*b", "COM\xB9", "lpt0"})
    refusedWith([&](InstallerInput& in) { in.saverName = name; }, "not a valid folder name");
  for (const char* name : {"Com\xB2.txt", "LPT\xB3", "conout$.txt"})
    refusedWith([&](InstallerInput& in) { in.entries[7].name = name; }, "not a plain file name");
  refusedWith([](InstallerInput& in) { in.saverName = ""; }, "name is empty");
  refusedWith([](InstallerInput& in) { in.saverName = std::string(65, 's'); }, "at most 64");
  refusedWith([](InstallerInput& in) { in.displayMode = 256; }, "outside 0..255");
  refusedWith([](InstallerInput& in) { in.displayMode = -1; }, "outside 0..255");
  refusedWith([](InstallerInput& in) { in.entries[7].name = "..\\x"; }, "not a plain file name");
  refusedWith([](InstallerInput& in) { in.entries[7].name = std::string(256, 'n'); },
              "at most 255");
  refusedWith([](InstallerInput& in) { in.entries[1].name = "borland.dat"; }, "impborl.dll");
  refusedWith([](InstallerInput& in) { in.entries[2].name = "FLASHAX.EXE"; },
              "exactly flashax.exe");
  refusedWith([](InstallerInput& in) { in.entries[6].name = "other.scr"; }, "meadow.scr");
  refusedWith([](InstallerInput& in) { in.entries[1].bytes.clear(); }, "length 0");
  refusedWith([](InstallerInput& in) { in.licenceFlag = true; }, "entry 4 (licence) is missing");
  refusedWith([](InstallerInput& in) { in.readMeFlag = true; }, "entry 5 (readme) is missing");
  refusedWith([](InstallerInput& in) { in.entries[3] = EntrySource{}; },
              "entry 3 (preview) is missing");
  refusedWith([](InstallerInput& in) { ssi::WriteI32(in.entries[8].bytes.data() + 212, 109); },
              "ChunkCount 109 is outside 0..108");
  refusedWith([](InstallerInput& in) { in.stub = Noise(4000, 3); }, "no payload offset marker");
  refusedWith(
      [](InstallerInput& in) {
        const Bytes second = MakeStub(100, 10);
        in.stub.insert(in.stub.end(), second.begin(), second.end());
      },
      "occurs 2 times");
  refusedWith([](InstallerInput& in) { ssi::WriteU32(in.stub.data() + 116, 1234); },
              "already holds 1234");

  // Names that land where they must are accepted, and so is a stub taken
  // from an installer, whose field already holds its own size.
  InstallerInput in = FullInput();
  in.entries[1].name = "IMPBORL";
  in.entries[6].name = "MEADOW.SCR";
  in.entries[7].name = "renamed.txt";
  ssi::WriteU32(in.stub.data() + 116, 4000);
  const BuiltInstaller built = Build(in);
  EXPECT_EQ(built.header.entries[7].name, "renamed.txt");
}

TEST(InstallerVerifier, CatchesBrokenLayouts) {
  auto problemsAfter = [](auto edit) {
    BuiltInstaller built = Build(FullInput());
    edit(built);
    return Joined(Verify(built.image));
  };
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) { h.entries[10].endOffset += 100; });
            }).find("lie outside the file"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) { h.entries[6].expandedSize += 1; });
            }).find("expands to 8800 bytes, not 8801"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) { h.entries[6].expandedSize -= 1; });
            }).find("expands to more than 8799 bytes"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              const auto at = static_cast<size_t>(b.header.entries[3].startOffset);
              b.image[at + 1] = 9;  // no such dictionary
            }).find("entry 3 (installer.scf): invalid dictionary size"),
            std::string::npos);
  BuiltInstaller badField = Build(FullInput());
  ssi::WriteU32(badField.image.data() + 116, 3999);
  InstallerView view;
  ASSERT_TRUE(ReadInstaller(badField.image, 4000u, view).ok());
  EXPECT_NE(
      Joined(VerifyInstaller(badField.image, view)).find("holds 3999, not the stub size 4000"),
      std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) {
                h.entries[4].startOffset = h.entries[4].endOffset = 0;
              });
            }).find("entry 4: empty, so StartOffset and EndOffset must both be"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) {
                h.entries[1].compressed = 1;
                h.entries[1].kind = 5;
              });
            }).find("must be kind 3"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) { h.entries[9].startOffset += 1; });
            }).find("expected"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              b.image.push_back(0);
            }).find("the file's last byte is"),
            std::string::npos);
  EXPECT_NE(problemsAfter([](BuiltInstaller& b) {
              EditHeader(b, [](ssi::PayloadHeader& h) { h.entries[0].kind = 5; });
            }).find("must describe the stub"),
            std::string::npos);
  BuiltInstaller cut = Build(FullInput());
  cut.image.resize(cut.payloadOffset + 100);
  EXPECT_NE(Joined(Verify(cut.image)).find("does not fit"), std::string::npos);
}

TEST(InstallerVerifier, ChecksTheDataFileInsideEntryEight) {
  DataFileInput data;
  data.chunks.push_back(ChunkSource::File(Repeated("movie ", 400), "a.swf"));
  Bytes ssd;
  ASSERT_TRUE(BuildDataFile(data, ssd).ok());
  ssi::WriteI32(ssd.data() + ssi::kSettingsRecordSize + 260, 1 << 30);  // chunk 1 far away
  InstallerInput in = FullInput();
  in.entries[8].Use(ssd, "meadow.ssd");
  EXPECT_NE(Refusal(in).find("chunk 1 (a.swf): its header"), std::string::npos);
  in.allowIncomplete = true;
  const BuiltInstaller built = Build(in);
  EXPECT_NE(Joined(Verify(built.image)).find("entry 8 (meadow.ssd): chunk 1 (a.swf): its header"),
            std::string::npos);
}

TEST(DataFileBuilder, RoundTripsChunksAndCopies) {
  DataFileInput in;
  in.settings = Noise(ssi::kSettingsRecordSize, 11);
  in.firstChunkKind = 3;
  in.chunks.push_back(ChunkSource::Copy("preview.swf"));
  in.chunks.push_back(ChunkSource::File(Repeated("movie ", 400), "dir/movie.swf"));
  in.chunks.back().kind = 7;
  in.chunks.push_back(ChunkSource::File(Noise(500, 4), "noise.bin"));
  in.chunks.push_back(ChunkSource::File(Bytes{}, "empty.txt"));
  in.chunks.push_back(ChunkSource::Copy("sub\\copy.swf"));
  in.chunks.back().compression.implode = true;
  Bytes image;
  ASSERT_TRUE(BuildDataFile(in, image).ok());
  Bytes again;
  ASSERT_TRUE(BuildDataFile(in, again).ok());
  EXPECT_EQ(image, again);

  DataFileView view;
  ASSERT_TRUE(ReadDataFile(image, view).ok());
  EXPECT_EQ(view.settings.ChunkCount(), 5);
  EXPECT_EQ(view.settings.FirstChunkKind(), 3);
  Bytes settings = in.settings;
  ssi::WriteI32(settings.data() + 212, 5);
  ssi::WriteI32(settings.data() + 1192, 3);
  EXPECT_TRUE(std::equal(settings.begin(), settings.end(), image.begin()));

  ASSERT_EQ(view.entries.size(), 5u);
  EXPECT_EQ(view.entries[0].kind, 3);
  EXPECT_EQ(view.entries[0].name, "preview.swf");
  EXPECT_EQ(view.entries[0].chunkOffset, 0);
  EXPECT_EQ(view.entries[4].name, "sub\\copy.swf");
  EXPECT_EQ(view.entries[4].chunkOffset, 0);
  EXPECT_EQ(view.entries[1].name, "movie.swf");
  EXPECT_EQ(view.entries[1].kind, 7);
  EXPECT_EQ(view.entries[1].chunkOffset, static_cast<int32_t>(1220 + 5 * 264));

  ssi::ChunkHeader header;
  Bytes content;
  ASSERT_TRUE(ChunkContent(image, view.entries[1], header, content).ok());
  EXPECT_EQ(content, Repeated("movie ", 400));
  EXPECT_EQ(header.kind, 7);
  EXPECT_EQ(header.compressed, 1);
  EXPECT_EQ(std::string(header.magic.begin(), header.magic.end()), "CHUN");
  ASSERT_TRUE(ChunkContent(image, view.entries[2], header, content).ok());
  EXPECT_EQ(header.compressed, 0);
  EXPECT_EQ(header.storedSize, 0);
  EXPECT_EQ(content, Noise(500, 4));
  ASSERT_TRUE(ChunkContent(image, view.entries[3], header, content).ok());
  EXPECT_EQ(header.expandedSize, 0);
  EXPECT_EQ(static_cast<size_t>(view.entries[3].chunkOffset) + ssi::kChunkHeaderSize, image.size());
  EXPECT_EQ(Joined(VerifyDataFile(image)), "");
}

TEST(DataFileBuilder, RefusesMoreThan108ChunksAndUnsafeNames) {
  DataFileInput in;
  for (int i = 0; i < 108; ++i)
    in.chunks.push_back(ChunkSource::File(Text("c"), "c" + std::to_string(i)));
  Bytes image;
  ASSERT_TRUE(BuildDataFile(in, image).ok());
  EXPECT_EQ(Joined(VerifyDataFile(image)), "");
  in.chunks.push_back(ChunkSource::File(Text("c"), "one-too-many"));
  Status status = BuildDataFile(in, image);
  EXPECT_NE(status.text().find("at most 108"), std::string::npos);

  auto refusal = [](ChunkSource chunk) {
    DataFileInput one;
    one.chunks.push_back(std::move(chunk));
    Bytes out;
    return BuildDataFile(one, out).text();
  };
  ChunkSource named = ChunkSource::File(Text("x"), "x");
  named.name = "..\\x";
  EXPECT_NE(refusal(named).find("not a plain file name"), std::string::npos);
  named.name = "lpt\xB9.swf";
  EXPECT_NE(refusal(named).find("not a plain file name"), std::string::npos);
  named.name = std::string(256, 'n');
  EXPECT_NE(refusal(named).find("at most 255"), std::string::npos);
  named.name = "x";
  named.kind = 3;
  EXPECT_NE(refusal(named).find("Kind 3"), std::string::npos);
  EXPECT_NE(refusal(ChunkSource::Copy("..\\up.swf")).find("not a relative path inside"),
            std::string::npos);
  EXPECT_NE(refusal(ChunkSource::Copy("C:\\x.swf")).find("not a relative path inside"),
            std::string::npos);
  EXPECT_NE(refusal(ChunkSource::Copy("sub\\COM\xB3.swf")).find("not a relative path inside"),
            std::string::npos);
  EXPECT_NE(refusal(ChunkSource::Copy("")).find("no chunk name"), std::string::npos);
  DataFileInput badSettings;
  badSettings.settings = Bytes(1219);
  EXPECT_NE(BuildDataFile(badSettings, image).text().find("1220"), std::string::npos);
}

TEST(DataFileVerifier, CatchesDamagedFiles) {
  DataFileInput in;
  in.chunks.push_back(ChunkSource::File(Repeated("movie ", 400), "a.swf"));
  in.chunks.push_back(ChunkSource::File(Text("stored"), "b.txt"));
  in.chunks.push_back(ChunkSource::Copy("c.swf"));
  Bytes good;
  ASSERT_TRUE(BuildDataFile(in, good).ok());
  auto problemsAfter = [&](auto edit) {
    Bytes image = good;
    edit(image);
    return Joined(VerifyDataFile(image));
  };
  const size_t entry1 = ssi::kSettingsRecordSize;
  const size_t entry2 = entry1 + ssi::kChunkEntrySize;
  const size_t entry3 = entry2 + ssi::kChunkEntrySize;
  const auto header1 = static_cast<size_t>(ssi::ReadI32(good.data() + entry1 + 260));
  EXPECT_NE(
      problemsAfter([&](Bytes& b) { ssi::WriteI32(b.data() + 212, 109); }).find("ChunkCount 109"),
      std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              ssi::WriteI32(b.data() + entry2 + 260, -5);
            }).find("chunk 2 (b.txt): its header"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) { b.resize(b.size() - 1); }).find("run past the end"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              ssi::WriteI32(b.data() + header1 + 8, 2401);
            }).find("not 2401"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              ssi::WriteI32(b.data() + header1 + 12, 0);
            }).find("StoredSize 0"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              std::memcpy(b.data() + entry2 + 2, "a/../../x\0", 10);
            }).find("file-name part is not a plain file name"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              std::memcpy(b.data() + entry3 + 2, "..\\x\0", 5);
            }).find("a copy's name must be a relative path"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) { b[entry1 + 2] = 0; }).find("chunk 1 has no name"),
            std::string::npos);
  EXPECT_NE(problemsAfter([&](Bytes& b) {
              std::memset(b.data() + entry2 + 2, 'n', ssi::kChunkNameFieldSize);
            }).find("chunk 2 (" + std::string(256, 'n') + "): the name fills its 256-byte field"),
            std::string::npos);
  // A folder part in front of a plain file-name part is what the installer strips.
  EXPECT_EQ(problemsAfter([&](Bytes& b) { std::memcpy(b.data() + entry2 + 2, "..\\b.txt\0", 9); }),
            "");
}

TEST(Codec, ExplodeNamesTheFault) {
  Bytes out;
  const Bytes text = Repeated("abcabcabd", 100);
  Bytes imploded;
  ASSERT_TRUE(ImplodeRaw(text, false, 1024, imploded).ok());
  EXPECT_TRUE(Explode(imploded.data(), imploded.size(), 1 << 20, out).ok());
  EXPECT_EQ(out, text);
  EXPECT_EQ(Explode(imploded.data(), imploded.size() / 2, 1 << 20, out).text(), "truncated data");
  EXPECT_EQ(Explode(imploded.data(), imploded.size(), 10, out).text(),
            "output larger than 10 bytes");
  const Bytes badDict = {0, 9, 0, 0};
  EXPECT_EQ(Explode(badDict.data(), badDict.size(), 100, out).text(), "invalid dictionary size");
  const Bytes badMode = {5, 6, 0, 0};
  EXPECT_EQ(Explode(badMode.data(), badMode.size(), 100, out).text(), "invalid compression mode");
  const Bytes badData = {0, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Explode(badData.data(), badData.size(), 100, out).text(), "bad data");
  EXPECT_FALSE(ImplodeRaw(text, false, 512, imploded).ok());
}

// The command line, run in-process in a scratch folder.
class Cli : public CliScratch {
 protected:
  Cli() : CliScratch("ssbuild_test_") {}

  // Writes the inputs of FullInput() as files.
  void WriteInputs() {
    const InstallerInput in = FullInput();
    Write("stub.exe", in.stub);
    Write("lib.dll", in.entries[1].bytes);
    Write("flashax.exe", in.entries[2].bytes);
    Write("installer.scf", in.entries[3].bytes);
    Write("prog.scr", in.entries[6].bytes);
    Write("further.txt", in.entries[7].bytes);
    Write("saver1.dll", in.entries[9].bytes);
    Write("saver2.dll", in.entries[10].bytes);
    Write("a.swf", Repeated("movie ", 400));
  }
  std::vector<std::string> BuildArgs(const std::string& output) {
    return {"build",
            "-o",
            Path(output),
            "--stub",
            Path("stub.exe"),
            "--saver-name",
            "meadow",
            "--display-mode",
            "3",
            "--display-properties-flag",
            "--library",
            Path("lib.dll"),
            "--flash",
            Path("flashax.exe"),
            "--preview",
            Path("installer.scf"),
            "--saver",
            Path("prog.scr"),
            "--further",
            Path("further.txt"),
            "--support1",
            Path("saver1.dll"),
            "--support2",
            Path("saver2.dll"),
            "--data-chunk",
            Path("a.swf"),
            "--chunk-compress",
            "ascii:1024",
            "--data-copy",
            "copy.swf",
            "--compress",
            "preview=ascii:2048",
            "--store",
            "further"};
  }
};

TEST_F(Cli, BuildsListsVerifiesAndExtracts) {
  WriteInputs();
  ASSERT_EQ(Run(BuildArgs("meadow.exe")), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("meadow.ssd"), std::string::npos);
  EXPECT_NE(out_.str().find("total"), std::string::npos);
  ASSERT_EQ(Run(BuildArgs("again.exe")), kExitOk);
  EXPECT_EQ(Read("meadow.exe"), Read("again.exe"));

  InstallerView view;
  const Bytes image = Read("meadow.exe");
  ASSERT_TRUE(ReadInstaller(image, std::nullopt, view).ok());
  EXPECT_EQ(view.header.entries[8].name, "meadow.ssd");
  EXPECT_EQ(view.header.entries[8].kind, 4);
  EXPECT_EQ(view.header.entries[7].compressed, 0);
  EXPECT_EQ(image[static_cast<size_t>(view.header.entries[3].startOffset) + 1], 5);

  EXPECT_EQ(Run({"verify", Path("meadow.exe")}), kExitOk) << err_.str();
  EXPECT_EQ(Run({"list", Path("meadow.exe"), "--json"}), kExitOk);
  EXPECT_NE(out_.str().find("\"name\": \"meadow.scr\""), std::string::npos);
  EXPECT_NE(out_.str().find("\"payloadOffset\": 4000"), std::string::npos);
  EXPECT_EQ(Run({"list", Path("meadow.exe")}), kExitOk);
  EXPECT_NE(out_.str().find("DisplayPropertiesFlag: 1"), std::string::npos);

  ASSERT_EQ(Run({"extract", Path("meadow.exe"), "-C", Path("out")}), kExitOk) << err_.str();
  EXPECT_EQ(Read("out/installer.scf"), Read("installer.scf"));
  EXPECT_EQ(Read("out/meadow.scr"), Read("prog.scr"));
  EXPECT_EQ(Read("out/saver2.dll"), Bytes{});
  EXPECT_EQ(Read("out/install.exe").size(), 4000u);

  EXPECT_EQ(Run({"verify", Path("out/meadow.ssd")}), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("data file"), std::string::npos);
  EXPECT_EQ(Run({"list", Path("out/meadow.ssd"), "--json"}), kExitOk);
  EXPECT_NE(out_.str().find("\"copy\": true"), std::string::npos);
  ASSERT_EQ(Run({"extract", Path("out/meadow.ssd"), "-C", Path("chunks")}), kExitOk) << err_.str();
  EXPECT_EQ(Read("chunks/a.swf"), Read("a.swf"));
  EXPECT_FALSE(fs::exists(Path("chunks/copy.swf")));
}

TEST_F(Cli, VerifyFailsOnACorruptedEntry) {
  WriteInputs();
  ASSERT_EQ(Run(BuildArgs("meadow.exe")), kExitOk) << err_.str();
  Bytes image = Read("meadow.exe");
  InstallerView view;
  ASSERT_TRUE(ReadInstaller(image, std::nullopt, view).ok());
  image[static_cast<size_t>(view.header.entries[6].startOffset) + 1] = 2;  // dictionary 1024
  Write("bad.exe", image);
  EXPECT_EQ(Run({"verify", Path("bad.exe")}), kExitFailed);
  EXPECT_NE(err_.str().find("ssbuild: " + Path("bad.exe") + ": entry 6 (meadow.scr): "),
            std::string::npos)
      << err_.str();
}

// A hostile installer against list, verify and extract: names that leave
// the folder, name a device through a UTF-8 superscript, carry terminal
// escape sequences, or meet a link planted in the output folder. No control
// byte reaches the terminal and nothing is written outside the folder.
TEST_F(Cli, HostileInstallersStayOffTheTerminalAndInTheFolder) {
  const std::string escape = "a\x1B]0;owned\x07\x1B[2J.txt";
  const std::string shown = "a\\x1B]0;owned\\x07\\x1B[2J.txt";
  const struct {
    int entry;  // the entry renamed; 0: none
    std::string name;
    const char* command;
    bool plantLink;  // out/further.txt is a link to victim.txt
    int exit;
    std::string message;
  } cases[] = {
      {7, "..\\x", "extract", false, kExitFailed,
       "\"..\\x\" is not a plain file name; nothing extracted"},
      {7, "COM\xC2\xB9.txt", "extract", false, kExitFailed, "is not a plain file name"},
      {7, escape, "list", false, kExitOk, shown},
      {7, escape, "verify", false, kExitFailed, shown},
      {7, escape, "extract", false, kExitFailed, "\"" + shown + "\" is not a plain file name"},
      {7, "caf\xE9\x9B.txt", "list", false, kExitOk, "caf\xC3\xA9\xE2\x80\xBA.txt"},
      {0, "", "extract", true, kExitFailed,
       "entry 7 (further.txt): " + Path("out") + "/further.txt: cannot create: File exists"},
  };
  for (const auto& c : cases) {
    BuiltInstaller built = Build(FullInput());
    if (c.entry != 0)
      EditHeader(built, [&](ssi::PayloadHeader& h) {
        h.entries[static_cast<size_t>(c.entry)].name = c.name;
      });
    Write("evil.exe", built.image);
    fs::remove_all(Path("out"));
    fs::create_directories(Path("out"));
    Write("victim.txt", Text("mine"));
    if (c.plantLink) fs::create_symlink(Path("victim.txt"), Path("out/further.txt"));
    std::vector<std::string> args = {c.command, Path("evil.exe")};
    if (std::string(c.command) == "extract") args.insert(args.end(), {"-C", Path("out")});
    const std::string context = std::string(c.command) + " " + c.name;
    EXPECT_EQ(Run(args), c.exit) << context << "\n" << err_.str();
    const std::string said = out_.str() + err_.str();
    EXPECT_NE(said.find(c.message), std::string::npos) << context << "\n" << said;
    EXPECT_EQ(std::count_if(said.begin(), said.end(),
                            [](char ch) { return ch != '\n' && static_cast<uint8_t>(ch) < 0x20; }),
              0)
        << context << "\n"
        << said;
    EXPECT_TRUE(Read("victim.txt") == Text("mine")) << context;
    if (c.exit != kExitOk && c.message.find("nothing extracted") != std::string::npos) {
      EXPECT_TRUE(fs::is_empty(Path("out"))) << context;
    }
  }
}

// The last guard before the terminal: whatever a message carries, control
// bytes other than line ends and tabs are escaped; text around them, a
// character split by a flush included, arrives as it was.
TEST(ConsoleOutput, EscapesControlBytes) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ConsoleBuffer buffer(file);
    std::ostream out(&buffer);
    out << "a\x1B[2Jb\tc\r\n"
        << "Caf\xC3" << std::flush << "\xA9 \x07\x7F\n";
  }
  std::rewind(file);
  char text[128] = {};
  const size_t got = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  EXPECT_EQ(std::string(text, got), "a\\x1B[2Jb\tc\r\nCaf\xC3\xA9 \\x07\\x7F\n");
}

TEST_F(Cli, DataCommandBuildsAFileTheBuilderTakes) {
  Write("a.swf", Repeated("movie ", 400));
  Write("b.txt", Text("plain"));
  Write("settings.bin", Bytes(1220, 0x55));
  ASSERT_EQ(
      Run({"data", "-o", Path("d.ssd"), "--settings", Path("settings.bin"), "--first-chunk-kind",
           "3", "--copy", "first.swf", "--chunk", Path("a.swf"), "--chunk-name", "movie.swf",
           "--chunk-kind", "2", "--chunk", Path("b.txt"), "--chunk-store"}),
      kExitOk)
      << err_.str();
  const Bytes image = Read("d.ssd");
  DataFileView view;
  ASSERT_TRUE(ReadDataFile(image, view).ok());
  EXPECT_EQ(view.settings.FirstChunkKind(), 3);
  EXPECT_EQ(view.settings.bytes[0], 0x55);
  ASSERT_EQ(view.entries.size(), 3u);
  EXPECT_EQ(view.entries[1].name, "movie.swf");
  EXPECT_EQ(view.entries[1].kind, 2);
  EXPECT_EQ(Run({"verify", "--data", Path("d.ssd")}), kExitOk) << err_.str();
}

TEST_F(Cli, ImplodeAndExplodeRawStreams) {
  Write("in.txt", Repeated("the same words again ", 50));
  ASSERT_EQ(Run({"implode", "--ascii", "--dict", "2048", Path("in.txt"), Path("in.imp")}), kExitOk);
  EXPECT_EQ(Read("in.imp")[0], 1);
  EXPECT_EQ(Read("in.imp")[1], 5);
  ASSERT_EQ(Run({"explode", Path("in.imp"), Path("out.txt")}), kExitOk) << err_.str();
  EXPECT_EQ(Read("out.txt"), Read("in.txt"));

  Write("bad.imp", Bytes{0, 7, 0, 0});
  EXPECT_EQ(Run({"explode", Path("bad.imp"), Path("x")}), kExitFailed);
  EXPECT_EQ(err_.str(), "ssbuild: " + Path("bad.imp") + ": invalid dictionary size\n");
  EXPECT_EQ(Run({"implode", "--dict", "512", Path("in.txt"), Path("x")}), kExitUsage);
}

// Every level of `implode`, `build` and `data` gives streams that our explode
// (and verify, which explodes every entry and chunk) takes back to the
// original; the levels reach the codec, so fast and best differ.
TEST_F(Cli, EveryImplodeLevelExpandsToTheOriginal) {
  std::string text;
  for (int i = 0; text.size() < 60'000; ++i)
    text += "entry " + std::to_string(i * 7919 % 613) + (i % 3 != 0 ? " of the list\n" : "; ");
  Write("in.txt", Bytes(text.begin(), text.end()));
  WriteInputs();
  Write("further.txt", Bytes(text.begin(), text.end()));
  std::map<std::string, size_t> sizes;
  for (const char* level : {"fast", "default", "best"}) {
    for (const char* mode : {"--binary", "--ascii"}) {
      const std::string imploded = Path(std::string(level) + mode + ".imp");
      ASSERT_EQ(
          Run({"implode", mode, "--dict", "2048", "--level", level, Path("in.txt"), imploded}),
          kExitOk)
          << err_.str();
      ASSERT_EQ(Run({"explode", imploded, Path("out.txt")}), kExitOk) << err_.str();
      EXPECT_TRUE(Read("out.txt") == Read("in.txt")) << level << mode;
      sizes[std::string(level) + mode] = fs::file_size(imploded);
    }
    std::vector<std::string> args = BuildArgs(std::string(level) + ".exe");
    args.back() = "preview";  // --store preview: further.txt is imploded
    args.insert(args.end(), {"--level", level, "--data-chunk", Path("in.txt")});
    ASSERT_EQ(Run(args), kExitOk) << err_.str();
    EXPECT_EQ(Run({"verify", Path(std::string(level) + ".exe")}), kExitOk) << err_.str();
    ASSERT_EQ(Run({"data", "-o", Path("d.ssd"), "--level", level, "--chunk", Path("in.txt")}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(Run({"verify", "--data", Path("d.ssd")}), kExitOk) << err_.str();
  }
  for (const char* mode : {"--binary", "--ascii"})
    EXPECT_LT(sizes[std::string("best") + mode], sizes[std::string("fast") + mode]) << mode;
  EXPECT_FALSE(Read("fast.exe") == Read("best.exe"));
  EXPECT_EQ(Run({"implode", "--level", "quick", Path("in.txt"), Path("x")}), kExitUsage);
  EXPECT_NE(err_.str().find("expected fast, default or best"), std::string::npos);
}

TEST_F(Cli, ReportsUsageAndInputFailures) {
  WriteInputs();
  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(Run({"build", "--bogus"}), kExitUsage);
  EXPECT_EQ(Run({"build", "--stub", Path("stub.exe")}), kExitUsage);
  EXPECT_NE(err_.str().find("-o OUT"), std::string::npos);
  EXPECT_EQ(Run({"build", "-o", Path("x.exe"), "--stub", Path("stub.exe")}), kExitFailed);
  EXPECT_NE(err_.str().find("--saver-name"), std::string::npos);
  EXPECT_EQ(Run({"build", "-o", Path("x"), "--stub", Path("stub.exe"), "--saver-name", "m",
                 "--display-mode", "256"}),
            kExitUsage);
  EXPECT_EQ(Run({"build", "-o", Path("x"), "--stub", Path("stub.exe"), "--saver-name", "m",
                 "--compress", "library=binary"}),
            kExitUsage);

  std::vector<std::string> args = BuildArgs("x.exe");
  *(std::find(args.begin(), args.end(), "--preview") + 1) = Path("preview.bmp");
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find("ssbuild: entry 3 (preview): " + Path("preview.bmp") +
                            ": cannot open: No such file or directory\n"),
            std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find("ssbuild: 1 error(s), 1 warning(s); nothing written\n"),
            std::string::npos)
      << err_.str();
  EXPECT_FALSE(fs::exists(Path("x.exe")));

  args = BuildArgs("x.exe");
  *std::find(args.begin(), args.end(), "meadow") = "bad/name";
  EXPECT_EQ(Run(args), kExitFailed);
  EXPECT_NE(err_.str().find("not a valid folder name"), std::string::npos);

  Write("plain.bin", Noise(100, 5));
  EXPECT_EQ(Run({"list", Path("plain.bin")}), kExitFailed);
  EXPECT_NE(err_.str().find("neither an installer"), std::string::npos);
}

}  // namespace
}  // namespace ssbuild
