// Pictures as authors have them, against a decoder we did not write: each
// row makes a picture with ImageMagick's `convert`, the builder turns it into
// the preview bitmap, and `convert` both reads that bitmap back and makes the
// preview its own way (alpha over the background, fit, centre); the two must
// match within the row's per-pixel tolerance. Pictures the screen saver
// cannot show, or that do not decode, are refused with the reason.
// Then the same through `ssbuild build` and a project file: the note, the
// errors with their project line, the folder and wildcard picture lines, and
// the preview kept out of the slide show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "cli_scratch.h"
#include "picture_image.h"

namespace ssbuild {
namespace {

class Pictures : public CliScratch {
 protected:
  Pictures() : CliScratch("ssbuild_pictures_") {}

  // Runs convert with `args` in the scratch folder.
  void Convert(const std::string& args) const {
    const std::string command = "cd '" + dir_.string() + "' && convert " + args + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
};

struct ConversionRow {
  const char* file;
  const char* make;        // convert's arguments before the file's name
  const char* background;  // #RRGGBB
  int maxDiff;             // per channel, any pixel
  double meanDiff;         // per channel, over the panel
};

// Smooth pictures, so that the comparison measures decoding and placement
// rather than two resampling filters' taste in sharp edges.
const ConversionRow kConversions[] = {
    // Already the panel's size: decoding only (ImageMagick's gradient is
    // 16-bit, which the two take to 8 bits a little differently).
    {"exact.png", "-size 350x150 gradient:red-blue", "#FFFFFF", 1, 0.5},
    // Alpha over the author's colour, halved.
    {"alpha.png", "-size 700x300 radial-gradient:green-none", "#336699", 6, 0.6},
    // Doubled, with bars left and right.
    {"baseline.jpg", "-size 100x75 gradient:yellow-navy -quality 92", "#000000", 4, 0.6},
    {"progressive.jpg",
     "-size 700x300 radial-gradient:white-darkgreen -interlace Plane -quality 92", "#000000", 4,
     0.8},
    // A palette picture that fits as it is: bars, no scaling.
    {"flat.gif", "-size 174x150 xc:skyblue -fill tomato -draw 'circle 87,75 87,20'", "#FFFFFF", 0,
     0.0},
    {"tall.bmp", "-size 140x300 gradient:green-white -type TrueColor BMP3:", "#808080", 4, 0.8},
};

TEST_F(Pictures, PreviewMatchesAnIndependentDecoder) {
  for (const ConversionRow& row : kConversions) {
    SCOPED_TRACE(row.file);
    std::string make = row.make;
    const bool prefixed = make.back() == ':';
    Convert(make + (prefixed ? "" : " ") + row.file);
    Bytes bmp;
    PictureFacts facts;
    Rgb background;
    ASSERT_TRUE(ParseColour(row.background, background));
    const Status status = MakePreviewBitmap(Read(row.file), background, bmp, facts);
    ASSERT_TRUE(status.ok()) << status.text();
    Write("ours.bmp", bmp);
    Convert("ours.bmp -depth 8 rgb:ours.rgb");
    Convert(std::string(row.file) + " -background '" + row.background +
            "' -alpha remove -alpha off -resize 350x150 -gravity center -extent 350x150 "
            "-depth 8 rgb:theirs.rgb");
    const Bytes ours = Read("ours.rgb");
    const Bytes theirs = Read("theirs.rgb");
    ASSERT_EQ(ours.size(), size_t{kPreviewWidth} * kPreviewHeight * 3);
    ASSERT_EQ(theirs.size(), ours.size());
    int worst = 0;
    double total = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      const int diff = std::abs(int{ours[i]} - int{theirs[i]});
      worst = std::max(worst, diff);
      total += diff;
    }
    const double mean = total / static_cast<double>(ours.size());
    std::printf("%-16s %4dx%-4d worst %3d, mean %.2f\n", row.file, facts.width, facts.height, worst,
                mean);
    EXPECT_LE(worst, row.maxDiff);
    EXPECT_LE(mean, row.meanDiff);
  }
}

TEST_F(Pictures, RefusedWithTheReason) {
  Convert("-size 20x20 xc:red picture.webp");
  Convert("-size 20x20 xc:red picture.tif");
  Convert("-size 64x64 gradient:red-blue whole.png");
  Bytes cut = Read("whole.png");
  cut.resize(cut.size() / 2);
  Bytes header = cut;
  header.resize(30);
  // A damaged length: a gigabyte of compressed pixels claimed by a small file
  // must be refused before anything of that size is asked for.
  Bytes claims = Read("whole.png");
  const auto idat =
      std::search(claims.begin(), claims.end(), std::begin("IDAT"), std::end("IDAT") - 1);
  ASSERT_NE(idat, claims.end());
  idat[-4] = 0x40;
  // Headers alone: a bitmap of 126 x 0 pixels, and a 40-byte GIF that claims
  // 16384 x 16384 (decoding it took 2.4 GB).
  Bytes noRows{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 126, 0, 0, 0,
               0, 0, 0, 0, 1, 0, 24};
  noRows.resize(54 + 128);
  const Bytes huge{'G', 'I', 'F', '8', '9', 'a', 0, 0x40, 0, 0x40, 0x80, 0, 0, 0, 0, 0, 0xFF,
                   0xFF, 0xFF, ',', 0, 0, 0, 0, 0, 0x40, 0, 0x40, 0, 2, 2, 0x44, 1, 0, ';'};
  const struct {
    const char* what;
    Bytes file;
    const char* reason;
  } rows[] = {
      {"WebP", Read("picture.webp"), "WebP: the screen saver shows BMP, PNG, JPEG and GIF"},
      {"TIFF", Read("picture.tif"), "TIFF: the screen saver shows"},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o'}, "not a picture: the screen saver shows"},
      {"a PNG cut in half", cut, "PNG that does not decode"},
      {"a PNG cut inside its header", header, "PNG that does not decode"},
      {"a PNG chunk longer than the file", claims, "a chunk runs past the end of the file"},
      {"a bitmap of no rows", noRows, "BMP that does not decode"},
      {"a GIF of 16384 x 16384", huge, "GIF of 16384x16384 pixels: larger than the builder"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PictureFacts facts;
    const Status status = CheckPicture(row.file, facts);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.text().find(row.reason), std::string::npos) << status.text();
    Bytes bmp;
    EXPECT_FALSE(MakePreviewBitmap(row.file, Rgb{}, bmp, facts).ok());
  }
}

// The example project with a PNG preview and its pictures given by folder,
// by wildcard and by file, built by the command line in-process.
TEST_F(Pictures, ProjectFilePictures) {
  ASSERT_EQ(Run({"init", dir_.string(), "--force"}), 0) << err_.str();
  Convert("-size 700x300 gradient:orange-purple art.png");
  std::filesystem::create_directories(dir_ / "more");
  Convert("-size 64x48 gradient:red-blue more/b.JPG");
  Convert("-size 64x48 gradient:blue-red more/a.jpg");
  Convert("-size 64x48 xc:red more/c.gif");
  Write("more/Thumbs.db", Bytes(10, 0));
  Convert("-size 20x20 xc:red more/d.webp");
  Convert("-size 20x20 xc:red skipped.png");
  std::string project;
  {
    const Bytes text = Read("project.ini");
    project.assign(text.begin(), text.end());
  }
  const auto build = [&](const std::string& text) {
    Write("p.ini", Bytes(text.begin(), text.end()));
    return Run({"build", Path("p.ini"), "-o", Path("out.exe")});
  };
  const std::string withPng = [&] {
    std::string text = project;
    text.replace(text.find("preview = preview.bmp"), 21, "preview = art.png");
    return text;
  }();

  // Without a list the preview would join the show: the chunks are listed.
  ASSERT_EQ(build(withPng), 0) << err_.str();
  EXPECT_NE(err_.str().find("art.png (PNG, 700x300) goes in as the 350x150 24-bit BMP"),
            std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find("lists the data file's 2 pictures"), std::string::npos) << err_.str();
  ASSERT_EQ(Run({"extract", Path("out.exe"), "-C", Path("x")}), 0) << err_.str();
  ASSERT_EQ(Run({"list", Path("x/sample.ssd")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("picture picture1.bmp\n  picture picture2.bmp\n"), std::string::npos)
      << out_.str();
  const Bytes preview = Read("x/art.png");
  EXPECT_EQ(preview.size(), 54u + 1052u * 150u);  // rows of 350 pixels padded to 1052 bytes
  EXPECT_EQ(preview[0], 'B');

  // Listed by its own name, the preview is shown under the name it lands as.
  ASSERT_EQ(build(withPng + "picture = art.png\npicture = picture1.bmp\n"), 0) << err_.str();
  EXPECT_EQ(err_.str().find("warning"), std::string::npos) << err_.str();
  ASSERT_EQ(Run({"extract", Path("out.exe"), "-C", Path("z")}), 0) << err_.str();
  ASSERT_EQ(Run({"list", Path("z/sample.ssd")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("  picture art.bmp\n  picture picture1.bmp\n"), std::string::npos)
      << out_.str();

  // A data file that carries a layout of its own keeps it whole: its list,
  // its publisher.
  ASSERT_EQ(Run({"data", "-o", Path("own.ssd"), "--chunk", Path("more/a.jpg"), "--chunk",
                 Path("more/c.gif"), "--show", "picture", "a.jpg", "--publisher", "Meadow Makers"}),
            0)
      << err_.str();
  ASSERT_EQ(Run({"build", "-o", Path("own.exe"), "--saver-name", "own", "--display-mode", "1",
                 "--preview", Path("art.png"), "--data", Path("own.ssd"), "--allow-incomplete"}),
            0)
      << err_.str();
  ASSERT_EQ(Run({"extract", Path("own.exe"), "-C", Path("w")}), 0) << err_.str();
  ASSERT_EQ(Run({"list", Path("w/own.ssd")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("  picture a.jpg\n  publisher: Meadow Makers\n"), std::string::npos)
      << out_.str();

  // A folder takes its pictures in name order (any case), not Thumbs.db; a
  // wildcard its matches; a file path the file. The WebP is refused.
  std::string lines = withPng + "picture = more/\n";
  ASSERT_EQ(build(lines), 2);
  EXPECT_NE(err_.str().find("more/d.webp: WebP: the screen saver shows"), std::string::npos)
      << err_.str();
  std::filesystem::remove(dir_ / "more/d.webp");
  ASSERT_EQ(build(lines + "picture = *.png:9\n"), 0) << err_.str();
  ASSERT_EQ(Run({"extract", Path("out.exe"), "-C", Path("y")}), 0) << err_.str();
  ASSERT_EQ(Run({"list", Path("y/sample.ssd")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("  picture a.jpg\n  picture b.JPG\n  picture c.gif\n"
                            "  picture art.png (9 s)\n  picture skipped.png (9 s)\n"),
            std::string::npos)
      << out_.str();

  // A picture that does not decode names its project line.
  Write("more/a.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
  ASSERT_EQ(build(lines), 2);
  const std::string line = std::to_string(std::count(lines.begin(), lines.end(), '\n')) + ": ";
  EXPECT_NE(err_.str().find("p.ini:" + line + "chunk 3: "), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("a.jpg: JPEG that does not decode"), std::string::npos) << err_.str();
  EXPECT_EQ(Run({"build", Path("p.ini"), "-o", Path("nothing.exe")}), 2);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "nothing.exe"));

  // So is a preview that does not decode.
  Bytes cut = Read("art.png");
  cut.resize(100);
  Write("cut.png", cut);
  std::string cutPreview = project;
  cutPreview.replace(cutPreview.find("preview = preview.bmp"), 21, "preview = cut.png");
  ASSERT_EQ(build(cutPreview), 2);
  EXPECT_NE(err_.str().find("entry 3 (preview): " + Path("cut.png") + ": PNG that does not decode"),
            std::string::npos)
      << err_.str();

  // No match is an error on the line too.
  ASSERT_EQ(build(withPng + "picture = more/*.tga\n"), 2);
  EXPECT_NE(err_.str().find("picture = more/*.tga: no file in"), std::string::npos) << err_.str();
}

}  // namespace
}  // namespace ssbuild
