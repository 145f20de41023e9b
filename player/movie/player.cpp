#include "player.h"

#include <algorithm>
#include <chrono>

#include "render.h"

namespace player {
namespace {

// Whether any timeline holds actions: a movie without them runs no interpreter.
bool HasActions(const Timeline& timeline) {
  for (const auto& frame : timeline.frames)
    for (const FrameTag& tag : frame)
      if (tag.kind == FrameTag::kAction || tag.kind == FrameTag::kInitAction ||
          (tag.kind == FrameTag::kPlace && tag.place.hasClipActions))
        return true;
  return false;
}

bool HasActions(const MovieData& data) {
  if (HasActions(data.root)) return true;
  for (const auto& [id, character] : data.characters)
    if (const auto* sprite = std::get_if<SpriteDef>(character.get()); sprite && HasActions(sprite->timeline))
      return true;
  return false;
}

}  // namespace

std::unique_ptr<Movie> Movie::Load(const std::vector<uint8_t>& bytes, std::string& error) {
  return Load(bytes, error, Options{});
}

std::unique_ptr<Movie> Movie::Load(const std::vector<uint8_t>& bytes, std::string& error, const Options& options) {
  std::unique_ptr<Movie> movie(new Movie());
  error = ReadMovie(bytes, movie->data_);
  if (!error.empty()) return nullptr;
  const int w = movie->StageWidth(), h = movie->StageHeight();
  if (w > kMaxStageSide || h > kMaxStageSide) {
    error = "stage of " + std::to_string(w) + " x " + std::to_string(h) + " pixels exceeds the cap of " +
            std::to_string(kMaxStageSide) + " pixels a side";
    return nullptr;
  }
  movie->dictionary_ = std::make_unique<Dictionary>(movie->data_);
  movie->timeline_ = std::make_unique<TimelinePlayer>(*movie->dictionary_);
  movie->root_.timeline = &movie->data_.root;
  if (options.scripts && HasActions(movie->data_)) {
    Clock clock = options.clock;
    if (!clock)
      clock = [] {
        using namespace std::chrono;
        return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
      };
    movie->scripts_ = std::make_unique<ScriptHost>(movie->data_, *movie->dictionary_, *movie->timeline_,
                                                   movie->root_, std::move(clock), static_cast<bool>(options.clock));
  }
  movie->timeline_->Start(movie->root_, movie->scripts_.get());
  if (movie->scripts_) movie->scripts_->AfterAdvance();
  return movie;
}

void Movie::Advance(int frames) {
  for (int i = 0; i < frames; ++i) {
    if (scripts_) scripts_->BeforeAdvance();
    timeline_->Advance(root_, scripts_.get());
    if (scripts_) scripts_->AfterAdvance();
  }
}

int Movie::StageWidth() const {
  return std::max(0, (data_.stage.xmax - data_.stage.xmin + 10) / 20);
}
int Movie::StageHeight() const {
  return std::max(0, (data_.stage.ymax - data_.stage.ymin + 10) / 20);
}

Image Movie::Render(int width, int height) const {
  if (width <= 0 || height <= 0) {
    width = StageWidth();
    height = StageHeight();
  }
  width = std::clamp(width, 1, kMaxStageSide);
  height = std::clamp(height, 1, kMaxStageSide);
  const double stageW = std::max(1, data_.stage.xmax - data_.stage.xmin);
  const double stageH = std::max(1, data_.stage.ymax - data_.stage.ymin);
  const double scale = std::min(width / stageW, height / stageH);
  Matrix view{scale, 0, 0, scale, (width - stageW * scale) / 2 - data_.stage.xmin * scale,
              (height - stageH * scale) / 2 - data_.stage.ymin * scale};
  const Color& bg = data_.background;
  return Render(view, width, height, {bg.r, bg.g, bg.b, 255});
}

Image Movie::Render(const Matrix& view, int width, int height, Rgba background) const {
  width = std::clamp(width, 1, kMaxStageSide);
  height = std::clamp(height, 1, kMaxStageSide);
  return player::Render(root_.list, *dictionary_, view, width, height, background, &scratch_);
}

void Movie::GotoFrame(Clip& clip, int frame) {
  if (!clip.timeline) return;
  const int last = std::max(1, static_cast<int>(clip.timeline->frames.size())) - 1;
  timeline_->GotoFrame(clip, std::clamp(frame, 0, last), 0);
}

}  // namespace player
