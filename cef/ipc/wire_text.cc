#include "cef/ipc/wire_text.h"

#include <cstdint>

#include "platform/code_page.h"

namespace cefipc {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(char32_t c, std::u16string* out) {
  if (c < 0x10000) {
    out->push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

}  // namespace

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  nuv::platform::WideToMultiByte(nuv::platform::kCodePageUtf8, text.data(), text.size(), &out);
  return out;
}

// Decoded here, not by the platform converter: scenario texts reach the
// render process through this, and a malformed sequence keeps its own form,
// one U+FFFD per rejected lead byte and one per overlong or out-of-range
// sequence, where the platform replaces each maximal subpart.
std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, min = 0x10000;
    } else {
      AppendUtf16(kReplacement, &out);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size() || (static_cast<uint8_t>(text[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<uint8_t>(text[j]) & 0x3F);
    }
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendUtf16(kReplacement, &out);
      i = ok ? j : i + 1;
      continue;
    }
    AppendUtf16(c, &out);
    i = j;
  }
  return out;
}

}  // namespace cefipc
