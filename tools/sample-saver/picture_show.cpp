#include "picture_show.h"

namespace saver {
namespace {

// A memory device context with a bitmap of its own selected into it.
class Canvas {
 public:
  Canvas(HDC like, int width, int height)
      : dc_(CreateCompatibleDC(like)), bitmap_(CreateCompatibleBitmap(like, width, height)) {
    if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_.get());
  }
  ~Canvas() {
    if (old_) SelectObject(dc_, old_);
    if (dc_) DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  bool ok() const { return old_ != nullptr; }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  ssi::GdiObject bitmap_;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

PictureShow::PictureShow(std::vector<PlannedPicture> pictures, ssi::Transition transition,
                         unsigned transitionMs)
    : pictures_(std::move(pictures)), transition_(transition), transitionMs_(transitionMs) {
  if (transition_ == ssi::Transition::kFade) {
    msimg32_.reset(LoadLibraryA("msimg32.dll"));
    if (msimg32_) {
      alphaBlend_ = reinterpret_cast<AlphaBlendFn>(
          reinterpret_cast<void*>(GetProcAddress(msimg32_.get(), "AlphaBlend")));
    }
    if (!alphaBlend_) transition_ = ssi::Transition::kWipe;
  }
}

bool PictureShow::Advance() {
  for (size_t tried = 0; tried < pictures_.size(); ++tried) {
    const size_t index = next_;
    next_ = (next_ + 1) % pictures_.size();
    Picture loaded;
    loaded.bitmap = loader_.Load(pictures_[index].path, loaded.size);
    if (!loaded.bitmap) continue;
    previous_ = std::move(current_);
    current_ = std::move(loaded);
    shown_ = index;
    transitionStart_ = GetTickCount();
    return true;
  }
  return false;
}

unsigned PictureShow::CurrentMs() const {
  if (pictures_.empty()) return 60000;
  return pictures_[shown_].seconds * 1000u + transitionMs_;
}

bool PictureShow::Transitioning() const {
  return previous_.bitmap && transition_ != ssi::Transition::kCut &&
         GetTickCount() - transitionStart_ < transitionMs_;
}

void PictureShow::Draw(HDC dc, const Picture& picture, const RECT& client,
                       const std::vector<RECT>& screens) const {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (!picture.bitmap) return;
  const HDC source = CreateCompatibleDC(dc);
  const HGDIOBJ old = SelectObject(source, picture.bitmap.get());
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  for (const RECT& area : screens) {
    // Fit inside the screen, keeping the picture's proportions.
    const LONG areaW = area.right - area.left;
    const LONG areaH = area.bottom - area.top;
    LONG w = areaW;
    LONG h = static_cast<LONG>(static_cast<long long>(picture.size.cy) * areaW / picture.size.cx);
    if (h > areaH) {
      h = areaH;
      w = static_cast<LONG>(static_cast<long long>(picture.size.cx) * areaH / picture.size.cy);
    }
    StretchBlt(dc, area.left + (areaW - w) / 2, area.top + (areaH - h) / 2, w, h, source, 0, 0,
               picture.size.cx, picture.size.cy, SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
}

void PictureShow::Paint(HDC dc, const RECT& client, const std::vector<RECT>& screens,
                        const std::string& emptyText) const {
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (!current_.bitmap) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(160, 160, 160));
    RECT text = client;
    DrawTextA(dc, emptyText.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
    return;
  }
  // Drawn off screen first, so that a frame never flickers through black.
  Canvas frame(dc, width, height);
  if (!frame.ok()) {
    Draw(dc, current_, client, screens);
    return;
  }
  if (!Transitioning()) {
    Draw(frame.dc(), current_, client, screens);
  } else {
    const DWORD elapsed = GetTickCount() - transitionStart_;
    Draw(frame.dc(), previous_, client, screens);
    Canvas next(dc, width, height);
    if (next.ok()) {
      Draw(next.dc(), current_, client, screens);
      if (transition_ == ssi::Transition::kFade) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(elapsed * 255 / transitionMs_), 0};
        alphaBlend_(frame.dc(), 0, 0, width, height, next.dc(), 0, 0, width, height, blend);
      } else {
        const int shown = static_cast<int>(static_cast<long long>(width) * elapsed / transitionMs_);
        BitBlt(frame.dc(), 0, 0, shown, height, next.dc(), 0, 0, SRCCOPY);
      }
    }
  }
  BitBlt(dc, client.left, client.top, width, height, frame.dc(), 0, 0, SRCCOPY);
}

}  // namespace saver
