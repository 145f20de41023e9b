#include "example_project.h"

#include "bundled_files.h"
#include "picture_image.h"

namespace ssbuild {
namespace {

constexpr const char* kProject = R"(; An ssbuild project: build the installer with
;     ssbuild build project.ini
; Paths are relative to this file. ${NAME} takes a value from [variables] or
; from the command line (-D NAME=VALUE), and every option of `ssbuild build`
; overrides what this file says (see `ssbuild build --help`).

[variables]
saver = sample

[installer]
; The installer to write.
output = ${saver}-setup.exe
; The screen saver's name: the installer names the program <name>.scr and its
; folder "<name> dir" in the Windows folder. At most 64 characters.
name = ${saver}
; What the installer window shows: picture (the preview below: a BMP, PNG,
; JPEG or GIF, made into the window's 350x150 bitmap), movie (the preview is a
; Flash movie), none, or silent (install at once, no window).
; Behind a picture preview that does not fill the window's panel:
; preview-background = #FFFFFF
display = picture
; Show the licence in the window; the button then reads "Accept and Install".
accept-licence = yes
; Open the read-me once the screen saver is installed.
open-readme = yes
; Open Display Properties on its screen saver page afterwards.
open-display-properties = no
; How entries are packed: binary (the default), ascii, or store; binary:2048 etc.
; compression = binary:4096
; How many entries are imploded side by side (default: one per processor).
; jobs = 2
; The installer's own icon and version record (its Properties in Explorer);
; the publisher and version also show in Add or Remove Programs.
; icon = setup.ico
; product = Sample Screen Saver
; publisher = Sample Makers
; version = 1.0
; copyright = (c) Sample Makers
; description = Sample Screen Saver Setup
; A command that signs the installer, run after the build only when you
; build with --allow-project-commands (or give it as --sign "..."), e.g.
; sign = osslsigncode sign -pkcs12 my.pfx -in {in} -out {out}

[files]
; Each role is one file of the installer. Left out, the builder fills in what
; the install needs and says so in one line.
;
; The screen saver program (lands in the Windows folder as <name>.scr).
screen-saver = sample.scr
; The preview shown in the window (lands in the screen saver's folder).
preview = preview.bmp
; The licence text shown in the window (lands in the screen saver's folder).
licence = licence.txt
; The read-me, opened after the install (lands in the screen saver's folder).
readme = readme.txt
; Further files of the screen saver, landing in its folder:
; further-file = settings.cfg
; support-library-1 = helper1.dll
; support-library-2 = helper2.dll
; The data file: made from the chunks below. Or give one made by
; `ssbuild data` here instead (data-file = sample.ssd).
; The compression library impborl.dll and, for movie previews, the Flash
; player's installer (flash-installer = flashax.exe) can be given too.
; An entry's name and packing can be changed: preview.name = ..., readme.compression = store

[data-file]
; The screen saver's settings record (1220 bytes), carried to saver.dat.
; settings = settings.bin

; Each chunk becomes one file in the screen saver's folder. The sample screen
; saver shows the pictures it finds there.
[chunk]
file = pictures/picture1.bmp

[chunk]
file = pictures/picture2.bmp

[show]
; How the screen saver shows its pictures. Left out, it shows every picture
; of its folder as listed, 6 seconds each, fading 700 ms from one to the next.
; One line per picture, in order, NAME or NAME:SECONDS:
; picture = picture1.bmp:10
; picture = picture2.bmp
; Or pictures by their files, each becoming a chunk too (BMP, PNG, JPEG, GIF):
; picture = photos/*.jpg
; picture = photos/
; Or a Flash movie (a chunk too), with the pictures as its fall-back:
; movie = show.swf
; seconds = 6
; transition: cut, fade or wipe
; transition = fade
; transition-ms = 700
; order: listed or shuffled
; order = listed
; The publisher and version that Add or Remove Programs shows:
; publisher = Sample Makers
; version = 1.0
)";

constexpr const char* kLicence =
    "Sample screen saver - licence\r\n"
    "\r\n"
    "This sample screen saver comes with ssbuild as an example. You may install\r\n"
    "it on any number of computers, copy it and give it away.\r\n"
    "\r\n"
    "It comes without any warranty. By pressing \"Accept and Install\" you agree\r\n"
    "to these terms.\r\n";

constexpr const char* kReadMe =
    "Sample screen saver\r\n"
    "\r\n"
    "It shows the pictures in its folder, C:\\WINDOWS\\sample dir\\, one after\r\n"
    "the other.\r\n"
    "\r\n"
    "To remove it, use Add or Remove Programs.\r\n";

Bytes Text(const char* text) { return Bytes(text, text + std::char_traits<char>::length(text)); }

}  // namespace

Bytes DrawExampleBitmap(int width, int height, int sunX, int sunY) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  const int horizon = height / 3;  // the grass, counted from the bottom
  const int radius = height / 8;
  for (int top = 0; top < height; ++top) {
    const int y = height - 1 - top;
    for (int x = 0; x < width; ++x) {
      uint8_t* p =
          &rgb[(static_cast<size_t>(top) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
               3];
      const int dx = x - sunX;
      const int dy = top - sunY;
      int r = 0;
      int g = 0;
      int b = 0;
      if (dx * dx + dy * dy <= radius * radius) {
        r = 255, g = 216, b = 74;
      } else if (y < horizon) {
        const int shade = 120 * y / horizon;
        r = 40 + shade / 3, g = 100 + shade, b = 30 + shade / 4;
      } else {
        const int shade = 100 * (y - horizon) / (height - horizon);
        r = 160 + shade / 2, g = 210 + shade / 3, b = 240;
      }
      p[0] = static_cast<uint8_t>(r);
      p[1] = static_cast<uint8_t>(g);
      p[2] = static_cast<uint8_t>(b);
    }
  }
  return WriteBmp24(width, height, rgb);
}

Status MakeExampleProject(std::vector<ExampleFile>& files) {
  files.clear();
  BundledFile saver;
  Status status = FindBundledFile(kSampleSaverFileName, saver);
  if (!status.ok()) return status;
  if (saver.path.empty()) {
    files.push_back({"sample.scr", std::move(saver.bytes)});
  } else {
    Bytes bytes;
    status = ReadWholeFile(saver.path, bytes);
    if (!status.ok()) return status;
    files.push_back({"sample.scr", std::move(bytes)});
  }
  files.push_back({"project.ini", Text(kProject)});
  files.push_back({"licence.txt", Text(kLicence)});
  files.push_back({"readme.txt", Text(kReadMe)});
  files.push_back({"preview.bmp", DrawExampleBitmap(350, 150, 290, 35)});
  files.push_back({"pictures/picture1.bmp", DrawExampleBitmap(320, 240, 250, 60)});
  files.push_back({"pictures/picture2.bmp", DrawExampleBitmap(320, 240, 70, 80)});
  return {};
}

}  // namespace ssbuild
