// libFuzzer target: arbitrary bytes as a Flash movie for the player. Loaded,
// three frames advanced, the stage drawn at 64 x 48 between frames. Checked:
// no crash, hang or growth; a refused movie gives a one-line message; every
// frame comes out at the size asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "movie/player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::string error;
  // Scripts run too, on a fixed clock so that a crash replays.
  player::Movie::Options options;
  options.clock = [] { return 0.0; };
  std::unique_ptr<player::Movie> movie = player::Movie::Load(bytes, error, options);
  if (!movie) {
    FUZZ_CHECK(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  for (int frame = 0; frame < 3; ++frame) {
    const player::Image image = movie->Render(64, 48);
    FUZZ_CHECK(image.width == 64 && image.height == 48 && image.rgba.size() == 64u * 48u * 4u);
    movie->Advance(1);
  }
  return 0;
}
