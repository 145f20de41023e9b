#pragma once
// Drawing a display list: a pure function of the list, the dictionary and
// the view, so any frame can be drawn (and tested) alone.
#include "dictionary.h"
#include "display_list.h"
#include "raster/image.h"

namespace player {

constexpr int kMaxLayers = 16;  // masks and blended or filtered clips drawn aside at once

// Memory drawing may reuse from one frame to the next; it never changes
// what is drawn.
struct RenderScratch {
  Image sum, part;
};

// What `o` draws under `m`, axis-aligned: x0, y0, x1, y1. False when it
// draws nothing.
bool ObjectBounds(const DisplayObject& o, const Dictionary& dictionary, const Matrix& m, double box[4]);

// `view` maps the root's twips to pixels of a width x height image that
// starts filled with `background`.
Image Render(const DisplayList& list, const Dictionary& dictionary, const Matrix& view, int width, int height,
             Rgba background, RenderScratch* scratch = nullptr);

}  // namespace player
