#include "picture_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "le_bytes.h"
#include "path_rules.h"
#include "stb_codecs.h"

namespace ssbuild {
namespace {

bool StartsWith(const Bytes& head, std::initializer_list<uint8_t> magic, size_t at = 0) {
  if (head.size() < at + magic.size()) return false;
  return std::equal(magic.begin(), magic.end(), head.begin() + static_cast<std::ptrdiff_t>(at));
}

Status Undecodable(PictureFormat format, const std::string& why) {
  return Status::Fail(std::string(PictureFormatName(format)) +
                      " that does not decode: damaged or cut short (the decoder says \"" + why +
                      "\")");
}

// A picture is decoded whole at 4 to 13 bytes a pixel, and its header alone
// may claim 16384 x 16384 (a 40-byte GIF then took the builder 2.4 GB).
// Above this it is refused, not decoded; 8K screens are 33,177,600 pixels.
constexpr uint64_t kDecodablePixelsMax = 32u << 20;

Status TooLargeToDecode(const PictureFacts& facts) {
  if (uint64_t(facts.width) * uint64_t(facts.height) <= kDecodablePixelsMax) return {};
  return Status::Fail(std::string(PictureFormatName(facts.format)) + " of " +
                      std::to_string(facts.width) + "x" + std::to_string(facts.height) +
                      " pixels: larger than the builder decodes (at most 33,554,432 pixels); give a"
                      " smaller picture");
}

Status Unsupported(PictureFormat format) {
  return Status::Fail(
      std::string(format == PictureFormat::kUnknown ? "not a picture" : PictureFormatName(format)) +
      ": the screen saver shows BMP, PNG, JPEG and GIF pictures");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

PictureFormat SniffPicture(const Bytes& head) {
  if (StartsWith(head, {'B', 'M'})) return PictureFormat::kBmp;
  if (StartsWith(head, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return PictureFormat::kPng;
  if (StartsWith(head, {0xFF, 0xD8, 0xFF})) return PictureFormat::kJpeg;
  if (StartsWith(head, {'G', 'I', 'F', '8'})) return PictureFormat::kGif;
  if (StartsWith(head, {'R', 'I', 'F', 'F'}) && StartsWith(head, {'W', 'E', 'B', 'P'}, 8))
    return PictureFormat::kWebp;
  if (StartsWith(head, {'I', 'I', 42, 0}) || StartsWith(head, {'M', 'M', 0, 42}))
    return PictureFormat::kTiff;
  if (StartsWith(head, {0, 0, 1, 0})) return PictureFormat::kIcon;
  return PictureFormat::kUnknown;
}

const char* PictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBmp:
      return "BMP";
    case PictureFormat::kPng:
      return "PNG";
    case PictureFormat::kJpeg:
      return "JPEG";
    case PictureFormat::kGif:
      return "GIF";
    case PictureFormat::kWebp:
      return "WebP";
    case PictureFormat::kTiff:
      return "TIFF";
    case PictureFormat::kIcon:
      return "an icon";
    case PictureFormat::kUnknown:
      break;
  }
  return "an unknown format";
}

bool SaverShowsFormat(PictureFormat format) {
  return format == PictureFormat::kBmp || format == PictureFormat::kPng ||
         format == PictureFormat::kJpeg || format == PictureFormat::kGif;
}

bool SaverShowsExtension(const std::string& name) {
  const std::string ext = ssi::AsciiLower(ssi::PathExtension(name));
  return ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif";
}

bool LooksLikePicture(const std::string& name) {
  static const char* const kOthers[] = {".webp", ".tif",  ".tiff", ".ico", ".heic",
                                        ".heif", ".avif", ".jfif", ".psd", ".svg"};
  const std::string ext = ssi::AsciiLower(ssi::PathExtension(name));
  return SaverShowsExtension(name) ||
         std::find(std::begin(kOthers), std::end(kOthers), ext) != std::end(kOthers);
}

bool ParseColour(const std::string& text, Rgb& out) {
  const std::string lower = ssi::AsciiLower(text);
  if (lower == "white") return out = Rgb{255, 255, 255}, true;
  if (lower == "black") return out = Rgb{0, 0, 0}, true;
  const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (hex.size() != 6) return false;
  uint8_t parts[3];
  for (size_t i = 0; i < 3; ++i) {
    const int high = HexDigit(hex[i * 2]);
    const int low = HexDigit(hex[i * 2 + 1]);
    if (high < 0 || low < 0) return false;
    parts[i] = static_cast<uint8_t>(high * 16 + low);
  }
  out = Rgb{parts[0], parts[1], parts[2]};
  return true;
}

Status CheckPictureHeader(const Bytes& head, PictureFacts& facts) {
  facts = PictureFacts{};
  facts.format = SniffPicture(head);
  if (!SaverShowsFormat(facts.format)) return Unsupported(facts.format);
  std::string why;
  if (!StbInfo(head.data(), head.size(), facts.width, facts.height, why))
    return Undecodable(facts.format, why);
  return {};
}

Status CheckPicture(const Bytes& file, PictureFacts& facts) {
  Status status = CheckPictureHeader(file, facts);
  if (status.ok()) status = TooLargeToDecode(facts);
  if (!status.ok()) return status;
  std::string why;
  if (!StbDecodes(file.data(), file.size(), why)) return Undecodable(facts.format, why);
  return {};
}

Bytes WriteBmp24(int width, int height, const std::vector<uint8_t>& rgb) {
  const auto w = static_cast<size_t>(width);
  const auto h = static_cast<size_t>(height);
  const size_t row = (w * 3 + 3) & ~size_t{3};
  Bytes bmp(54 + row * h, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  ssi::WriteU32(&bmp[2], static_cast<uint32_t>(bmp.size()));
  ssi::WriteU32(&bmp[10], 54);
  ssi::WriteU32(&bmp[14], 40);
  ssi::WriteU32(&bmp[18], static_cast<uint32_t>(width));
  ssi::WriteU32(&bmp[22], static_cast<uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = 24;
  ssi::WriteU32(&bmp[34], static_cast<uint32_t>(row * h));
  ssi::WriteU32(&bmp[38], 3780);  // 96 DPI in pixels a metre
  ssi::WriteU32(&bmp[42], 3780);
  for (size_t y = 0; y < h; ++y) {
    uint8_t* out = &bmp[54 + (h - 1 - y) * row];
    const uint8_t* in = &rgb[y * w * 3];
    for (size_t x = 0; x < w; ++x) {
      out[x * 3] = in[x * 3 + 2];
      out[x * 3 + 1] = in[x * 3 + 1];
      out[x * 3 + 2] = in[x * 3];
    }
  }
  return bmp;
}

Status MakePreviewBitmap(const Bytes& file, Rgb background, Bytes& bmp, PictureFacts& facts) {
  Status status = CheckPictureHeader(file, facts);
  if (status.ok()) status = TooLargeToDecode(facts);
  if (!status.ok()) return status;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  std::string why;
  if (!StbDecodeRgba(file.data(), file.size(), width, height, rgba, why))
    return Undecodable(facts.format, why);
  const auto pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgb(pixels * 3);
  const uint8_t back[3] = {background.r, background.g, background.b};
  for (size_t i = 0; i < pixels; ++i) {
    const unsigned alpha = rgba[i * 4 + 3];
    for (size_t c = 0; c < 3; ++c)
      rgb[i * 3 + c] =
          static_cast<uint8_t>((rgba[i * 4 + c] * alpha + back[c] * (255 - alpha) + 127) / 255);
  }
  rgba = {};

  // Scaled to fit the panel, up or down, aspect kept.
  const double scale = std::min(static_cast<double>(kPreviewWidth) / width,
                                static_cast<double>(kPreviewHeight) / height);
  const int fitWidth = std::clamp(static_cast<int>(std::lround(width * scale)), 1, kPreviewWidth);
  const int fitHeight =
      std::clamp(static_cast<int>(std::lround(height * scale)), 1, kPreviewHeight);
  std::vector<uint8_t> fitted;
  if (fitWidth == width && fitHeight == height)
    fitted = std::move(rgb);
  else if (!StbResizeRgb(rgb, width, height, fitWidth, fitHeight, fitted))
    return Status::Fail("the picture could not be scaled");

  std::vector<uint8_t> panel(static_cast<size_t>(kPreviewWidth) * kPreviewHeight * 3);
  for (size_t i = 0; i < panel.size(); i += 3)
    std::copy(back, back + 3, panel.begin() + static_cast<std::ptrdiff_t>(i));
  const int left = (kPreviewWidth - fitWidth) / 2;
  const int top = (kPreviewHeight - fitHeight) / 2;
  for (int y = 0; y < fitHeight; ++y)
    std::copy_n(fitted.begin() + static_cast<std::ptrdiff_t>(y) * fitWidth * 3, fitWidth * 3,
                panel.begin() + (static_cast<std::ptrdiff_t>(top + y) * kPreviewWidth + left) * 3);
  bmp = WriteBmp24(kPreviewWidth, kPreviewHeight, panel);
  return {};
}

}  // namespace ssbuild
