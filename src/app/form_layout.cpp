#include "form_layout.h"

#include <initializer_list>

namespace ssi {
namespace {

ControlBox Scaled(const ControlBox& b, int dpi) {
  return {ScaleToDpi(b.left, dpi), ScaleToDpi(b.top, dpi), ScaleToDpi(b.width, dpi),
          ScaleToDpi(b.height, dpi)};
}

}  // namespace

int SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

int ScaleToDpi(int length, int dpi) { return MulDiv(length, dpi, kDesignDpi); }

FormLayout ScaledLayout(const FormLayout& at96, int dpi) {
  FormLayout l = at96;
  l.fontHeight = ScaleToDpi(at96.fontHeight, dpi);
  for (ControlBox FormLayout::*box :
       {&FormLayout::contentPanel, &FormLayout::bmpPanel, &FormLayout::licenseScrollBox,
        &FormLayout::buttonPanel, &FormLayout::labFile, &FormLayout::labCopying,
        &FormLayout::progressBar, &FormLayout::declineBtn, &FormLayout::installBtn})
    l.*box = Scaled(at96.*box, dpi);
  for (int FormLayout::*rule :
       {&FormLayout::licenceHeight, &FormLayout::licenceMinHeight, &FormLayout::licenceGapAbove,
        &FormLayout::licenceGapBelow, &FormLayout::licenceFitMargin})
    l.*rule = ScaleToDpi(at96.*rule, dpi);
  return l;
}

}  // namespace ssi
