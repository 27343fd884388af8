// Guessing whether a byte buffer without a mark is UTF-16LE text, in place
// of IsTextUnicode.
#ifndef NUV_PLATFORM_TEXT_KIND_H_
#define NUV_PLATFORM_TEXT_KIND_H_

#include <cstddef>
#include <cstdint>

namespace nuv {
namespace platform {

bool LooksLikeUtf16Text(const uint8_t* data, size_t size);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_TEXT_KIND_H_
