// impborl.dll as the installer sees it: loaded by path, entry points looked
// up by their literal names, called with the cdecl callback contract.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "artifacts.h"
#include "dcl.h"

namespace {

using ExplodeFn = unsigned int(__cdecl*)(dcl_read_fn, dcl_write_fn, char*, void*);
using ImplodeFn = unsigned int(__cdecl*)(dcl_read_fn, dcl_write_fn, char*, void*, unsigned int*,
                                         unsigned int*);
using CrcFn = unsigned long(__cdecl*)(char*, unsigned int*, unsigned long*);

struct Feed {
  std::string in;
  size_t pos = 0;
  size_t piece = 0xFFFFFFFF;
  std::string out;
};

unsigned int __cdecl ReadFeed(char* buf, unsigned int* size, void* param) {
  auto& f = *static_cast<Feed*>(param);
  size_t n = f.in.size() - f.pos;
  if (n > *size) n = *size;
  if (n > f.piece) n = f.piece;
  if (n != 0) std::memcpy(buf, f.in.data() + f.pos, n);
  f.pos += n;
  return static_cast<unsigned int>(n);
}

void __cdecl WriteFeed(char* buf, unsigned int* size, void* param) {
  static_cast<Feed*>(param)->out.append(buf, *size);
}

template <typename Fn>
Fn Entry(HMODULE dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

class ImpborlDll : public ::testing::Test {
 protected:
  void SetUp() override {
    dll_ = LoadLibraryA(ssi::test::ArtifactPath("SSI_IMPBORL").c_str());
    ASSERT_NE(dll_, nullptr) << "LoadLibraryA failed: " << GetLastError();
    explode_ = Entry<ExplodeFn>(dll_, "_explode");
    implode_ = Entry<ImplodeFn>(dll_, "_implode");
    crc_ = Entry<CrcFn>(dll_, "_crc32");
    ASSERT_NE(explode_, nullptr);
    ASSERT_NE(implode_, nullptr);
    ASSERT_NE(crc_, nullptr);
  }
  void TearDown() override {
    if (dll_ != nullptr) FreeLibrary(dll_);
  }
  HMODULE dll_ = nullptr;
  ExplodeFn explode_ = nullptr;
  ImplodeFn implode_ = nullptr;
  CrcFn crc_ = nullptr;
};

TEST_F(ImpborlDll, ExplodesTheKnownSampleReadOneByteAtATime) {
  static char work[DCL_EXPLODE_WORK_SIZE];  // one area for the program, as the installer has
  Feed f;
  f.in = std::string("\x00\x04\x82\x24\x25\x8F\x80\x7F", 8);
  f.piece = 1;
  EXPECT_EQ(explode_(ReadFeed, WriteFeed, work, &f), 0u);
  EXPECT_EQ(f.out, "AIAIAIAIAIAIA");
}

TEST_F(ImpborlDll, ImplodesAndExplodesInEveryMode) {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "saver " + std::to_string(i % 97) + (i % 5 ? "; " : "\r\n");
  for (unsigned type : {0u, 1u}) {
    for (unsigned dict : {1024u, 2048u, 4096u}) {
      std::vector<char> implodeWork(DCL_IMPLODE_WORK_SIZE), explodeWork(DCL_EXPLODE_WORK_SIZE);
      Feed plain;
      plain.in = text;
      ASSERT_EQ(implode_(ReadFeed, WriteFeed, implodeWork.data(), &plain, &type, &dict), 0u);
      EXPECT_LT(plain.out.size(), text.size() / 3);
      Feed packed;
      packed.in = plain.out;
      ASSERT_EQ(explode_(ReadFeed, WriteFeed, explodeWork.data(), &packed), 0u);
      EXPECT_EQ(packed.out, text) << type << "/" << dict;
    }
  }
}

// Streams written by node-pkware, an implementation we did not write
// (make-pkware-streams.sh), in all six modes, read in pieces of 1000 bytes.
TEST_F(ImpborlDll, ExplodesStreamsOfAnotherImplementation) {
  const std::string dir = ssi::test::ArtifactPath("SSI_DCL_PKWARE_DIR") + "\\";
  static char work[DCL_EXPLODE_WORK_SIZE];
  for (const char* name : {"random", "zeros", "nines", "text", "pe"}) {
    const std::string plain = ssi::test::ReadWholeFile(dir + name + ".in");
    ASSERT_FALSE(plain.empty()) << name;
    for (const char* mode : {"binary", "ascii"}) {
      for (const char* dict : {"1024", "2048", "4096"}) {
        const std::string what = std::string(name) + "." + mode + dict;
        Feed f;
        f.in = ssi::test::ReadWholeFile(dir + what + ".dcl");
        f.piece = 1000;
        ASSERT_FALSE(f.in.empty()) << what;
        EXPECT_EQ(explode_(ReadFeed, WriteFeed, work, &f), 0u) << what;
        EXPECT_TRUE(f.out == plain) << what << ": " << f.out.size() << " bytes of " << plain.size();
      }
    }
  }
}

TEST_F(ImpborlDll, Crc32FollowsTheRunningValueConvention) {
  char digits[] = "123456789";
  unsigned int size = 9;
  unsigned long crc = 0xFFFFFFFFul;
  crc = crc_(digits, &size, &crc);
  EXPECT_EQ(crc ^ 0xFFFFFFFFul, 0xCBF43926ul);
}

}  // namespace
