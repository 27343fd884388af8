// Appending one Unicode code point to a UTF-8 string: the encoding step
// that the code-page conversion, the record reader, the runtime's string
// conversions and the reference client's page writer share. Header-only so
// that hot loops inline it.
#ifndef NUV_PLATFORM_UTF8_H_
#define NUV_PLATFORM_UTF8_H_

#include <cstdint>
#include <string>

namespace nuv {
namespace platform {

// `code` must be at most U+10FFFF; surrogates are the caller's business.
inline void AppendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_UTF8_H_
