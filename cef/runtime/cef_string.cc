// UTF-8 / UTF-16 / wide conversions behind CefString. Malformed input never
// fails: each bad sequence becomes U+FFFD.
#include "include/internal/cef_string.h"
#include "platform/utf8.h"

namespace {

using nuv::platform::AppendUtf8;

const char32_t kReplacement = 0xFFFD;

void AppendUtf16(char32_t cp, std::u16string* out) {
  if (cp < 0x10000) {
    out->push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

bool IsSurrogate(char32_t cp) {
  return cp >= 0xD800 && cp <= 0xDFFF;
}

// Decodes one code point of UTF-16 at |*i|, advancing |*i|.
char32_t NextUtf16(const char16* src, std::size_t len, std::size_t* i) {
  char32_t c = src[(*i)++];
  if (c >= 0xD800 && c <= 0xDBFF && *i < len && src[*i] >= 0xDC00 && src[*i] <= 0xDFFF) {
    char32_t low = src[(*i)++];
    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
  }
  return IsSurrogate(c) ? kReplacement : c;
}

}  // namespace

std::u16string CefUtf8ToUtf16(const char* src, std::size_t len) {
  std::u16string out;
  if (!src)
    return out;
  out.reserve(len);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  std::size_t i = 0;
  while (i < len) {
    unsigned char lead = s[i];
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int got = 0;
    while (got < extra && j < len && (s[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (s[j] & 0x3F);
      ++j;
      ++got;
    }
    if (got < extra || cp < min || cp > 0x10FFFF || IsSurrogate(cp)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i = (got == 0) ? i + 1 : j;
      continue;
    }
    AppendUtf16(cp, &out);
    i = j;
  }
  return out;
}

std::string CefUtf16ToUtf8(const char16* src, std::size_t len) {
  std::string out;
  if (!src)
    return out;
  out.reserve(len);
  std::size_t i = 0;
  while (i < len)
    AppendUtf8(NextUtf16(src, len, &i), &out);
  return out;
}

std::u16string CefWideToUtf16(const wchar_t* src, std::size_t len) {
  std::u16string out;
  if (!src)
    return out;
  if (sizeof(wchar_t) == 2) {
    for (std::size_t i = 0; i < len; ++i)
      out.push_back(static_cast<char16_t>(src[i]));
    return out;
  }
  for (std::size_t i = 0; i < len; ++i) {
    char32_t cp = static_cast<char32_t>(src[i]);
    if (cp > 0x10FFFF || IsSurrogate(cp))
      cp = kReplacement;
    AppendUtf16(cp, &out);
  }
  return out;
}

std::wstring CefUtf16ToWide(const char16* src, std::size_t len) {
  std::wstring out;
  if (!src)
    return out;
  if (sizeof(wchar_t) == 2) {
    out.assign(src, src + len);
    return out;
  }
  std::size_t i = 0;
  while (i < len)
    out.push_back(static_cast<wchar_t>(NextUtf16(src, len, &i)));
  return out;
}
