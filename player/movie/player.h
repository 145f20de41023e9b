#pragma once
// The player library's one entry: a movie from its bytes, frames advanced,
// the stage drawn.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "display_list.h"
#include "raster/image.h"
#include "render.h"
#include "script_host.h"
#include "timeline.h"

namespace player {

class Movie {
 public:
  struct Options {
    bool scripts = true;
    // The scripts' clock; the real time when empty. A fixed clock also
    // fixes the time zone at UTC.
    Clock clock;
  };
  // Reads `bytes` and shows the first frame. Null and `error` set when the
  // movie cannot be played.
  static std::unique_ptr<Movie> Load(const std::vector<uint8_t>& bytes, std::string& error);
  static std::unique_ptr<Movie> Load(const std::vector<uint8_t>& bytes, std::string& error,
                                     const Options& options);

  void Advance(int frames);
  // The stage scaled to fit width x height (kept in proportion, centred, the
  // rest in the background colour). The movie's own size when both are 0.
  Image Render(int width = 0, int height = 0) const;
  // The stage through `view` (root twips to pixels) on `background`: for
  // hosts that scale or align the stage their own way.
  Image Render(const Matrix& view, int width, int height, Rgba background) const;
  // Shows `frame` (0-based, clamped) of `clip`, the root or a sprite in it.
  void GotoFrame(Clip& clip, int frame);

  int StageWidth() const;   // pixels
  int StageHeight() const;
  double FrameRate() const { return data_.frameRate; }
  const MovieData& data() const { return data_; }
  Clip& root() { return root_; }
  const ScriptHost* scripts() const { return scripts_.get(); }

 private:
  Movie() = default;
  MovieData data_;
  std::unique_ptr<Dictionary> dictionary_;
  std::unique_ptr<TimelinePlayer> timeline_;
  Clip root_;
  std::unique_ptr<ScriptHost> scripts_;
  mutable RenderScratch scratch_;
};

constexpr int kMaxStageSide = 8192;  // pixels either way a stage is drawn at

}  // namespace player
