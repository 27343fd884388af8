#include "platform/text_kind.h"

namespace nuv {
namespace platform {

// Statistics in the spirit of IsTextUnicode: UTF-16LE text of the kind this
// program reads (configuration keys, Latin text, some CJK) has many units
// whose high byte is zero and few whose low byte is zero; byte-swapped line
// ends, the non-characters U+FFFE/U+FFFF and unpaired surrogates rule it out.
bool LooksLikeUtf16Text(const uint8_t* data, size_t size) {
  if (!data || size < 2 || size % 2 != 0)
    return false;
  size_t units = size / 2;
  size_t zero_high = 0;
  size_t zero_low = 0;
  for (size_t i = 0; i < units; ++i) {
    uint16_t unit = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit == 0xFFFE || unit == 0xFFFF || unit == 0x0D00 || unit == 0x0A00)
      return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      uint16_t next =
          i + 1 < units ? static_cast<uint16_t>(data[2 * i + 2] | (data[2 * i + 3] << 8)) : 0;
      if (next < 0xDC00 || next > 0xDFFF)
        return false;
      ++i;
      continue;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF)
      return false;
    if (unit == 0)
      continue;
    if ((unit & 0xFF00) == 0)
      ++zero_high;
    else if ((unit & 0x00FF) == 0)
      ++zero_low;
  }
  return zero_high > 0 && zero_high > 3 * zero_low && zero_high * 10 >= units;
}

}  // namespace platform
}  // namespace nuv
