#include "picture_loader.h"

#include <new>
#include <vector>

#include "path_rules.h"

namespace saver {
namespace {

struct StartupInput {
  UINT32 version = 1;
  void* debugCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};

using StartupFn = int(WINAPI*)(ULONG_PTR*, const StartupInput*, void*);
using ShutdownFn = void(WINAPI*)(ULONG_PTR);
using FromFileFn = int(WINAPI*)(const WCHAR*, void**);
using ToHbitmapFn = int(WINAPI*)(void*, HBITMAP*, DWORD);
using DisposeFn = int(WINAPI*)(void*);

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring Wide(const std::string& text) {
  const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(size));
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), size);
  return std::wstring(buffer.data());
}

}  // namespace

struct PictureLoader::Api {
  ShutdownFn shutdown;
  FromFileFn fromFile;
  ToHbitmapFn toHbitmap;
  DisposeFn dispose;
};

PictureLoader::PictureLoader() : gdiplus_(LoadLibraryA("gdiplus.dll")) {
  if (!gdiplus_) return;
  const HMODULE m = gdiplus_.get();
  const auto startup = Export<StartupFn>(m, "GdiplusStartup");
  Api api{Export<ShutdownFn>(m, "GdiplusShutdown"),
          Export<FromFileFn>(m, "GdipCreateBitmapFromFile"),
          Export<ToHbitmapFn>(m, "GdipCreateHBITMAPFromBitmap"),
          Export<DisposeFn>(m, "GdipDisposeImage")};
  if (!startup || !api.shutdown || !api.fromFile || !api.toHbitmap || !api.dispose) return;
  const StartupInput input;
  if (startup(&token_, &input, nullptr) != 0) return;
  api_ = new (std::nothrow) Api(api);
  if (!api_) api.shutdown(token_);
}

PictureLoader::~PictureLoader() {
  if (api_) api_->shutdown(token_);
  delete api_;
}

ssi::GdiObject PictureLoader::Load(const std::string& path, SIZE& size) const {
  ssi::GdiObject bitmap;
  if (ssi::AsciiLower(ssi::PathExtension(path)) == ".bmp") {
    bitmap.reset(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                            LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  }
  if (!bitmap && api_) {
    void* image = nullptr;
    const std::wstring wide = Wide(path);
    if (!wide.empty() && api_->fromFile(wide.c_str(), &image) == 0 && image) {
      HBITMAP made = nullptr;
      if (api_->toHbitmap(image, &made, 0xFF000000u) == 0) bitmap.reset(made);
      api_->dispose(image);
    }
  }
  BITMAP info{};
  if (bitmap && GetObjectA(bitmap.get(), sizeof info, &info) == sizeof info && info.bmWidth > 0 &&
      info.bmHeight != 0) {
    size = SIZE{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
    return bitmap;
  }
  return ssi::GdiObject();
}

}  // namespace saver
