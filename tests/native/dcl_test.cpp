#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dcl.h"
#include "dcl_buffer.h"
#include "dcl_codes.h"
#include "dcl_stream_gen.h"

namespace ssi::dcl {
namespace {

using streams::Bytes;

using streams::StreamWriter;

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& c : b) c = static_cast<uint8_t>(rng());
  return b;
}

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct Feed {
  const Bytes* in;
  size_t pos = 0;
  size_t piece = SIZE_MAX;
  Bytes out;
};

unsigned int ReadFeed(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  const size_t n = std::min({f.in->size() - f.pos, size_t{*size}, f.piece});
  if (n != 0) std::memcpy(buf, f.in->data() + f.pos, n);
  f.pos += n;
  return static_cast<unsigned int>(n);
}

void WriteFeed(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  f.out.insert(f.out.end(), buf, buf + *size);
}

unsigned ExplodeInPieces(const Bytes& stream, size_t piece, Bytes& out) {
  std::vector<char> work(DCL_EXPLODE_WORK_SIZE);
  Feed f{&stream, 0, piece, {}};
  const unsigned r = dcl_explode(ReadFeed, WriteFeed, work.data(), &f);
  out = f.out;
  return r;
}

struct Mode {
  unsigned type;
  unsigned dictSize;
};

class DclRoundTrip : public ::testing::TestWithParam<Mode> {
 protected:
  void ExpectRoundTrip(const Bytes& data, const char* what) {
    Bytes packed, back;
    ASSERT_EQ(ImplodeBuffer(data.data(), data.size(), GetParam().type, GetParam().dictSize, packed),
              DCL_CMP_NO_ERROR)
        << what;
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(packed[0], GetParam().type) << what;
    EXPECT_EQ(1024u << (packed[1] - 4), GetParam().dictSize) << what;
    ASSERT_EQ(ExplodeBuffer(packed.data(), packed.size(), back), DCL_CMP_NO_ERROR) << what;
    EXPECT_TRUE(back == data) << what << ": " << data.size() << " bytes in, " << back.size()
                              << " out";
    // Reading one byte at a time changes nothing.
    ASSERT_EQ(ExplodeInPieces(packed, 1, back), DCL_CMP_NO_ERROR) << what;
    EXPECT_TRUE(back == data) << what << " (1-byte reads)";
  }
};

TEST_P(DclRoundTrip, EdgeInputs) {
  const unsigned dict = GetParam().dictSize;
  ExpectRoundTrip({}, "empty");
  ExpectRoundTrip({0x7F}, "one byte");
  ExpectRoundTrip({0x00, 0x00}, "two bytes");
  ExpectRoundTrip(Bytes(2000, 0xAA), "run far longer than 518");
  ExpectRoundTrip(Bytes(518 + 1, 0), "run of exactly one byte plus the longest match");
  Bytes all;
  for (int rep = 0; rep < 3; ++rep)
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<uint8_t>(c));
  ExpectRoundTrip(all, "all byte values");
  ExpectRoundTrip(Random(20000, 7), "incompressible");
  Bytes atDict = Random(dict, 11);
  const Bytes copy = atDict;
  atDict.insert(atDict.end(), copy.begin(), copy.end());
  atDict.insert(atDict.end(), copy.begin(), copy.begin() + 600);
  ExpectRoundTrip(atDict, "repeat at exactly the dictionary distance");
  std::string text;
  for (int i = 0; i < 400; ++i)
    text += "Line " + std::to_string(i * 37 % 101) + ": the screen saver is installed.\r\n";
  ExpectRoundTrip(FromString(text), "text");
}

TEST_P(DclRoundTrip, UsesTheFarthestDistanceAndLongestLength) {
  // A random block repeated at exactly the dictionary distance only
  // compresses if distance == dictionary size is used.
  const unsigned dict = GetParam().dictSize;
  Bytes data = Random(dict, 3);
  const Bytes copy = data;
  for (int i = 0; i < 4; ++i) data.insert(data.end(), copy.begin(), copy.end());
  Bytes packed;
  ASSERT_EQ(ImplodeBuffer(data.data(), data.size(), GetParam().type, dict, packed),
            DCL_CMP_NO_ERROR);
  EXPECT_LT(packed.size(), dict * 2) << "repeats at the full dictionary distance were not found";
  // A long run costs about one 518-byte match per 518 bytes.
  const Bytes run(518 * 50 + 1, 'x');
  ASSERT_EQ(ImplodeBuffer(run.data(), run.size(), GetParam().type, dict, packed), DCL_CMP_NO_ERROR);
  EXPECT_LT(packed.size(), 50u * 3 + 8);
}

INSTANTIATE_TEST_SUITE_P(AllModes, DclRoundTrip,
                         ::testing::Values(Mode{0, 1024}, Mode{0, 2048}, Mode{0, 4096},
                                           Mode{1, 1024}, Mode{1, 2048}, Mode{1, 4096}),
                         [](const ::testing::TestParamInfo<Mode>& mode) {
                           return std::string(mode.param.type ? "Ascii" : "Binary") +
                                  std::to_string(mode.param.dictSize);
                         });

const Bytes kSample = {0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F};

TEST(DclExplode, DecodesTheKnownSampleInAnyPieces) {
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, SIZE_MAX}) {
    Bytes out;
    EXPECT_EQ(ExplodeInPieces(kSample, piece, out), DCL_CMP_NO_ERROR) << piece;
    EXPECT_EQ(std::string(out.begin(), out.end()), "AIAIAIAIAIAIA") << piece;
  }
}

TEST(DclImplode, EncodesTheKnownSampleAsTheClassicLibraryDoes) {
  const Bytes in = FromString("AIAIAIAIAIAIA");
  Bytes packed;
  ASSERT_EQ(ImplodeBuffer(in.data(), in.size(), DCL_CMP_BINARY, 1024, packed), DCL_CMP_NO_ERROR);
  EXPECT_TRUE(packed == kSample);
}

// Every length, distance and literal code is decoded against independent
// decoders in dcl_interop_test.cpp.

struct Malformed {
  const char* what;
  Bytes stream;
  unsigned expected;
  std::string output;  // what must have been written before the error
};

Bytes Stream(void (*build)(StreamWriter&), unsigned mode = 0, unsigned dictBits = 4) {
  StreamWriter w(mode, dictBits);
  build(w);
  return w.Finish();
}

TEST(DclExplode, RejectsMalformedStreamsWithTheirCodes) {
  const Bytes complete = Stream([](StreamWriter& w) {
    w.Literal('a');
    w.Literal('b');
    w.Match(6, 2);
    w.End();
  });
  const Malformed cases[] = {
      {"no input at all", {}, DCL_CMP_ABORT, ""},
      {"header cut short", {0x00}, DCL_CMP_ABORT, ""},
      {"mode 2", {0x02, 0x04, 0x00}, DCL_CMP_INVALID_MODE, ""},
      {"mode 255", {0xFF, 0x06, 0x00}, DCL_CMP_INVALID_MODE, ""},
      {"dictionary bits 3", {0x00, 0x03, 0x00}, DCL_CMP_INVALID_DICTSIZE, ""},
      {"dictionary bits 7", {0x01, 0x07, 0x00}, DCL_CMP_INVALID_DICTSIZE, ""},
      {"header only", {0x00, 0x06}, DCL_CMP_ABORT, ""},
      {"match before any output", Stream([](StreamWriter& w) { w.Match(3, 1); }), DCL_CMP_BAD_DATA,
       ""},
      {"distance one past the output", Stream([](StreamWriter& w) {
         w.Literal('x');
         w.Literal('y');
         w.Match(4, 3);
         w.End();
       }),
       DCL_CMP_BAD_DATA, "xy"},
      {"length-2 match before the output", Stream([](StreamWriter& w) {
         w.Literal('x');
         w.Match(2, 256);
       }),
       DCL_CMP_BAD_DATA, "x"},
      {"ends without the end code", Stream([](StreamWriter& w) {
         w.Literal('a');
         w.Literal('b');
         w.Match(6, 2);
       }),
       DCL_CMP_ABORT, "abababab"},
      {"end code cut short", Bytes(complete.begin(), complete.end() - 1), DCL_CMP_ABORT,
       "abababab"},
      {"distance exactly the output size", complete, DCL_CMP_NO_ERROR, "abababab"},
  };
  for (const Malformed& c : cases) {
    for (size_t piece : {size_t{1}, SIZE_MAX}) {
      Bytes out;
      EXPECT_EQ(ExplodeInPieces(c.stream, piece, out), c.expected) << c.what;
      EXPECT_EQ(std::string(out.begin(), out.end()), c.output) << c.what;
    }
  }
}

TEST(DclExplode, IgnoresBytesAfterTheEndCode) {
  Bytes stream = kSample;
  stream.insert(stream.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  Bytes out;
  EXPECT_EQ(ExplodeBuffer(stream.data(), stream.size(), out), DCL_CMP_NO_ERROR);
  EXPECT_EQ(out.size(), 13u);
}

TEST(DclExplode, SurvivesRandomCorruptionOfValidStreams) {
  const Bytes data = FromString(std::string(3000, 'q') + "corrupted streams must fail cleanly");
  Bytes packed;
  ASSERT_EQ(ImplodeBuffer(data.data(), data.size(), DCL_CMP_ASCII, 2048, packed), DCL_CMP_NO_ERROR);
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    Bytes bad = packed;
    bad[2 + rng() % (bad.size() - 2)] ^= static_cast<uint8_t>(1u << (rng() % 8));
    Bytes out;
    const unsigned r = ExplodeBuffer(bad.data(), bad.size(), out, 1u << 20);
    EXPECT_LE(r, static_cast<unsigned>(DCL_CMP_ABORT));
  }
}

TEST(DclExplode, StopsAtTheOutputLimit) {
  const Bytes data(100000, 'z');
  Bytes packed, out;
  ASSERT_EQ(ImplodeBuffer(data.data(), data.size(), DCL_CMP_BINARY, 4096, packed),
            DCL_CMP_NO_ERROR);
  EXPECT_EQ(ExplodeBuffer(packed.data(), packed.size(), out, 5000), DCL_CMP_ABORT);
  EXPECT_EQ(out.size(), 5000u);
}

// The whole state lives in the caller's area, at any alignment, and never
// beyond its promised size.
TEST(DclWorkArea, StaysInsideAMisalignedAreaAndShareNothing) {
  const Bytes data = Random(30000, 9);
  Bytes text = FromString(std::string(5000, 'a') + "tail");
  for (size_t offset = 1; offset < 8; ++offset) {
    std::vector<char> area(offset + DCL_IMPLODE_WORK_SIZE + 64, '\x5A');
    unsigned type = DCL_CMP_ASCII, dict = 4096;
    Feed in{&data, 0, SIZE_MAX, {}};
    ASSERT_EQ(dcl_implode(ReadFeed, WriteFeed, area.data() + offset, &in, &type, &dict),
              DCL_CMP_NO_ERROR);
    for (size_t i = 0; i < offset; ++i) EXPECT_EQ(area[i], '\x5A');
    for (size_t i = offset + DCL_IMPLODE_WORK_SIZE; i < area.size(); ++i)
      EXPECT_EQ(area[i], '\x5A');

    std::vector<char> outer(offset + DCL_EXPLODE_WORK_SIZE + 64, '\x5A');
    // A second expansion runs to its end inside the first one's output
    // callback; neither may disturb the other.
    struct Nested {
      Feed feed;
      const Bytes* innerStream;
      Bytes innerOut;
    };
    Bytes innerStream;
    ASSERT_EQ(ImplodeBuffer(text.data(), text.size(), DCL_CMP_BINARY, 1024, innerStream),
              DCL_CMP_NO_ERROR);
    Nested n{{&in.out, 0, 3, {}}, &innerStream, {}};
    auto write = [](char* buf, unsigned int* size, void* param) {
      auto& nn = *static_cast<Nested*>(param);
      nn.feed.out.insert(nn.feed.out.end(), buf, buf + *size);
      if (nn.innerOut.empty()) {
        std::vector<char> work(DCL_EXPLODE_WORK_SIZE);
        Feed inner{nn.innerStream, 0, SIZE_MAX, {}};
        if (dcl_explode(ReadFeed, WriteFeed, work.data(), &inner) == DCL_CMP_NO_ERROR)
          nn.innerOut = inner.out;
      }
    };
    auto read = [](char* buf, unsigned int* size, void* param) {
      return ReadFeed(buf, size, &static_cast<Nested*>(param)->feed);
    };
    ASSERT_EQ(dcl_explode(read, write, outer.data() + offset, &n), DCL_CMP_NO_ERROR);
    EXPECT_TRUE(n.feed.out == data);
    EXPECT_TRUE(n.innerOut == text);
    for (size_t i = offset + DCL_EXPLODE_WORK_SIZE; i < outer.size(); ++i)
      EXPECT_EQ(outer[i], '\x5A');
  }
}

TEST(DclImplode, RejectsBadParameters) {
  const Bytes data = FromString("abc");
  Bytes packed;
  EXPECT_EQ(ImplodeBuffer(data.data(), data.size(), 2, 4096, packed), DCL_CMP_INVALID_MODE);
  EXPECT_EQ(ImplodeBuffer(data.data(), data.size(), 0, 1000, packed), DCL_CMP_INVALID_DICTSIZE);
  EXPECT_EQ(ImplodeBuffer(data.data(), data.size(), 0, 8192, packed), DCL_CMP_INVALID_DICTSIZE);
  EXPECT_TRUE(packed.empty());
}

TEST(DclImplode, OutputDoesNotDependOnReadPieces) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += std::to_string(i * 7919 % 1000) + (i % 9 ? " " : "\n");
  const Bytes data = FromString(text);
  Bytes whole;
  ASSERT_EQ(ImplodeBuffer(data.data(), data.size(), DCL_CMP_ASCII, 2048, whole), DCL_CMP_NO_ERROR);
  std::vector<char> work(DCL_IMPLODE_WORK_SIZE);
  Feed f{&data, 0, 1, {}};
  unsigned type = DCL_CMP_ASCII, dict = 2048;
  ASSERT_EQ(dcl_implode(ReadFeed, WriteFeed, work.data(), &f, &type, &dict), DCL_CMP_NO_ERROR);
  EXPECT_TRUE(f.out == whole);
}

TEST(DclCrc32, MatchesTheStandardCheckValueInAnyPieces) {
  const std::string s = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(s.data()), s.size()), 0xCBF43926u);
  unsigned long crc = 0xFFFFFFFFul;
  for (char c : s) {
    unsigned int one = 1;
    char byte = c;
    crc = dcl_crc32(&byte, &one, &crc);
  }
  EXPECT_EQ(crc ^ 0xFFFFFFFFul, 0xCBF43926ul);
  EXPECT_EQ(Crc32(nullptr, 0), 0u);
}

}  // namespace
}  // namespace ssi::dcl
