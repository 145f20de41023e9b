#pragma once
#include <cstdint>

namespace player {

enum TagCode : uint16_t {
  kTagEnd = 0, kTagShowFrame = 1, kTagDefineShape = 2, kTagPlaceObject = 4, kTagRemoveObject = 5,
  kTagDefineBits = 6, kTagDefineButton = 7, kTagJpegTables = 8, kTagSetBackgroundColor = 9,
  kTagDefineFont = 10, kTagDefineText = 11, kTagDoAction = 12, kTagDefineFontInfo = 13,
  kTagDefineBitsLossless = 20, kTagDefineBitsJpeg2 = 21, kTagDefineShape2 = 22, kTagPlaceObject2 = 26,
  kTagRemoveObject2 = 28, kTagDefineShape3 = 32, kTagDefineText2 = 33, kTagDefineButton2 = 34,
  kTagDefineBitsJpeg3 = 35, kTagDefineBitsLossless2 = 36, kTagDefineEditText = 37,
  kTagDefineSprite = 39, kTagFrameLabel = 43, kTagDefineMorphShape = 46, kTagDefineFont2 = 48,
  kTagExportAssets = 56, kTagDoInitAction = 59, kTagDefineFontInfo2 = 62, kTagFileAttributes = 69,
  kTagPlaceObject3 = 70, kTagDefineFont3 = 75, kTagDoAbc = 82, kTagDefineShape4 = 83,
  kTagDefineMorphShape2 = 84, kTagDoAbc2 = 72, kTagDefineBitsJpeg4 = 90,
};

}  // namespace player
