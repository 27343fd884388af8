#include "platform/text_kind.h"

#include <windows.h>

#include <climits>

namespace nuv {
namespace platform {

bool LooksLikeUtf16Text(const uint8_t* data, size_t size) {
  if (!data || size > INT_MAX)
    return false;
  return IsTextUnicode(data, static_cast<int>(size), nullptr) != FALSE;
}

}  // namespace platform
}  // namespace nuv
