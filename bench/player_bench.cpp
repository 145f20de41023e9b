// Frames per second of the player at 1920 x 1080: each movie given is
// loaded, then advanced and drawn frame after frame for about a second.
// Prints one line a movie: frames per second by the wall clock and by the
// processor time spent (the figure to trust on a shared machine).
// Usage: player_bench MOVIE.swf... [--size WxH]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/player.h"

int main(int argc, char** argv) {
  int width = 1920, height = 1080;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size" && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &width, &height);
    else files.push_back(arg);
  }
  std::printf("%-52s %10s %10s %8s\n", "movie", "fps(wall)", "fps(cpu)", "frames");
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto movie = player::Movie::Load(bytes, error);
    if (!movie) {
      std::printf("%-52s %s\n", file.c_str(), error.c_str());
      continue;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    int frames = 0;
    double seconds = 0;
    while (seconds < 1.0 || frames < 3) {
      const player::Image image = movie->Render(width, height);
      if (image.rgba.empty()) break;
      movie->Advance(1);
      ++frames;
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    std::string name = file;
    if (name.size() > 52) name = "..." + name.substr(name.size() - 49);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-52s %10.1f %10.1f %8d\n", name.c_str(), frames / seconds, cpu > 0 ? frames / cpu : 0.0, frames);
  }
  return 0;
}
