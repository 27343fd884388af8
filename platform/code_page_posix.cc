#include "platform/code_page.h"
#include "platform/utf8.h"

namespace nuv {
namespace platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five bytes Windows leaves undefined map
// to the C1 controls of the same value, as MultiByteToWideChar does.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts and the range its second byte
// must fall in; 0 for a byte that cannot start a sequence.
int SequenceLength(uint8_t lead, uint8_t* low, uint8_t* high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (lead == 0xE0)
      *low = 0xA0;
    if (lead == 0xED)
      *high = 0x9F;  // no surrogates
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (lead == 0xF0)
      *low = 0x90;
    if (lead == 0xF4)
      *high = 0x8F;  // nothing past U+10FFFF
    return 4;
  }
  return 0;
}

void AppendCodePoint(uint32_t code_point, std::u16string* out) {
  if (code_point >= 0x10000) {
    code_point -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(code_point));
  }
}

// Each maximal subpart of an ill-formed sequence becomes one U+FFFD.
void DecodeUtf8(const uint8_t* bytes, size_t size, std::u16string* out) {
  size_t i = 0;
  while (i < size) {
    uint8_t lead = bytes[i];
    if (lead < 0x80) {
      out->push_back(lead);
      ++i;
      continue;
    }
    uint8_t low, high;
    int length = SequenceLength(lead, &low, &high);
    if (length == 0) {
      out->push_back(kReplacement);
      ++i;
      continue;
    }
    uint32_t code_point = lead & (0xFF >> (length + 1));
    size_t consumed = 1;
    bool complete = true;
    for (int k = 1; k < length; ++k) {
      if (i + consumed >= size) {
        complete = false;
        break;
      }
      uint8_t byte = bytes[i + consumed];
      bool fits = k == 1 ? (byte >= low && byte <= high) : IsContinuation(byte);
      if (!fits) {
        complete = false;
        break;
      }
      code_point = (code_point << 6) | (byte & 0x3F);
      ++consumed;
    }
    if (complete)
      AppendCodePoint(code_point, out);
    else
      out->push_back(kReplacement);
    i += consumed;
  }
}

void EncodeUtf8(const char16_t* text, size_t length, std::string* out) {
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(c, out);
  }
}

char16_t Windows1252ToWide(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F)
    return kWindows1252High[byte - 0x80];
  return byte;
}

char WideToWindows1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
    return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kWindows1252High[i] == c)
      return static_cast<char>(0x80 + i);
  }
  return '?';
}

uint32_t Resolve(uint32_t cp) {
  return cp == kCodePageAnsi ? GetAnsiCodePage() : cp;
}

}  // namespace

uint32_t GetAnsiCodePage() {
  return kCodePageWindows1252;
}

bool IsCodePageSupported(uint32_t cp) {
  cp = Resolve(cp);
  return cp == kCodePageUtf8 || cp == kCodePageWindows1252;
}

bool MultiByteToWide(uint32_t cp, const char* bytes, size_t size, std::u16string* out) {
  cp = Resolve(cp);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes);
  out->clear();
  if (cp == kCodePageUtf8) {
    out->reserve(size);
    DecodeUtf8(data, size, out);
    return true;
  }
  if (cp == kCodePageWindows1252) {
    out->resize(size);
    for (size_t i = 0; i < size; ++i)
      (*out)[i] = Windows1252ToWide(data[i]);
    return true;
  }
  return false;
}

bool WideToMultiByte(uint32_t cp, const char16_t* text, size_t length, std::string* out) {
  cp = Resolve(cp);
  out->clear();
  if (cp == kCodePageUtf8) {
    out->reserve(length);
    EncodeUtf8(text, length, out);
    return true;
  }
  if (cp == kCodePageWindows1252) {
    out->resize(length);
    for (size_t i = 0; i < length; ++i)
      (*out)[i] = WideToWindows1252(text[i]);
    return true;
  }
  return false;
}

}  // namespace platform
}  // namespace nuv
