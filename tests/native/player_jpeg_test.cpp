// Our baseline JPEG decoder against ImageMagick's (a decoder we did not
// write): pictures of several sizes, subsamplings, restart intervals and
// qualities are written by `convert`, decoded by both, and compared.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "format/jpeg.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PlayerJpeg, AgreesWithImageMagick) {
  if (std::system("convert -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick's convert is missing";
  const std::string dir = testing::TempDir();
  struct Case {
    int width, height;
    const char* options;
  };
  const Case cases[] = {
      {64, 48, "-sampling-factor 4:4:4 -quality 95"},
      {61, 37, "-sampling-factor 4:2:0 -quality 80"},
      {100, 17, "-sampling-factor 4:2:2 -quality 60"},
      {33, 70, "-colorspace Gray -quality 90"},
      {80, 80, "-sampling-factor 4:2:0 -quality 85 -define jpeg:restart-interval=2"},
  };
  for (const Case& c : cases) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    const std::string jpg = dir + "p.jpg", ppm = dir + "p.ppm";
    // A picture with smooth gradients and hard edges alike.
    const std::string make = "convert -size " + size + " plasma:fractal -seed 5 -fill black -draw 'circle 20,20 " +
                             "30,25' " + c.options + " -interlace none " + jpg + " && convert " + jpg +
                             " -colorspace sRGB -type TrueColor " + ppm;
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    int width = 0, height = 0;
    Bytes rgba;
    ASSERT_EQ(player::DecodeJpeg(ReadFile(jpg), width, height, rgba), "") << c.options;
    ASSERT_EQ(width, c.width);
    ASSERT_EQ(height, c.height);
    const Bytes oracle = ReadFile(ppm);
    const size_t pixels = static_cast<size_t>(width * height);
    ASSERT_GE(oracle.size(), pixels * 3);
    const uint8_t* expected = oracle.data() + oracle.size() - pixels * 3;
    double total = 0;
    int worst = 0;
    for (size_t i = 0; i < pixels; ++i)
      for (size_t k = 0; k < 3; ++k) {
        const int diff = std::abs(rgba[i * 4 + k] - expected[i * 3 + k]);
        total += diff;
        worst = std::max(worst, diff);
      }
    // Upsampling and rounding differ between decoders; the picture may not.
    EXPECT_LT(total / static_cast<double>(pixels * 3), 2.5) << c.options;
    EXPECT_LT(worst, 48) << c.options;
  }
  // A progressive picture: refused with its reason.
  ASSERT_EQ(std::system(("convert -size 16x16 xc:red -interlace JPEG " + dir + "q.jpg").c_str()), 0);
  int width = 0, height = 0;
  Bytes rgba;
  EXPECT_NE(player::DecodeJpeg(ReadFile(dir + "q.jpg"), width, height, rgba).find("progressive"),
            std::string::npos);
}

}  // namespace
