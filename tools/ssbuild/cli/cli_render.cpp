// ssbuild render: a Flash movie's stage after some frames, as a PNG.
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
  int64_t frames = 1;
  std::string output;
  std::vector<std::string> files;
  while (!args.Done() && !args.Failed()) {
    const std::string option = args.Take();
    if (option == "--frames") {
      args.TakeInt(option, 1, 1000000, frames);
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
  const std::vector<uint8_t> png = player::EncodePng(movie->Render());
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
