#include "picture_show.h"

#include <algorithm>

namespace sample {

std::string PictureFolderFor(const std::string& programPath) {
  char longPath[MAX_PATH] = {};
  const DWORD got = GetLongPathNameA(programPath.c_str(), longPath, MAX_PATH);
  const std::string path = (got > 0 && got < MAX_PATH) ? std::string(longPath) : programPath;
  const size_t slash = path.find_last_of("\\:");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string stem = path.substr(folder.size());
  const size_t dot = stem.find_last_of('.');
  if (dot != std::string::npos) stem.erase(dot);
  return folder + stem + " dir\\";
}

std::vector<std::string> FindPictures(const std::string& folder) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data{};
  const HANDLE search = FindFirstFileA((folder + "*.bmp").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      found.push_back(folder + data.cFileName);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  std::sort(found.begin(), found.end());
  return found;
}

bool PictureShow::Advance() {
  for (size_t tried = 0; tried < pictures_.size(); ++tried) {
    const std::string& path = pictures_[next_];
    next_ = (next_ + 1) % pictures_.size();
    HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                              LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (image == nullptr) continue;
    Release();
    current_ = static_cast<HBITMAP>(image);
    BITMAP info{};
    GetObjectA(current_, sizeof info, &info);
    size_ = SIZE{info.bmWidth, info.bmHeight};
    return true;
  }
  return false;
}

void PictureShow::Paint(HDC dc, const RECT& area, const std::string& emptyText) const {
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const LONG areaW = area.right - area.left;
  const LONG areaH = area.bottom - area.top;
  if (current_ == nullptr || size_.cx <= 0 || size_.cy <= 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(160, 160, 160));
    RECT text = area;
    DrawTextA(dc, emptyText.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return;
  }
  // Fit inside the area, keeping the picture's proportions.
  LONG w = areaW;
  LONG h = static_cast<LONG>(static_cast<long long>(size_.cy) * areaW / size_.cx);
  if (h > areaH) {
    h = areaH;
    w = static_cast<LONG>(static_cast<long long>(size_.cx) * areaH / size_.cy);
  }
  const HDC source = CreateCompatibleDC(dc);
  const HGDIOBJ old = SelectObject(source, current_);
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, area.left + (areaW - w) / 2, area.top + (areaH - h) / 2, w, h, source, 0, 0,
             size_.cx, size_.cy, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

void PictureShow::Release() {
  if (current_ != nullptr) DeleteObject(current_);
  current_ = nullptr;
}

}  // namespace sample
