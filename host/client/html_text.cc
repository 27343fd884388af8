#include "host/client/html_text.h"

#include <cstdint>

#include "platform/utf8.h"

namespace nuv {
namespace host {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at text[i] (2 to 4), or 0 when
// the bytes there are not one (RFC 3629: no surrogates, no overlong forms,
// nothing above U+10FFFF).
size_t SequenceLength(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;
    if (lead == 0xED)
      high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
    return 0;
  for (size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
  }
  return length;
}

void AppendEscapedAscii(char c, std::string* out) {
  switch (c) {
    case '&':
      *out += "&amp;";
      return;
    case '<':
      *out += "&lt;";
      return;
    case '>':
      *out += "&gt;";
      return;
    case '"':
      *out += "&quot;";
      return;
    case '\'':
      *out += "&#39;";
      return;
    case '\t':
    case '\n':
      out->push_back(c);
      return;
  }
  const auto code = static_cast<uint8_t>(c);
  if (code < 0x20)
    nuv::platform::AppendUtf8(0x2400 + code, out);  // ␀ ... ␟
  else if (code == 0x7F)
    nuv::platform::AppendUtf8(0x2421, out);  // ␡
  else
    out->push_back(c);
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t i = 0; i < text.size();) {
    if (static_cast<uint8_t>(text[i]) < 0x80) {
      AppendEscapedAscii(text[i], &out);
      ++i;
      continue;
    }
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out;
}

std::string CutUtf8(const std::string& text, size_t max_bytes, bool* cut) {
  if (cut)
    *cut = text.size() > max_bytes;
  if (text.size() <= max_bytes)
    return text;
  size_t end = max_bytes;
  // Step back over continuation bytes to the lead byte of the sequence
  // that would be split (at most three).
  for (int k = 0; k < 3 && end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80; ++k)
    --end;
  return text.substr(0, end);
}

}  // namespace host
}  // namespace nuv
