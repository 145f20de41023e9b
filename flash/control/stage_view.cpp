#include "stage_view.h"

#include <algorithm>
#include <cwctype>

namespace flashctl {

player::Matrix StageView(const player::Rect& stage, int width, int height, int scaleMode, int align,
                         double dpiScale) {
  const double stageW = std::max(1, stage.xmax - stage.xmin);
  const double stageH = std::max(1, stage.ymax - stage.ymin);
  double sx = width / stageW, sy = height / stageH;
  switch (scaleMode) {
    case kNoBorder:
      sx = sy = std::max(sx, sy);
      break;
    case kExactFit:
      break;
    case kNoScale:
      sx = sy = dpiScale / 20;
      break;
    default:
      sx = sy = std::min(sx, sy);
      break;
  }
  const double spareX = width - stageW * sx, spareY = height - stageH * sy;
  const double x = (align & kAlignLeft) ? 0 : (align & kAlignRight) ? spareX : spareX / 2;
  const double y = (align & kAlignTop) ? 0 : (align & kAlignBottom) ? spareY : spareY / 2;
  return {sx, 0, 0, sy, x - stage.xmin * sx, y - stage.ymin * sy};
}

int AlignFromText(const std::wstring& text) {
  int align = 0;
  for (wchar_t c : text) {
    switch (std::towupper(c)) {
      case L'L':
        align |= kAlignLeft;
        break;
      case L'R':
        align |= kAlignRight;
        break;
      case L'T':
        align |= kAlignTop;
        break;
      case L'B':
        align |= kAlignBottom;
        break;
      default:
        break;
    }
  }
  return align;
}

std::wstring AlignText(int align) {
  std::wstring text;
  if (align & kAlignLeft) text += L'L';
  if (align & kAlignTop) text += L'T';
  if (align & kAlignRight) text += L'R';
  if (align & kAlignBottom) text += L'B';
  return text;
}

namespace {
const wchar_t* const kScaleNames[] = {L"showall", L"noborder", L"exactfit", L"noscale"};
}

int ScaleFromText(const std::wstring& text) {
  std::wstring lower;
  for (wchar_t c : text) lower += static_cast<wchar_t>(std::towlower(c));
  for (int i = 0; i < 4; ++i)
    if (lower == kScaleNames[i]) return i;
  return kShowAll;
}

std::wstring ScaleText(int scaleMode) {
  return kScaleNames[scaleMode >= 0 && scaleMode < 4 ? scaleMode : 0];
}

}  // namespace flashctl
