#pragma once
// The control's texts: BSTRs in and out, UTF-8 for the movie's names.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace flashctl {

inline std::wstring Wide(BSTR text) {
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

inline std::string Utf8(BSTR text) {
  const int length = text ? static_cast<int>(SysStringLen(text)) : 0;
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

inline std::wstring WideFromUtf8(const std::string& text) {
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), n);
  return out;
}

// Owns a BSTR copy of a text for as long as a call needs it.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const { return s_; }

 private:
  BSTR s_;
};

}  // namespace flashctl
