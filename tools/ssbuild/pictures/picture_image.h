#pragma once
// Pictures as authors have them: what a file is, whether the sample screen
// saver can show it, and the preview turned into the bitmap the installer
// window shows. Bytes in, bytes out: no file access, so any front end (the
// command line, a web page) can use it. Decoding is stb_image's (stb_codecs.h).
#include <cstdint>
#include <string>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

enum class PictureFormat { kUnknown, kBmp, kPng, kJpeg, kGif, kWebp, kTiff, kIcon };

// By the first bytes, whatever the file's name says.
PictureFormat SniffPicture(const Bytes& head);
const char* PictureFormatName(PictureFormat format);  // "PNG", "JPEG", ...

// BMP, PNG, JPEG and GIF: what the sample screen saver loads (Windows' own
// bitmap loader, then GDI+) and what its folder scan picks by extension.
bool SaverShowsFormat(PictureFormat format);
// ".bmp", ".png", ".jpg", ".jpeg", ".gif", any case.
bool SaverShowsExtension(const std::string& name);
// The extensions above and those of picture formats the saver cannot show
// (".webp", ".tif", ...): names an author most likely meant as pictures.
bool LooksLikePicture(const std::string& name);

// The preview panel of the installer window at 96 DPI (form_layout.h bmpPanel).
constexpr int kPreviewWidth = 350;
constexpr int kPreviewHeight = 150;

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};
// Behind a preview that does not fill the panel, unless the author says otherwise.
constexpr Rgb kDefaultPreviewBackground{0xFF, 0xFF, 0xFF};

// "#RRGGBB", "RRGGBB" or "white"/"black"; false for anything else.
bool ParseColour(const std::string& text, Rgb& out);

struct PictureFacts {
  PictureFormat format = PictureFormat::kUnknown;
  int width = 0;
  int height = 0;
};

// Decodes the whole picture (every byte checked as far as the decoder does);
// fails with the decoder's reason, or unread above 32 Mi (33,554,432) pixels.
Status CheckPicture(const Bytes& file, PictureFacts& facts);

// The same from the first bytes only (format and size from the header), for
// files too large to decode in the builder's memory budget.
Status CheckPictureHeader(const Bytes& head, PictureFacts& facts);

// A 24-bit bottom-up BMP of kPreviewWidth x kPreviewHeight: the picture
// scaled to fit with its aspect kept, centred on `background`, transparent
// parts laid over it. Refused, like CheckPicture, above 32 Mi pixels.
Status MakePreviewBitmap(const Bytes& file, Rgb background, Bytes& bmp, PictureFacts& facts);

// A 24-bit bottom-up BMP of packed top-down RGB pixels.
Bytes WriteBmp24(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace ssbuild
