#include "platform/code_page.h"

#include <windows.h>

#include <climits>

namespace nuv {
namespace platform {

uint32_t GetAnsiCodePage() {
  return GetACP();
}

bool IsCodePageSupported(uint32_t cp) {
  return cp == kCodePageAnsi || IsValidCodePage(cp) != FALSE;
}

bool MultiByteToWide(uint32_t cp, const char* bytes, size_t size, std::u16string* out) {
  out->clear();
  if (!IsCodePageSupported(cp) || size > INT_MAX)
    return false;
  if (size == 0)
    return true;
  int n = MultiByteToWideChar(cp, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (n <= 0)
    return false;
  out->resize(n);
  MultiByteToWideChar(cp, 0, bytes, static_cast<int>(size), reinterpret_cast<wchar_t*>(&(*out)[0]),
                      n);
  return true;
}

bool WideToMultiByte(uint32_t cp, const char16_t* text, size_t length, std::string* out) {
  out->clear();
  if (!IsCodePageSupported(cp) || length > INT_MAX)
    return false;
  if (length == 0)
    return true;
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text);
  int n = WideCharToMultiByte(cp, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0)
    return false;
  out->resize(n);
  WideCharToMultiByte(cp, 0, wide, static_cast<int>(length), &(*out)[0], n, nullptr, nullptr);
  return true;
}

}  // namespace platform
}  // namespace nuv
