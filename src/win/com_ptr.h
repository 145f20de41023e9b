#pragma once
// Owners for COM references, BSTRs and VARIANTs: every pointer the Flash
// hosting takes is released by exactly one of these.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace ssi {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(o.Detach()) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset(T* p = nullptr) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // For out-parameters of the IID, void** kind.
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T** Put() {
    Reset();
    return &p_;
  }
  template <typename U>
  HRESULT QueryInto(REFIID iid, ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  // A UTF-16 copy of an ANSI text, as the control expects its texts.
  static Bstr FromAnsi(const std::string& text) {
    Bstr b;
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    b.s_ = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (b.s_ && n > 0)
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), b.s_, n);
    return b;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    if (this != &o) {
      SysFreeString(s_);
      s_ = std::exchange(o.s_, nullptr);
    }
    return *this;
  }
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const { return s_; }
  // Takes over a BSTR that the caller owns.
  void Adopt(BSTR s) {
    SysFreeString(s_);
    s_ = s;
  }

 private:
  BSTR s_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT& value() const { return v_; }

 private:
  VARIANT v_;
};

}  // namespace ssi
