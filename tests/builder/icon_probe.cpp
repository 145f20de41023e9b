// Asks Wine's shell what icon a program shows: prints how many icons
// ExtractIconExA finds in the file, the size of the first large and small one,
// and the colour at the large one's centre as RRGGBB.
//   icon_probe.exe FILE
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

struct Icon {
  HICON handle = nullptr;
  ~Icon() {
    if (handle) DestroyIcon(handle);
  }
};

// The icon drawn on white into a 24-bit bitmap, read back at its centre.
bool CentreColour(HICON icon, int size, unsigned& rgb) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ok = DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL) != 0;
    GdiFlush();
    const unsigned pixel = static_cast<const unsigned*>(bits)[(size / 2) * size + size / 2];
    rgb = pixel & 0xFFFFFFu;
    SelectObject(dc, old);
    DeleteObject(bitmap);
  }
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return ok;
}

int IconSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  BITMAP bm{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return bm.bmWidth;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: icon_probe FILE\n", stderr);
    return 2;
  }
  const UINT count = ExtractIconExA(argv[1], -1, nullptr, nullptr, 0);
  std::printf("icons %u\n", count);
  if (count == 0) return 1;
  Icon large;
  Icon small;
  if (ExtractIconExA(argv[1], 0, &large.handle, &small.handle, 1) == 0 || !large.handle) return 1;
  const int size = IconSize(large.handle);
  unsigned rgb = 0;
  if (!CentreColour(large.handle, size, rgb)) return 1;
  std::printf("large %d centre %06X\n", size, rgb);
  if (small.handle) std::printf("small %d\n", IconSize(small.handle));
  return 0;
}
