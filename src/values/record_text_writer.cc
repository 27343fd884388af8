#include "src/values/record_text_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void AppendHex4(uint32_t unit, std::string* out) {
  static const char kDigits[] = "0123456789abcdef";
  char escape[6] = {'\\',
                    'u',
                    kDigits[(unit >> 12) & 0xF],
                    kDigits[(unit >> 8) & 0xF],
                    kDigits[(unit >> 4) & 0xF],
                    kDigits[unit & 0xF]};
  out->append(escape, sizeof(escape));
}

// Decodes the sequence starting at *at (a byte >= 0x80) and leaves *at on
// its last byte. Over-long forms, surrogates and truncated sequences give
// the replacement character.
uint32_t DecodeUtf8(const unsigned char*& at, const unsigned char* end) {
  const uint32_t first = at[0];
  if (first < 0xE0) {
    if (end - at < 2)
      return kReplacement;
    const uint32_t code = ((first & 0x1F) << 6) | (at[1] & 0x3Fu);
    at += 1;
    return code < 0x80 ? kReplacement : code;
  }
  if (first < 0xF0) {
    if (end - at < 3)
      return kReplacement;
    const uint32_t code = ((first & 0x0F) << 12) | ((at[1] & 0x3Fu) << 6) | (at[2] & 0x3Fu);
    at += 2;
    if (code >= 0xD800 && code <= 0xDFFF)
      return kReplacement;
    return code < 0x800 ? kReplacement : code;
  }
  if (first < 0xF8) {
    if (end - at < 4)
      return kReplacement;
    const uint32_t code =
        ((first & 0x07) << 18) | ((at[1] & 0x3Fu) << 12) | ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu);
    at += 3;
    return code < 0x10000 ? kReplacement : code;
  }
  return kReplacement;
}

// Takes *out back to `size` bytes; false, for the caller to return.
bool CutBack(size_t size, std::string* out) {
  out->resize(size);
  return false;
}

}  // namespace

bool AppendJsonStringWithin(const char* text, size_t length, size_t limit, std::string* out) {
  const size_t start = out->size();
  out->push_back('"');
  const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = at + length;
  const unsigned char* plain = at;
  for (; at < end; ++at) {
    const unsigned char c = *at;
    if (c >= 0x20 && c <= 0x7F && c != '"' && c != '\\')
      continue;
    // Checked per escape and per plain run: an escape adds at most 12 bytes.
    if (out->size() + static_cast<size_t>(at - plain) > limit)
      return CutBack(start, out);
    out->append(reinterpret_cast<const char*>(plain), static_cast<size_t>(at - plain));
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (c < 0x20) {
          AppendHex4(c, out);
        } else {
          uint32_t code = DecodeUtf8(at, end);
          if (code < 0x10000) {
            AppendHex4(code, out);
          } else {
            // Code points beyond U+10FFFF keep only the bits a surrogate
            // pair can carry, as the compact writer does.
            code -= 0x10000;
            AppendHex4(((code >> 10) & 0x3FF) + 0xD800, out);
            AppendHex4((code & 0x3FF) + 0xDC00, out);
          }
        }
        break;
    }
    plain = at + 1;
  }
  if (out->size() + static_cast<size_t>(end - plain) + 1 > limit)
    return CutBack(start, out);
  out->append(reinterpret_cast<const char*>(plain), static_cast<size_t>(end - plain));
  out->push_back('"');
  return true;
}

void AppendJsonString(const char* text, size_t length, std::string* out) {
  AppendJsonStringWithin(text, length, std::string::npos, out);
}

void AppendJsonReal(double value, std::string* out) {
  if (std::isnan(value)) {
    out->append("null");
    return;
  }
  if (std::isinf(value)) {
    out->append(value < 0 ? "-1e+9999" : "1e+9999");
    return;
  }
  // The same text as "%.17g" in the C locale, without printf's cost.
  char buffer[40];
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 17);
  if (result.ec != std::errc())
    return;
  const int written = static_cast<int>(result.ptr - buffer);
  out->append(buffer, static_cast<size_t>(written));
  if (!std::memchr(buffer, '.', static_cast<size_t>(written)) &&
      !std::memchr(buffer, 'e', static_cast<size_t>(written)))
    out->append(".0");
}

void AppendJsonInt(int64_t value, std::string* out) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  out->append(buffer, result.ptr);
}

void AppendJsonUInt(uint64_t value, std::string* out) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  out->append(buffer, result.ptr);
}
