#pragma once
// Every size of the installer window, in pixels at 96 DPI, as the window was
// laid out at design time. The layout code (installer_form_layout.cpp) reads
// sizes from here only, so that scaling the window for another DPI means
// scaling this one table.
#include <windows.h>

namespace ssi {

// Left, top, width and height in the parent's client area.
struct ControlBox {
  int left;
  int top;
  int width;
  int height;
};

struct FormLayout {
  // The window: as created, as arranged by the set-up, and the smallest
  // size the user may drag it to once a licence is shown.
  SIZE design{360, 348};
  int arrangedWidth = 359;
  SIZE minimumWithLicence{359, 340};
  int fontHeight = -11;  // character height of "MS Sans Serif"

  ControlBox contentPanel{0, 0, 352, 152};
  ControlBox bmpPanel{1, 1, 350, 150};
  ControlBox licenseScrollBox{0, 153, 350, 105};
  ControlBox buttonPanel{0, 256, 350, 63};  // its width is the design width it anchors to
  ControlBox labFile{-1, 2, 190, 18};
  ControlBox labCopying{1, 3, 419, 13};
  ControlBox progressBar{1, 20, 347, 11};
  ControlBox declineBtn{2, 35, 78, 25};
  ControlBox installBtn{241, 34, 107, 25};

  // The licence box: its height when shown, the least it shrinks to when the
  // window is resized, its gaps to the panels above and below when resized,
  // and the room FitWindowHeight gives it beyond its height.
  int licenceHeight = 103;
  int licenceMinHeight = 103;
  int licenceGapAbove = 2;
  int licenceGapBelow = 4;
  int licenceFitMargin = 4;
};

}  // namespace ssi
