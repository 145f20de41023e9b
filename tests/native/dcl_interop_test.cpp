// Our codec against DCL implementations we did not write (dcl_oracles.h):
// every stream must decode to the same bytes in every implementation, in
// all six modes, in both directions.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data_file_builder.h"
#include "data_file_examiner.h"
#include "dcl.h"
#include "dcl_buffer.h"
#include "dcl_oracles.h"
#include "dcl_stream_gen.h"
#include "installer_builder.h"
#include "installer_examiner.h"
#include "le_bytes.h"
#include "payload_offset_field.h"

namespace ssi::dcl {
namespace {

namespace fs = std::filesystem;
using oracles::Bytes;
using oracles::NodePkware;
using oracles::ScratchDir;

struct Mode {
  unsigned type;
  unsigned dictSize;
  unsigned dictBits() const { return dictSize == 1024 ? 4 : dictSize == 2048 ? 5 : 6; }
  std::string Name() const { return (type ? "ascii/" : "binary/") + std::to_string(dictSize); }
};
constexpr Mode kModes[] = {{0, 1024}, {0, 2048}, {0, 4096}, {1, 1024}, {1, 2048}, {1, 4096}};

struct Input {
  std::string name;
  Bytes bytes;
};

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& c : b) c = static_cast<uint8_t>(rng());
  return b;
}

Bytes FileSlice(const fs::path& path, size_t maxSize) {
  Bytes b = oracles::ReadFile(path);
  if (b.size() > maxSize) b.resize(maxSize);
  return b;
}

// An 8-bit picture with smooth areas and sharp edges, like the corpus's
// synthetic bitmaps, and a 16-bit tone like its audio.
Bytes Picture(unsigned width, unsigned height) {
  Bytes b;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      double re = 0, im = 0;
      const double cr = -2.0 + 2.5 * x / width, ci = -1.25 + 2.5 * y / height;
      unsigned i = 0;
      while (i < 64 && re * re + im * im < 4) {
        const double t = re * re - im * im + cr;
        im = 2 * re * im + ci;
        re = t;
        ++i;
      }
      b.push_back(static_cast<uint8_t>(i * 4));
    }
  return b;
}

Bytes Tone(unsigned samples) {
  Bytes b;
  for (unsigned i = 0; i < samples; ++i) {
    const auto v = static_cast<int16_t>(8000 * std::sin(i * 0.031) + 3000 * std::sin(i * 0.173));
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
  }
  return b;
}

// Low-entropy inputs, read back at every level: they drive the encoder's
// handling of byte runs (runs chained by their remaining length, the nearest
// earlier run of a byte, runs longer than a match) and matches that cross the
// end of its 1024-byte parse blocks.
std::vector<Input> LowEntropy() {
  std::mt19937 rng(5);
  std::vector<Input> v;
  Bytes sparse(40000), spiky(40000), runs, tails, pixels, crossing;
  for (auto& c : sparse) c = rng() % 16 == 0 ? 1 : 0;
  for (size_t i = 0; i < spiky.size(); i += 64) spiky[i] = static_cast<uint8_t>(rng());
  v.push_back({"low: 0/1 bytes, one 1 in 16", sparse});
  v.push_back({"low: zeros, a random byte every 64", spiky});
  // Runs of 1 to 1200 bytes of three values: shorter and longer than the
  // nearest earlier run, and beyond the longest match.
  while (runs.size() < 60000)
    runs.insert(runs.end(), 1 + rng() % (rng() % 4 == 0 ? 1200 : 40),
                static_cast<uint8_t>("abc"[rng() % 3]));
  v.push_back({"low: runs of three bytes", runs});
  // Runs whose lengths go up and down by one, each ended by the same byte:
  // matches must start where the tails of the runs line up.
  for (unsigned k = 0; tails.size() < 50000; ++k) {
    tails.insert(tails.end(), 3 + (k * 7) % 29, 'x');
    tails.push_back('y');
  }
  v.push_back({"low: runs with aligned tails", tails});
  // Rows of 3-byte pixels in a few colours, each row a shifted copy of the last.
  const uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {10, 200, 30}, {10, 200, 31}};
  for (unsigned row = 0; row < 60; ++row)
    for (unsigned x = 0; x < 300; ++x) {
      const auto& c = colours[((x + row) / 37 + (x * row % 11 == 0 ? 1 : 0)) % 4];
      pixels.insert(pixels.end(), c, c + 3);
    }
  v.push_back({"low: 24-bit pixel rows", pixels});
  // A random stretch repeated with a few changes, so that long matches run
  // across every block boundary at varying offsets.
  const Bytes noise = Random(1500, 6);
  for (unsigned i = 0; crossing.size() < 30000; ++i) {
    crossing.insert(crossing.end(), noise.begin(), noise.end() - i % 700);
    crossing.push_back(static_cast<uint8_t>(i));
  }
  v.push_back({"low: long matches across blocks", crossing});
  return v;
}

// The edge inputs and a slice of the kinds of file in the benchmark corpus
// (text, ELF, PE, bitmap, audio), taken from the same system files.
const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = [] {
    std::vector<Input> v;
    v.push_back({"empty", {}});
    v.push_back({"1 byte", {0x41}});
    v.push_back({"2 bytes", {0x41, 0x41}});
    v.push_back({"3 bytes", {0x41, 0x41, 0x41}});
    for (size_t n : {517u, 518u, 519u, 4097u})
      v.push_back({"run of " + std::to_string(n), Bytes(n, 'r')});
    Bytes all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<uint8_t>(c));
    v.push_back({"every byte value", all});
    v.push_back({"1 MB random", Random(1 << 20, 1)});
    v.push_back({"1 MB zeros", Bytes(1 << 20, 0)});
    v.push_back({"text", FileSlice("/usr/share/common-licenses/GPL-3", 1 << 20)});
    v.push_back({"C++ header", FileSlice("/usr/include/c++/12/bits/stl_algo.h", 96 << 10)});
    // Read-me and licence files on Windows are often UTF-16: every other byte
    // a zero, matches worth taking only in step with the characters.
    Bytes utf16;
    for (uint8_t c : FileSlice("/usr/share/common-licenses/GPL-3", 48 << 10)) {
      utf16.push_back(c);
      utf16.push_back(0);
    }
    v.push_back({"UTF-16 text", utf16});
    v.push_back({"ELF", FileSlice("/usr/bin/bash", 160 << 10)});
    v.push_back(
        {"PE", FileSlice("/usr/lib/i386-linux-gnu/wine/i386-windows/comctl32.dll", 160 << 10)});
    v.push_back({"bitmap", Picture(256, 192)});
    v.push_back({"audio", Tone(24000)});
    for (Input& low : LowEntropy()) v.push_back(std::move(low));
    return v;
  }();
  return inputs;
}

TEST(DclInterop, InputsAreThere) {
  for (const Input& in : Inputs()) {
    if (in.name == "text" || in.name == "C++ header" || in.name == "ELF" || in.name == "PE") {
      EXPECT_GT(in.bytes.size(), 10000u)
          << in.name << ": system file missing (scripts/install-deps.sh)";
    }
  }
}

// Runs a node-pkware batch; a failure to run it at all fails the test.
#define RUN_NODE_PKWARE(node)            \
  do {                                   \
    std::string why;                     \
    ASSERT_TRUE((node).Run(why)) << why; \
  } while (false)

// The classic implementation, loaded once; a test that needs it fails
// without it, as without the other oracles.
const oracles::Classic& Classic() {
  static const oracles::Classic classic;
  return classic;
}

TEST(DclInterop, OurImplodeIsReadByEveryOtherDecoder) {
  ASSERT_TRUE(Classic().Loaded()) << Classic().Error();
  ScratchDir dir("dcl-interop");
  NodePkware node(dir.path());
  struct Case {
    std::string what;
    const Bytes* plain;
    Bytes packed;
    size_t job;
  };
  std::vector<Case> cases;
  for (const Mode& mode : kModes) {
    for (const Input& in : Inputs()) {
      // The other levels only search differently: a few inputs suffice for them.
      const bool fewer = in.name == "text" || in.name == "bitmap" || in.name == "run of 4097" ||
                         in.name.rfind("low: ", 0) == 0;
      for (ImplodeLevel level :
           {ImplodeLevel::kDefault, ImplodeLevel::kFast, ImplodeLevel::kBest}) {
        if (level != ImplodeLevel::kDefault && !fewer) continue;
        Case c{mode.Name() + " " + in.name + " level " + std::to_string(static_cast<int>(level)),
               &in.bytes,
               {},
               0};
        ASSERT_EQ(ImplodeBuffer(in.bytes.data(), in.bytes.size(), mode.type, mode.dictSize,
                                c.packed, level),
                  DCL_CMP_NO_ERROR);
        c.job = node.Explode(c.packed);
        cases.push_back(std::move(c));
      }
    }
  }
  RUN_NODE_PKWARE(node);
  for (const Case& c : cases) {
    std::string why;
    const auto out = node.Result(c.job, why);
    ASSERT_TRUE(out.has_value()) << c.what << ": node-pkware refused our stream: " << why;
    EXPECT_TRUE(*out == *c.plain) << c.what << ": node-pkware read " << out->size() << " bytes of "
                                  << c.plain->size();
    // The classic explode refuses every stream of 4 bytes, the one its own
    // implode writes for empty input included.
    Bytes classic;
    EXPECT_EQ(Classic().Explode(c.packed, classic), c.packed.size() > 4 ? 0u : 3u) << c.what;
    EXPECT_TRUE(classic == *c.plain)
        << c.what << ": the classic explode read " << classic.size() << " bytes of "
        << c.plain->size();
    if (c.packed[0] == DCL_CMP_BINARY) {
      Bytes dyn;
      EXPECT_EQ(oracles::DynamiteExplode(c.packed, dyn), 0) << c.what;
      EXPECT_TRUE(dyn == *c.plain)
          << c.what << ": libdynamite read " << dyn.size() << " bytes of " << c.plain->size();
    }
  }
}

// Inputs that make an encoder use every length at some distance and every
// distance at some length: random bytes (which rarely repeat by chance)
// followed by exact repeats of earlier stretches.
Bytes ForcingInput(unsigned dictSize, uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
  Bytes b = Random(dictSize, seed);
  auto repeat = [&](unsigned length, unsigned distance) {
    for (unsigned i = 0; i < length; ++i) b.push_back(b[b.size() - distance]);
    for (int i = 0; i < 3; ++i) b.push_back(static_cast<uint8_t>(rng()));  // ends the match
  };
  for (unsigned length = 2; length <= codes::kMaxLength; ++length)
    repeat(length, 1 + pick(length == 2 ? 256 : dictSize));
  for (unsigned distance = 1; distance <= dictSize; distance += 1 + distance / 64)
    repeat(3 + pick(12), distance);
  return b;
}

// The classic implode's streams decode in ours, and ours at the default level
// is never larger than the classic's, the low-entropy inputs included.
TEST(DclInterop, ClassicImplodeIsReadByOurExplodeAndOurDefaultIsNoLarger) {
  ASSERT_TRUE(Classic().Loaded()) << Classic().Error();
  for (const Mode& mode : kModes) {
    for (const Input& in : Inputs()) {
      const std::string what = mode.Name() + " " + in.name;
      Bytes classic, ours, back;
      ASSERT_EQ(Classic().Implode(in.bytes, mode.type, mode.dictSize, classic), 0u) << what;
      EXPECT_EQ(ExplodeBuffer(classic.data(), classic.size(), back), DCL_CMP_NO_ERROR) << what;
      EXPECT_TRUE(back == in.bytes) << what << ": we read " << back.size() << " bytes of "
                                    << in.bytes.size();
      ASSERT_EQ(ImplodeBuffer(in.bytes.data(), in.bytes.size(), mode.type, mode.dictSize, ours,
                              ImplodeLevel::kDefault),
                DCL_CMP_NO_ERROR);
      EXPECT_LE(ours.size(), classic.size()) << what;
    }
  }
}

TEST(DclInterop, NodePkwareImplodeIsReadByOurExplode) {
  ScratchDir dir("dcl-interop");
  NodePkware node(dir.path());
  struct Case {
    std::string what;
    Bytes plain;
    size_t job;
  };
  std::vector<Case> cases;
  for (const Mode& mode : kModes) {
    for (const Input& in : Inputs())
      cases.push_back({mode.Name() + " " + in.name, in.bytes,
                       node.Implode(in.bytes, mode.type, mode.dictSize)});
    Bytes forcing = ForcingInput(mode.dictSize, mode.dictSize + mode.type);
    const size_t job = node.Implode(forcing, mode.type, mode.dictSize);
    cases.push_back({mode.Name() + " every length and distance", std::move(forcing), job});
  }
  RUN_NODE_PKWARE(node);
  for (const Case& c : cases) {
    std::string why;
    const auto packed = node.Result(c.job, why);
    ASSERT_TRUE(packed.has_value()) << c.what << ": " << why;
    Bytes out;
    const unsigned r = ExplodeBuffer(packed->data(), packed->size(), out);
    if (c.plain.size() == 1 || c.plain.size() == 2) {
      // node-pkware 5.1.0 writes neither the bytes nor the end code of a 1-
      // or 2-byte input; its own explode refuses these streams too.
      EXPECT_EQ(r, DCL_CMP_ABORT) << c.what;
      continue;
    }
    EXPECT_EQ(r, DCL_CMP_NO_ERROR) << c.what;
    EXPECT_TRUE(out == c.plain) << c.what << ": we read " << out.size() << " bytes of "
                                << c.plain.size();
  }
}

// Streams written symbol by symbol: every literal, every length, every
// distance, every pair of length and distance codes with their smallest and
// largest extra bits, copies overlapping themselves and crossing the 4096-
// and 8192-byte marks. The expected bytes come from plain copying, and every
// decoder must produce them.
Bytes EveryCodeStream(const Mode& mode, Bytes& plain) {
  streams::StreamBuilder b(mode.type, mode.dictBits());
  const unsigned dict = mode.dictSize;
  std::mt19937 rng(dict + mode.type);
  for (unsigned c = 0; c < 256; ++c) b.Literal(static_cast<uint8_t>(c));
  while (b.size() < dict) b.Literal(static_cast<uint8_t>(rng()));
  for (unsigned length = 2; length <= codes::kMaxLength; ++length)
    b.Match(length, 1 + length * 97 % b.Reach(length));
  for (unsigned distance = 1; distance <= dict; ++distance) b.Match(3 + distance % 7, distance);
  for (unsigned distance = 1; distance <= 256; ++distance) b.Match(2, distance);
  for (unsigned sym = 0; sym < 16; ++sym) {
    for (unsigned extra : {0u, (1u << codes::kLengthExtra[sym]) - 1}) {
      const unsigned length = codes::kLengthBase[sym] + extra;
      if (length > codes::kMaxLength) continue;
      const unsigned low = length == 2 ? 2 : mode.dictBits();
      for (unsigned high = 0; high < (length == 2 ? 64u : dict >> low); ++high) {
        b.Match(length, (high << low) + 1);
        b.Match(length, ((high + 1) << low));
      }
    }
  }
  // 518-byte copies starting just before the 4096- and 8192-byte marks
  // where decoders move their windows, each followed by short copies.
  for (unsigned before : {1u, 2u, 7u}) {
    const size_t target = (b.size() / 4096 + 2) * 4096 - before;
    while (b.size() + 600 < target) b.Match(codes::kMaxLength, dict);
    while (b.size() < target) b.Literal(static_cast<uint8_t>(rng()));
    b.Match(codes::kMaxLength, dict);
    for (unsigned length = 2; length <= codes::kMaxLength; length += 37)
      b.Match(length, 1 + length % 5);
  }
  plain = b.plain();
  return b.FinishStream();
}

TEST(DclInterop, EveryCodeDecodesAlikeInEveryDecoder) {
  ASSERT_TRUE(Classic().Loaded()) << Classic().Error();
  ScratchDir dir("dcl-interop");
  NodePkware node(dir.path());
  struct Case {
    std::string what;
    Bytes stream, plain;
    size_t job;
  };
  std::vector<Case> cases;
  for (const Mode& mode : kModes) {
    Case c{mode.Name() + " every code", {}, {}, 0};
    c.stream = EveryCodeStream(mode, c.plain);
    c.job = node.Explode(c.stream);
    cases.push_back(std::move(c));
    // Random valid streams from the fuzzers' generator, a batch per mode.
    for (uint32_t seed = 0; seed < 6; ++seed) {
      std::mt19937 rng(seed * 31 + mode.dictSize + mode.type);
      auto next = [&] { return static_cast<uint32_t>(rng()); };
      streams::GeneratedStream g =
          streams::GenerateStream(next, mode.type, mode.dictBits(), 20000 + seed * 5000);
      Case r{mode.Name() + " generated #" + std::to_string(seed), std::move(g.stream),
             std::move(g.plain), 0};
      r.job = node.Explode(r.stream);
      cases.push_back(std::move(r));
    }
  }
  RUN_NODE_PKWARE(node);
  for (const Case& c : cases) {
    std::string why;
    const auto out = node.Result(c.job, why);
    ASSERT_TRUE(out.has_value()) << c.what << ": node-pkware refused it: " << why;
    EXPECT_TRUE(*out == c.plain) << c.what << ": node-pkware disagrees with the hand-made stream";
    Bytes ours;
    EXPECT_EQ(ExplodeBuffer(c.stream.data(), c.stream.size(), ours), DCL_CMP_NO_ERROR) << c.what;
    EXPECT_TRUE(ours == c.plain) << c.what << ": our explode disagrees with the hand-made stream";
    Bytes classic;
    EXPECT_EQ(Classic().Explode(c.stream, classic), 0u) << c.what;
    EXPECT_TRUE(classic == c.plain) << c.what << ": the classic explode disagrees with it";
    if (c.stream[0] == DCL_CMP_BINARY) {
      Bytes dyn;
      EXPECT_EQ(oracles::DynamiteExplode(c.stream, dyn), 0) << c.what;
      EXPECT_TRUE(dyn == c.plain) << c.what << ": libdynamite disagrees with the hand-made stream";
    }
  }
}

// What ssbuild writes into installers and data files is DCL too.
TEST(DclInterop, InstallerEntriesAndChunksAreReadByNodePkware) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "line " + std::to_string(i * 7 % 113) + " of the saver\r\n";
  const Bytes words(text.begin(), text.end());
  const Bytes program = FileSlice("/usr/bin/bash", 200 << 10);

  ssbuild::DataFileInput data;
  for (const Mode& mode : kModes) {
    auto chunk = ssbuild::ChunkSource::File(
        mode.type ? words : program,
        "chunk" + mode.Name().substr(0, 1) + std::to_string(mode.dictSize) + ".swf");
    chunk.compression = {true, mode.type == 1, mode.dictSize};
    data.chunks.push_back(std::move(chunk));
  }
  Bytes dataFile;
  data.packThreads = 4;
  ASSERT_TRUE(ssbuild::BuildDataFile(data, dataFile).ok());

  ssbuild::InstallerInput in;
  in.stub = Random(4000, 7);
  std::copy(kPayloadOffsetMarker, kPayloadOffsetMarker + kPayloadOffsetMarkerSize,
            in.stub.begin() + 100);
  WriteU32(in.stub.data() + 100 + kPayloadOffsetMarkerSize, 0);
  in.saverName = "meadow";
  in.entries[1].Use(Random(3000, 1), "impborl.dll");
  in.entries[3].Use(Picture(200, 150), "preview.bmp");
  in.entries[6].Use(program, "meadow.scr");
  in.entries[7].Use(words, "further.txt");
  in.entries[8].Use(dataFile, "meadow.ssd");
  in.entries[9].Use(Bytes(words.rbegin(), words.rend()), "saver1.dll");
  in.entries[10].Use(Bytes{}, "saver2.dll");
  const Mode entryModes[] = {{0, 1024}, {0, 4096}, {1, 2048}, {0, 4096}, {1, 1024}, {0, 2048}};
  const int roles[] = {3, 6, 7, 8, 9, 10};
  for (size_t i = 0; i < 6; ++i)
    in.entries[static_cast<size_t>(roles[i])].compression = {true, entryModes[i].type == 1,
                                                             entryModes[i].dictSize};
  ssbuild::BuiltInstaller built;
  in.packThreads = 4;
  ASSERT_TRUE(ssbuild::BuildInstaller(in, built).ok());
  // Imploding side by side changes nothing.
  Bytes dataFileAlone;
  data.packThreads = 1;
  ASSERT_TRUE(ssbuild::BuildDataFile(data, dataFileAlone).ok());
  EXPECT_TRUE(dataFileAlone == dataFile);
  ssbuild::BuiltInstaller alone;
  in.packThreads = 1;
  ASSERT_TRUE(ssbuild::BuildInstaller(in, alone).ok());
  EXPECT_TRUE(alone.image == built.image);

  ScratchDir dir("dcl-interop");
  NodePkware node(dir.path());
  struct Case {
    std::string what;
    Bytes plain;
    size_t job;
  };
  std::vector<Case> cases;
  for (int role : roles) {
    const PayloadEntry& e = built.header.entries[static_cast<size_t>(role)];
    ASSERT_NE(e.storedSize, 0) << "entry " << role << " was stored, not imploded";
    Bytes packed;
    ASSERT_TRUE(ssbuild::EntryBytes(built.image, e, packed).ok());
    cases.push_back({"entry " + std::to_string(role), in.entries[static_cast<size_t>(role)].bytes,
                     node.Explode(packed)});
  }
  ssbuild::DataFileView view;
  ASSERT_TRUE(ssbuild::ReadDataFile(dataFile, view).ok());
  for (size_t i = 0; i < view.entries.size(); ++i) {
    const size_t at = static_cast<size_t>(view.entries[i].chunkOffset);
    const ChunkHeader h = ParseChunkHeader(dataFile.data() + at);
    ASSERT_NE(h.compressed, 0) << "chunk " << i + 1 << " was stored";
    const auto from = dataFile.begin() + static_cast<std::ptrdiff_t>(at + kChunkHeaderSize);
    cases.push_back({"chunk " + std::to_string(i + 1), data.chunks[i].bytes,
                     node.Explode(Bytes(from, from + h.storedSize))});
  }
  RUN_NODE_PKWARE(node);
  for (const Case& c : cases) {
    std::string why;
    const auto out = node.Result(c.job, why);
    ASSERT_TRUE(out.has_value()) << c.what << ": " << why;
    EXPECT_TRUE(*out == c.plain) << c.what;
  }
}

}  // namespace
}  // namespace ssi::dcl
