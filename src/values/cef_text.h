// The one conversion between CEF strings and the program's UTF-16 strings.
// CEF's 16-bit character type is wchar_t on Windows and a 16-bit integer
// elsewhere, so the conversion goes through c_str() and length() only.
#ifndef NUV_SRC_VALUES_CEF_TEXT_H_
#define NUV_SRC_VALUES_CEF_TEXT_H_

#include <string>

#include "include/internal/cef_string.h"

static_assert(sizeof(CefString::char_type) == sizeof(char16_t),
              "CEF strings must hold 16-bit code units");

inline std::u16string CefToU16(const CefString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.c_str()), text.length());
}

inline CefString U16ToCef(const std::u16string& text) {
  return CefString(reinterpret_cast<const CefString::char_type*>(text.c_str()), text.length(),
                   true);
}

#endif  // NUV_SRC_VALUES_CEF_TEXT_H_
