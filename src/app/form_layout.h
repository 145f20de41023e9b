#pragma once
// Every size of the installer window, in pixels at 96 DPI, as the window was
// laid out at design time. The layout code (installer_form_layout.cpp) reads
// sizes from here only, from a copy scaled once for the system's DPI.
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
  // size the user may drag it to once a licence is shown. These are outer
  // sizes at 96 DPI; their frame does not grow with the DPI as the rest does,
  // so the window scales their client part (TInstallerForm::WindowSizeFor).
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

constexpr int kDesignDpi = 96;

// The system DPI, read once at start: the program declares itself DPI-aware
// in its manifest, so this is the screen's own. 96 when it cannot be read.
int SystemDpi();

// A 96-DPI length at `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int length, int dpi);

// `at96` with every control box, the font height and the layout rules scaled
// to `dpi`, each rounded once. The window's outer sizes stay as they are.
FormLayout ScaledLayout(const FormLayout& at96, int dpi);

}  // namespace ssi
