// Turning fuzzer bytes into the UTF-16 texts the targets take.
#ifndef NUV_TESTS_FUZZ_COMMON_FUZZ_UTIL_H_
#define NUV_TESTS_FUZZ_COMMON_FUZZ_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Pairs of bytes as little-endian 16-bit units; an odd last byte is dropped.
inline std::u16string UnitsOf(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  return text;
}

// Splits the units at U+FFFF into at most `count` texts.
inline std::vector<std::u16string> PartsOf(const std::u16string& text, size_t count) {
  std::vector<std::u16string> parts(1);
  for (char16_t c : text) {
    if (c == 0xFFFF && parts.size() < count)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  parts.resize(count);
  return parts;
}

#endif  // NUV_TESTS_FUZZ_COMMON_FUZZ_UTIL_H_
