#pragma once
// Where the stage goes in the control's rectangle: the scale modes and the
// alignment flags of the control's interface, as a matrix from the root's
// twips to the rectangle's pixels.
#include <string>

#include "raster/geometry.h"
#include "format/records.h"

namespace flashctl {

enum ScaleMode { kShowAll = 0, kNoBorder = 1, kExactFit = 2, kNoScale = 3 };

// AlignMode bits; none set centres the stage.
constexpr int kAlignLeft = 1, kAlignRight = 2, kAlignTop = 4, kAlignBottom = 8;

// `dpiScale` is pixels per CSS pixel (1 at 96 DPI): noScale shows the stage at
// its size in the display's pixels, not the screen's raw ones.
player::Matrix StageView(const player::Rect& stage, int width, int height, int scaleMode, int align,
                         double dpiScale);

// SAlign's letters (in the order L, T, R, B) and the AlignMode bits.
int AlignFromText(const std::wstring& text);
std::wstring AlignText(int align);
// Scale's names ("showall", "noborder", "exactfit", "noscale"), any case.
int ScaleFromText(const std::wstring& text);
std::wstring ScaleText(int scaleMode);

}  // namespace flashctl
