// Code-page conversion with the rules of MultiByteToWideChar and
// WideCharToMultiByte called with flags 0, for UTF-8 (65001) and the ANSI
// code page (0). On POSIX the ANSI code page is Windows-1252.
#ifndef NUV_PLATFORM_CODE_PAGE_H_
#define NUV_PLATFORM_CODE_PAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuv {
namespace platform {

constexpr uint32_t kCodePageAnsi = 0;      // CP_ACP
constexpr uint32_t kCodePageUtf8 = 65001;  // CP_UTF8
constexpr uint32_t kCodePageWindows1252 = 1252;

// Whether `cp` can be converted here.
bool IsCodePageSupported(uint32_t cp);

// The code page that kCodePageAnsi stands for.
uint32_t GetAnsiCodePage();

// Converts `size` bytes of code page `cp` to UTF-16. UTF-8: each invalid or
// incomplete sequence (maximal subpart) becomes U+FFFD. Single-byte pages map
// every byte. False only for an unsupported code page.
bool MultiByteToWide(uint32_t cp, const char* bytes, size_t size, std::u16string* out);

// Converts UTF-16 to code page `cp`. UTF-8: an unpaired surrogate becomes
// U+FFFD. Single-byte pages: an unmappable character becomes '?'. False only
// for an unsupported code page.
bool WideToMultiByte(uint32_t cp, const char16_t* text, size_t length, std::string* out);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_CODE_PAGE_H_
