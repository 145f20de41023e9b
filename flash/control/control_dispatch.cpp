// IDispatch for the control: names to dispatch ids, and each id to its
// IShockwaveFlash member, for hosts that script the control late-bound.
#include <array>

#include "flash_control.h"

namespace flashctl {
namespace {

namespace id = ssi::flash::dispid;

struct Name {
  const wchar_t* name;
  DISPID id;
};

constexpr Name kNames[] = {
    {L"ReadyState", id::kReadyState},
    {L"TotalFrames", id::kTotalFrames},
    {L"Playing", id::kPlaying},
    {L"Quality", id::kQuality},
    {L"ScaleMode", id::kScaleMode},
    {L"AlignMode", id::kAlignMode},
    {L"BackgroundColor", id::kBackgroundColor},
    {L"Loop", id::kLoop},
    {L"Movie", id::kMovie},
    {L"FrameNum", id::kFrameNum},
    {L"SetZoomRect", id::kSetZoomRect},
    {L"Zoom", id::kZoom},
    {L"Pan", id::kPan},
    {L"Play", id::kPlay},
    {L"Stop", id::kStop},
    {L"Back", id::kBack},
    {L"Forward", id::kForward},
    {L"Rewind", id::kRewind},
    {L"StopPlay", id::kStopPlay},
    {L"GotoFrame", id::kGotoFrame},
    {L"CurrentFrame", id::kCurrentFrame},
    {L"IsPlaying", id::kIsPlaying},
    {L"PercentLoaded", id::kPercentLoaded},
    {L"FrameLoaded", id::kFrameLoaded},
    {L"FlashVersion", id::kFlashVersion},
    {L"WMode", id::kWMode},
    {L"SAlign", id::kSAlign},
    {L"Menu", id::kMenu},
    {L"Base", id::kBase},
    {L"Scale", id::kScale},
    {L"DeviceFont", id::kDeviceFont},
    {L"EmbedMovie", id::kEmbedMovie},
    {L"BGColor", id::kBGColor},
    {L"Quality2", id::kQuality2},
    {L"LoadMovie", id::kLoadMovie},
    {L"TGotoFrame", id::kTGotoFrame},
    {L"TGotoLabel", id::kTGotoLabel},
    {L"TCurrentFrame", id::kTCurrentFrame},
    {L"TCurrentLabel", id::kTCurrentLabel},
    {L"TPlay", id::kTPlay},
    {L"TStopPlay", id::kTStopPlay},
    {L"SetVariable", id::kSetVariable},
    {L"GetVariable", id::kGetVariable},
};

// The arguments of one call, converted to the types the member takes; the
// converted copies are freed with it.
class Args {
 public:
  Args(DISPPARAMS* params, bool put) : params_(params), put_(put) {
    for (auto& v : held_) VariantInit(&v);
  }
  ~Args() {
    for (auto& v : held_) VariantClear(&v);
  }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;

  // Argument `index` in declaration order; a property put's value is index 0.
  bool Get(UINT index, VARTYPE type, VARIANT*& out) {
    const UINT count = params_ ? params_->cArgs : 0;
    if (index >= count || index >= held_.size()) {
      error = DISP_E_BADPARAMCOUNT;
      return false;
    }
    VARIANT& from = put_ ? params_->rgvarg[0] : params_->rgvarg[count - 1 - index];
    error = VariantChangeType(&held_[index], &from, 0, type);
    out = &held_[index];
    return SUCCEEDED(error);
  }
  bool Long(UINT index, long& out) {
    VARIANT* v = nullptr;
    if (!Get(index, VT_I4, v)) return false;
    out = v->lVal;
    return true;
  }
  bool Int(UINT index, int& out) {
    long value = 0;
    if (!Long(index, value)) return false;
    out = static_cast<int>(value);
    return true;
  }
  bool Bool(UINT index, VARIANT_BOOL& out) {
    VARIANT* v = nullptr;
    if (!Get(index, VT_BOOL, v)) return false;
    out = v->boolVal;
    return true;
  }
  bool Text(UINT index, BSTR& out) {
    VARIANT* v = nullptr;
    if (!Get(index, VT_BSTR, v)) return false;
    out = v->bstrVal;
    return true;
  }

  HRESULT error = S_OK;

 private:
  DISPPARAMS* params_;
  bool put_;
  std::array<VARIANT, 4> held_;
};

// Results: the VARIANT takes the value (and a BSTR's ownership). The value
// is taken by reference: it is read only after the member that fills it ran,
// whatever order the call's arguments are evaluated in.
template <typename T>
HRESULT Result(HRESULT hr, VARIANT* result, VARTYPE type, const T& value) {
  if (FAILED(hr) || !result) return hr;
  VariantInit(result);
  result->vt = type;
  if (type == VT_BOOL)
    result->boolVal = static_cast<VARIANT_BOOL>(value);
  else
    result->lVal = static_cast<long>(value);
  return hr;
}

HRESULT TextResult(HRESULT hr, VARIANT* result, const BSTR& text) {
  if (FAILED(hr) || !result) {
    SysFreeString(text);
    return hr;
  }
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = text;
  return hr;
}

}  // namespace

HRESULT FlashControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT FlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT FlashControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    // Only the first name is a member; the rest would be parameter names.
    if (i == 0)
      for (const Name& n : kNames)
        if (names[0] && lstrcmpiW(names[0], n.name) == 0) ids[0] = n.id;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT FlashControl::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO*, UINT*) {
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  Args a(params, put);
  long l = 0, l2 = 0, l3 = 0, l4 = 0;
  int i = 0;
  VARIANT_BOOL b = VARIANT_FALSE;
  BSTR s = nullptr, s2 = nullptr;

  // Properties: a put takes the value, anything else reads it.
  switch (member) {
    // long and int properties
    case id::kReadyState:
      if (put) return DISP_E_MEMBERNOTFOUND;
      return Result(get_ReadyState(&l), result, VT_I4, l);
    case id::kTotalFrames:
      if (put) return DISP_E_MEMBERNOTFOUND;
      return Result(get_TotalFrames(&l), result, VT_I4, l);
    case id::kBackgroundColor:
      if (put) return a.Long(0, l) ? put_BackgroundColor(l) : a.error;
      return Result(get_BackgroundColor(&l), result, VT_I4, l);
    case id::kFrameNum:
      if (put) return a.Long(0, l) ? put_FrameNum(l) : a.error;
      return Result(get_FrameNum(&l), result, VT_I4, l);
    case id::kQuality:
      if (put) return a.Int(0, i) ? put_Quality(i) : a.error;
      return Result(get_Quality(&i), result, VT_I4, i);
    case id::kScaleMode:
      if (put) return a.Int(0, i) ? put_ScaleMode(i) : a.error;
      return Result(get_ScaleMode(&i), result, VT_I4, i);
    case id::kAlignMode:
      if (put) return a.Int(0, i) ? put_AlignMode(i) : a.error;
      return Result(get_AlignMode(&i), result, VT_I4, i);
    // Boolean properties
    case id::kPlaying:
      if (put) return a.Bool(0, b) ? put_Playing(b) : a.error;
      return Result(get_Playing(&b), result, VT_BOOL, b);
    case id::kLoop:
      if (put) return a.Bool(0, b) ? put_Loop(b) : a.error;
      return Result(get_Loop(&b), result, VT_BOOL, b);
    case id::kMenu:
      if (put) return a.Bool(0, b) ? put_Menu(b) : a.error;
      return Result(get_Menu(&b), result, VT_BOOL, b);
    case id::kDeviceFont:
      if (put) return a.Bool(0, b) ? put_DeviceFont(b) : a.error;
      return Result(get_DeviceFont(&b), result, VT_BOOL, b);
    case id::kEmbedMovie:
      if (put) return a.Bool(0, b) ? put_EmbedMovie(b) : a.error;
      return Result(get_EmbedMovie(&b), result, VT_BOOL, b);
    // Text properties
    case id::kMovie:
      if (put) return a.Text(0, s) ? put_Movie(s) : a.error;
      return TextResult(get_Movie(&s2), result, s2);
    case id::kWMode:
      if (put) return a.Text(0, s) ? put_WMode(s) : a.error;
      return TextResult(get_WMode(&s2), result, s2);
    case id::kSAlign:
      if (put) return a.Text(0, s) ? put_SAlign(s) : a.error;
      return TextResult(get_SAlign(&s2), result, s2);
    case id::kBase:
      if (put) return a.Text(0, s) ? put_Base(s) : a.error;
      return TextResult(get_Base(&s2), result, s2);
    case id::kScale:
      if (put) return a.Text(0, s) ? put_Scale(s) : a.error;
      return TextResult(get_Scale(&s2), result, s2);
    case id::kBGColor:
      if (put) return a.Text(0, s) ? put_BGColor(s) : a.error;
      return TextResult(get_BGColor(&s2), result, s2);
    case id::kQuality2:
      if (put) return a.Text(0, s) ? put_Quality2(s) : a.error;
      return TextResult(get_Quality2(&s2), result, s2);
    default:
      break;
  }
  if (put) return DISP_E_MEMBERNOTFOUND;
  switch (member) {
    // Methods
    case id::kPlay:
      return Play();
    case id::kStop:
      return Stop();
    case id::kBack:
      return Back();
    case id::kForward:
      return Forward();
    case id::kRewind:
      return Rewind();
    case id::kStopPlay:
      return StopPlay();
    case id::kGotoFrame:
      return a.Long(0, l) ? GotoFrame(l) : a.error;
    case id::kZoom:
      return a.Int(0, i) ? Zoom(i) : a.error;
    case id::kSetZoomRect:
      return a.Long(0, l) && a.Long(1, l2) && a.Long(2, l3) && a.Long(3, l4)
                 ? SetZoomRect(l, l2, l3, l4)
                 : a.error;
    case id::kPan:
      return a.Long(0, l) && a.Long(1, l2) && a.Int(2, i) ? Pan(l, l2, i) : a.error;
    case id::kCurrentFrame:
      return Result(CurrentFrame(&l), result, VT_I4, l);
    case id::kIsPlaying:
      return Result(IsPlaying(&b), result, VT_BOOL, b);
    case id::kPercentLoaded:
      return Result(PercentLoaded(&l), result, VT_I4, l);
    case id::kFlashVersion:
      return Result(FlashVersion(&l), result, VT_I4, l);
    case id::kFrameLoaded:
      return a.Long(0, l) ? Result(FrameLoaded(l, &b), result, VT_BOOL, b) : a.error;
    case id::kLoadMovie:
      return a.Int(0, i) && a.Text(1, s) ? LoadMovie(i, s) : a.error;
    case id::kTGotoFrame:
      return a.Text(0, s) && a.Long(1, l) ? TGotoFrame(s, l) : a.error;
    case id::kTGotoLabel:
      return a.Text(0, s) && a.Text(1, s2) ? TGotoLabel(s, s2) : a.error;
    case id::kTCurrentFrame:
      return a.Text(0, s) ? Result(TCurrentFrame(s, &l), result, VT_I4, l) : a.error;
    case id::kTCurrentLabel:
      if (!a.Text(0, s)) return a.error;
      return TextResult(TCurrentLabel(s, &s2), result, s2);
    case id::kTPlay:
      return a.Text(0, s) ? TPlay(s) : a.error;
    case id::kTStopPlay:
      return a.Text(0, s) ? TStopPlay(s) : a.error;
    case id::kSetVariable:
      return a.Text(0, s) && a.Text(1, s2) ? SetVariable(s, s2) : a.error;
    case id::kGetVariable: {
      if (!a.Text(0, s)) return a.error;
      BSTR value = nullptr;
      return TextResult(GetVariable(s, &value), result, value);
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace flashctl
