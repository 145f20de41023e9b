// ssbuild render: a Flash movie's stage after some frames, as a PNG.
#include <cstdlib>
#include <ostream>

#include "cli.h"
#include "cli_args.h"
#include "cli_commands.h"
#include "installer_builder.h"
#include "movie/player.h"
#include "raster/png.h"

namespace ssbuild {

int RenderCommand(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  ArgList args(argv, 0);
  int64_t frames = 1, width = 0, height = 0;
  std::string output;
  std::vector<std::string> files;
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    if (option == "--frames") {
      args.TakeInt(option, 1, 1000000, frames);
    } else if (option == "--size") {
      // WxH: the stage fitted into that many pixels, as a host shows it
      // (kept in proportion, centred, the rest in the background colour).
      const std::string size = args.Done() ? std::string() : args.Take();
      const size_t x = size.find('x');
      char* end = nullptr;
      width = x == std::string::npos ? 0 : std::strtol(size.c_str(), &end, 10);
      if (end != size.c_str() + x) width = 0;
      height = width > 0 ? std::strtol(size.c_str() + x + 1, &end, 10) : 0;
      if (width <= 0 || height <= 0 || *end || width > player::kMaxStageSide ||
          height > player::kMaxStageSide)
        args.Fail("--size needs WIDTHxHEIGHT, each 1 to " + std::to_string(player::kMaxStageSide));
    } else if (option == "-o") {
      if (args.Done()) args.Fail("-o needs a file name");
      else output = args.Take();
    } else if (option.size() > 1 && option[0] == '-') {
      args.Fail("render: unknown option \"" + option + "\"");
    } else {
      files.push_back(option);
    }
  }
  if (!args.Failed() && files.size() != 1) args.Fail("render needs one MOVIE.swf");
  if (!args.Failed() && output.empty()) args.Fail("render needs -o OUT.png");
  if (args.Failed()) return UsageFailure(err, args.Error());
  Bytes bytes;
  Status status = ReadWholeFile(files[0], bytes);
  if (!status.ok()) {
    err << "ssbuild: " << status.text() << "\n";
    return kExitFailed;
  }
  std::string error;
  std::unique_ptr<player::Movie> movie = player::Movie::Load(bytes, error);
  if (!movie) {
    err << "ssbuild: " << files[0] << ": " << error << "\n";
    return kExitFailed;
  }
  movie->Advance(static_cast<int>(frames - 1));
  const std::vector<uint8_t> png =
      player::EncodePng(movie->Render(static_cast<int>(width), static_cast<int>(height)));
  status = WriteWholeFile(output, Bytes(png.begin(), png.end()));
  if (!status.ok()) {
    err << "ssbuild: " << status.text() << "\n";
    return kExitFailed;
  }
  out << output << ": " << movie->StageWidth() << " x " << movie->StageHeight() << " after " << frames
      << (frames == 1 ? " frame\n" : " frames\n");
  return kExitOk;
}

}  // namespace ssbuild
