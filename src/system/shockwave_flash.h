#pragma once
// The Shockwave Flash control as the installer sees it: its class, its
// default interface `IShockwaveFlash` (a dual interface) and the dispatch ids
// of the members the installer uses. The interface is declared here from its
// published type-library layout; only the order of the slots matters, and it
// runs up to GetVariable, the last method a host of ours calls through the
// vtable. The dispatch ids are those of the published type library.
#include <windows.h>
#include <oaidl.h>

namespace ssi::flash {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
inline constexpr CLSID kClsid = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6C-AE6D-11CF-96B8-444553540000}
inline constexpr IID kIidShockwaveFlash = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The events interface (a dispinterface): {D27CDB6D-AE6D-11CF-96B8-444553540000}
inline constexpr IID kIidShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace dispid {
constexpr DISPID kReadyState = -525;  // DISPID_READYSTATE
constexpr DISPID kMovie = 102;
constexpr DISPID kQuality = 105;
constexpr DISPID kLoop = 106;
constexpr DISPID kFrameNum = 107;
constexpr DISPID kSetZoomRect = 109;
constexpr DISPID kPlay = 112;
constexpr DISPID kStop = 113;
constexpr DISPID kBack = 114;
constexpr DISPID kForward = 115;
constexpr DISPID kRewind = 116;
constexpr DISPID kZoom = 118;
constexpr DISPID kPan = 119;
constexpr DISPID kScaleMode = 120;
constexpr DISPID kAlignMode = 121;
constexpr DISPID kBackgroundColor = 123;
constexpr DISPID kTotalFrames = 124;
constexpr DISPID kPlaying = 125;
constexpr DISPID kStopPlay = 126;
constexpr DISPID kGotoFrame = 127;
constexpr DISPID kCurrentFrame = 128;
constexpr DISPID kIsPlaying = 129;
constexpr DISPID kPercentLoaded = 130;
constexpr DISPID kFrameLoaded = 131;
constexpr DISPID kFlashVersion = 132;
constexpr DISPID kWMode = 133;
constexpr DISPID kSAlign = 134;
constexpr DISPID kMenu = 135;
constexpr DISPID kBase = 136;
constexpr DISPID kScale = 137;
constexpr DISPID kDeviceFont = 138;
constexpr DISPID kEmbedMovie = 139;
constexpr DISPID kBGColor = 140;
constexpr DISPID kQuality2 = 141;
constexpr DISPID kLoadMovie = 142;
constexpr DISPID kTGotoFrame = 143;
constexpr DISPID kTGotoLabel = 144;
constexpr DISPID kTCurrentFrame = 145;
constexpr DISPID kTCurrentLabel = 146;
constexpr DISPID kTPlay = 147;
constexpr DISPID kTStopPlay = 148;
constexpr DISPID kSetVariable = 151;
constexpr DISPID kGetVariable = 152;
// Events
constexpr DISPID kOnReadyStateChange = -609;  // DISPID_READYSTATECHANGE
constexpr DISPID kFSCommand = 150;
}  // namespace dispid

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IShockwaveFlash : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_ReadyState(long* state) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TotalFrames(long* frames) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Playing(VARIANT_BOOL* playing) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Playing(VARIANT_BOOL playing) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Quality(int* quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Quality(int quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ScaleMode(int* scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ScaleMode(int scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlignMode(int* align) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AlignMode(int align) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BackgroundColor(long* color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BackgroundColor(long color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Loop(VARIANT_BOOL* loop) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Loop(VARIANT_BOOL loop) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Movie(BSTR* path) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Movie(BSTR path) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FrameNum(long* frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_FrameNum(long frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetZoomRect(long left, long top, long right, long bottom) = 0;
  virtual HRESULT STDMETHODCALLTYPE Zoom(int factor) = 0;
  virtual HRESULT STDMETHODCALLTYPE Pan(long x, long y, int mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Play() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE Back() = 0;
  virtual HRESULT STDMETHODCALLTYPE Forward() = 0;
  virtual HRESULT STDMETHODCALLTYPE Rewind() = 0;
  virtual HRESULT STDMETHODCALLTYPE StopPlay() = 0;
  virtual HRESULT STDMETHODCALLTYPE GotoFrame(long frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE CurrentFrame(long* frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPlaying(VARIANT_BOOL* playing) = 0;
  virtual HRESULT STDMETHODCALLTYPE PercentLoaded(long* percent) = 0;
  virtual HRESULT STDMETHODCALLTYPE FrameLoaded(long frame, VARIANT_BOOL* loaded) = 0;
  virtual HRESULT STDMETHODCALLTYPE FlashVersion(long* version) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WMode(BSTR* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WMode(BSTR mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SAlign(BSTR* align) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SAlign(BSTR align) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Menu(VARIANT_BOOL* menu) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Menu(VARIANT_BOOL menu) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Base(BSTR* base) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Base(BSTR base) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Scale(BSTR* scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Scale(BSTR scale) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DeviceFont(VARIANT_BOOL* font) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DeviceFont(VARIANT_BOOL font) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EmbedMovie(VARIANT_BOOL* embed) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_EmbedMovie(VARIANT_BOOL embed) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BGColor(BSTR* color) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BGColor(BSTR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Quality2(BSTR* quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Quality2(BSTR quality) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) = 0;
  virtual HRESULT STDMETHODCALLTYPE TGotoFrame(BSTR target, long frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE TGotoLabel(BSTR target, BSTR label) = 0;
  virtual HRESULT STDMETHODCALLTYPE TCurrentFrame(BSTR target, long* frame) = 0;
  virtual HRESULT STDMETHODCALLTYPE TCurrentLabel(BSTR target, BSTR* label) = 0;
  virtual HRESULT STDMETHODCALLTYPE TPlay(BSTR target) = 0;
  virtual HRESULT STDMETHODCALLTYPE TStopPlay(BSTR target) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* value) = 0;
};
#pragma GCC diagnostic pop

}  // namespace ssi::flash
