// Decimal reading of the host window switch, the way the C runtime's wide
// text-to-64-bit-integer conversion reads it.
#include "src/app/host_window_switch.h"

#include <limits>

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

uint32_t ParseHostWindowHandle(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Accumulate the magnitude; beyond the range of int64 the value sticks at
  // the limit of its sign, as the runtime's conversion does.
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  const uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
      continue;
    }
    magnitude = magnitude * 10 + digit;
  }
  // Two's complement of the magnitude for a negative number, computed in
  // unsigned arithmetic so INT64_MIN needs no special case.
  const uint64_t bits = negative ? (~magnitude + 1) : magnitude;
  return static_cast<uint32_t>(bits & 0xFFFFFFFFu);
}
