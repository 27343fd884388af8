// CefString: the UTF-16 string type of the CEF interface, with conversions
// to and from UTF-8 (std::string), wide strings and std::u16string.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#pragma once

#include <cstddef>
#include <string>

#include "include/base/cef_basictypes.h"

#define CEF_STRING_TYPE_UTF16 1

typedef char16 cef_char_t;

// Conversions used by CefStringUTF16; invalid input sequences become U+FFFD.
std::u16string CefUtf8ToUtf16(const char* src, std::size_t len);
std::string CefUtf16ToUtf8(const char16* src, std::size_t len);
std::u16string CefWideToUtf16(const wchar_t* src, std::size_t len);
std::wstring CefUtf16ToWide(const char16* src, std::size_t len);

class CefStringUTF16 {
 public:
  typedef char16 char_type;

  CefStringUTF16() {}
  CefStringUTF16(const CefStringUTF16& str) = default;
  CefStringUTF16(CefStringUTF16&& str) noexcept = default;
  CefStringUTF16(const std::string& src)  // NOLINT(runtime/explicit)
      : str_(CefUtf8ToUtf16(src.data(), src.size())) {}
  CefStringUTF16(const char* src)  // NOLINT(runtime/explicit)
      : str_(src ? CefUtf8ToUtf16(src, std::char_traits<char>::length(src)) : std::u16string()) {}
  CefStringUTF16(const std::wstring& src)  // NOLINT(runtime/explicit)
      : str_(CefWideToUtf16(src.data(), src.size())) {}
  CefStringUTF16(const wchar_t* src)  // NOLINT(runtime/explicit)
      : str_(src ? CefWideToUtf16(src, std::char_traits<wchar_t>::length(src)) : std::u16string()) {
  }
  CefStringUTF16(const std::u16string& src) : str_(src) {}  // NOLINT(runtime/explicit)
  CefStringUTF16(const char16* src)                         // NOLINT(runtime/explicit)
      : str_(src ? std::u16string(src) : std::u16string()) {}
  // |copy| is accepted for signature compatibility; the text is always copied.
  CefStringUTF16(const char16* src, std::size_t src_len, bool copy)
      : str_(src ? std::u16string(src, src_len) : std::u16string()) {}

  // Never null: an empty string yields a pointer to a terminating zero.
  const char16* c_str() const { return str_.c_str(); }
  std::size_t length() const { return str_.length(); }
  std::size_t size() const { return str_.length(); }
  bool empty() const { return str_.empty(); }
  int compare(const CefStringUTF16& str) const { return str_.compare(str.str_); }
  void clear() { str_.clear(); }
  void swap(CefStringUTF16& str) { str_.swap(str.str_); }

  bool FromString(const char16* src, std::size_t src_len, bool copy) {
    str_.assign(src ? src : u"", src ? src_len : 0);
    return true;
  }
  bool FromASCII(const char* str) {
    str_.clear();
    if (!str)
      return true;
    for (; *str; ++str) {
      if (static_cast<unsigned char>(*str) > 0x7f)
        return false;
      str_.push_back(static_cast<char16>(*str));
    }
    return true;
  }
  std::string ToString() const { return CefUtf16ToUtf8(str_.data(), str_.size()); }
  bool FromString(const std::string& str) {
    str_ = CefUtf8ToUtf16(str.data(), str.size());
    return true;
  }
  std::wstring ToWString() const { return CefUtf16ToWide(str_.data(), str_.size()); }
  bool FromWString(const std::wstring& str) {
    str_ = CefWideToUtf16(str.data(), str.size());
    return true;
  }
  std::u16string ToString16() const { return str_; }
  bool FromString16(const std::u16string& str) {
    str_ = str;
    return true;
  }

  bool operator<(const CefStringUTF16& str) const { return str_ < str.str_; }
  bool operator<=(const CefStringUTF16& str) const { return str_ <= str.str_; }
  bool operator>(const CefStringUTF16& str) const { return str_ > str.str_; }
  bool operator>=(const CefStringUTF16& str) const { return str_ >= str.str_; }
  bool operator==(const CefStringUTF16& str) const { return str_ == str.str_; }
  bool operator!=(const CefStringUTF16& str) const { return str_ != str.str_; }

  CefStringUTF16& operator=(const CefStringUTF16& str) = default;
  CefStringUTF16& operator=(CefStringUTF16&& str) noexcept = default;
  operator std::string() const { return ToString(); }
  CefStringUTF16& operator=(const std::string& str) {
    FromString(str);
    return *this;
  }
  CefStringUTF16& operator=(const char* str) { return *this = CefStringUTF16(str); }
  operator std::wstring() const { return ToWString(); }
  CefStringUTF16& operator=(const std::wstring& str) {
    FromWString(str);
    return *this;
  }
  CefStringUTF16& operator=(const wchar_t* str) { return *this = CefStringUTF16(str); }
  operator std::u16string() const { return str_; }
  CefStringUTF16& operator=(const std::u16string& str) {
    str_ = str;
    return *this;
  }
  CefStringUTF16& operator=(const char16* str) { return *this = CefStringUTF16(str); }

 private:
  std::u16string str_;
};

typedef CefStringUTF16 CefString;

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
