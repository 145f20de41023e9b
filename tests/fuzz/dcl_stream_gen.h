#pragma once
// Valid DCL streams written symbol by symbol, with the bytes they must expand
// to worked out by plain copying. The interop tests hand these streams to
// independent decoders and the fuzz targets to libdynamite, so the expected
// bytes never come from our own decoder.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dcl_codes.h"

namespace ssi::dcl::streams {

using Bytes = std::vector<uint8_t>;

class StreamWriter {
 public:
  StreamWriter(unsigned mode, unsigned dictBits) : mode_(mode), dictBits_(dictBits) {
    bytes_ = {static_cast<uint8_t>(mode), static_cast<uint8_t>(dictBits)};
  }
  void Literal(uint8_t c) {
    Put(0, 1);
    if (mode_ == 1) {
      Put(codes::kLiteralCode.stream[c], codes::kLiteralCode.bits[c]);
    } else {
      Put(c, 8);
    }
  }
  void Match(unsigned length, unsigned distance) {
    const unsigned sym = codes::kLengthSymbol[length];
    Put(1, 1);
    Put(codes::kLengthCode.stream[sym], codes::kLengthCode.bits[sym]);
    Put(length - codes::kLengthBase[sym], codes::kLengthExtra[sym]);
    if (length == codes::kEndLength) return;
    const unsigned low = length == 2 ? 2 : dictBits_;
    Put(codes::kDistanceCode.stream[(distance - 1) >> low],
        codes::kDistanceCode.bits[(distance - 1) >> low]);
    Put((distance - 1) & ((1u << low) - 1), low);
  }
  void End() { Match(codes::kEndLength, 0); }
  Bytes Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<uint8_t>(acc_));
    acc_ = count_ = 0;
    return bytes_;
  }

 private:
  void Put(unsigned value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
      acc_ |= ((value >> i) & 1u) << count_;
      if (++count_ == 8) {
        bytes_.push_back(static_cast<uint8_t>(acc_));
        acc_ = count_ = 0;
      }
    }
  }
  unsigned mode_;
  unsigned dictBits_;
  unsigned acc_ = 0;
  unsigned count_ = 0;
  Bytes bytes_;
};

// A stream under construction together with its expected output.
class StreamBuilder {
 public:
  StreamBuilder(unsigned mode, unsigned dictBits)
      : writer_(mode, dictBits), dictSize_(64u << dictBits) {}
  void Literal(uint8_t c) {
    writer_.Literal(c);
    plain_.push_back(c);
  }
  // Copies byte by byte, so overlapping copies repeat their pattern.
  void Match(unsigned length, unsigned distance) {
    writer_.Match(length, distance);
    for (unsigned i = 0; i < length; ++i) plain_.push_back(plain_[plain_.size() - distance]);
  }
  // The farthest distance a copy of `length` may use here.
  unsigned Reach(unsigned length) const {
    const size_t limit = length == 2 ? codes::kMaxLength2Distance : dictSize_;
    return static_cast<unsigned>(plain_.size() < limit ? plain_.size() : limit);
  }
  size_t size() const { return plain_.size(); }
  unsigned dictSize() const { return dictSize_; }
  Bytes FinishStream() {
    writer_.End();
    return writer_.Finish();
  }
  const Bytes& plain() const { return plain_; }

 private:
  StreamWriter writer_;
  unsigned dictSize_;
  Bytes plain_;
};

struct GeneratedStream {
  Bytes stream;
  Bytes plain;
};

// Random literals and copies covering every length 2..518 and every distance
// up to the dictionary size, copies that overlap their source, and runs of
// copies that end just before a multiple of 4096 bytes (where decoders move
// their windows). `next()` supplies 32-bit choices; a fuzz target feeds its
// input here, so libFuzzer's mutations stay valid streams.
template <typename Next>
GeneratedStream GenerateStream(Next& next, unsigned mode, unsigned dictBits, size_t budget) {
  static constexpr unsigned kEdgeLengths[] = {2,  3,   4,   5,   6,   7,   8,   9,   10,
                                              11, 12,  15,  16,  23,  24,  39,  40,  71,
                                              72, 135, 136, 263, 264, 300, 516, 517, 518};
  StreamBuilder b(mode, dictBits);
  auto pickDistance = [&](unsigned length) {
    const unsigned reach = b.Reach(length);
    const uint32_t r = next();
    switch (r % 4) {
      case 0:
        return 1 + (r >> 2) % (reach < 8 ? reach : 8);  // short, overlapping
      case 1:
        return reach - (r >> 2) % (reach < 4 ? reach : 4);  // the farthest allowed
      default:
        return 1 + (r >> 2) % reach;
    }
  };
  auto pickLength = [&]() {
    const uint32_t r = next();
    if (r % 2 == 0) return kEdgeLengths[(r >> 1) % (sizeof kEdgeLengths / sizeof *kEdgeLengths)];
    return 2 + (r >> 1) % (codes::kMaxLength - 1);
  };
  while (b.size() < budget) {
    const uint32_t op = next();
    if (b.size() == 0 || op % 8 < 2) {
      const unsigned count = 1 + (op >> 3) % 8;
      const uint32_t alphabet = (op >> 6) % 2 ? 256 : 4;  // a small alphabet makes repeats
      for (unsigned i = 0; i < count; ++i) b.Literal(static_cast<uint8_t>(next() % alphabet));
    } else if (op % 8 == 2) {
      // Fill with copies up to a few bytes short of the next 4096 boundary.
      const size_t target = (b.size() / 4096 + 1) * 4096 - (op >> 3) % 24;
      while (b.size() + 2 <= target && b.size() < budget) {
        size_t length = target - b.size();
        if (length > codes::kMaxLength) length = codes::kMaxLength;
        b.Match(static_cast<unsigned>(length), pickDistance(static_cast<unsigned>(length)));
      }
    } else {
      const unsigned length = pickLength();
      b.Match(length, pickDistance(length));
    }
  }
  GeneratedStream g;
  g.plain = b.plain();
  g.stream = b.FinishStream();
  return g;
}

}  // namespace ssi::dcl::streams
