// Code-page conversion and the UTF-16 text guess.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "platform/text_kind.h"

namespace nuv {
namespace platform {
namespace {

std::u16string FromUtf8(const std::string& bytes) {
  std::u16string out;
  EXPECT_TRUE(MultiByteToWide(kCodePageUtf8, bytes.data(), bytes.size(), &out));
  return out;
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  EXPECT_TRUE(WideToMultiByte(kCodePageUtf8, text.data(), text.size(), &out));
  return out;
}

TEST(CodePageTest, Utf8RoundTripsEveryPlane) {
  const std::u16string text = u"A\u00e9\u4e2d\U0001F600z";
  EXPECT_EQ(ToUtf8(text), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}

TEST(CodePageTest, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
  // Lone continuation, overlong lead, truncated 3-byte sequence followed by
  // ASCII, encoded surrogate, code point above U+10FFFF, truncated at end.
  EXPECT_EQ(FromUtf8("a\x80"
                     "b"),
            u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xE4\xB8"
                     "x"),
            u"\uFFFDx");
#if defined(_WIN32)
  // wine's MultiByteToWideChar replaces an encoded surrogate and a code
  // point above U+10FFFF with one U+FFFD fewer.
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
#else
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
#endif
  EXPECT_EQ(FromUtf8("ok\xF0\x9F\x98"), u"ok\uFFFD");
}

TEST(CodePageTest, UnpairedSurrogatesEncodeAsReplacement) {
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
}

TEST(CodePageTest, AnsiIsWindows1252) {
  EXPECT_EQ(GetAnsiCodePage(), 1252u);
  std::u16string out;
  const std::string bytes = "\x80\x81\x9F\xE9\xFF";
  ASSERT_TRUE(MultiByteToWide(kCodePageAnsi, bytes.data(), bytes.size(), &out));
  EXPECT_EQ(out, u"\u20AC\u0081\u0178\u00E9\u00FF");
  std::string back;
  ASSERT_TRUE(WideToMultiByte(kCodePageAnsi, out.data(), out.size(), &back));
  EXPECT_EQ(back, bytes);
  const std::u16string unmappable = u"\u4e2d";
  ASSERT_TRUE(WideToMultiByte(kCodePageAnsi, unmappable.data(), unmappable.size(), &back));
  EXPECT_EQ(back, "?");
}

TEST(CodePageTest, UnknownCodePageFails) {
  std::u16string out;
  EXPECT_FALSE(IsCodePageSupported(51932));
  EXPECT_FALSE(MultiByteToWide(51932, "abc", 3, &out));
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

bool Guess(const std::string& bytes) {
  return LooksLikeUtf16Text(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(TextKindTest, RecognisesUtf16WithoutMark) {
  EXPECT_TRUE(Guess(Utf16Le(u"[Common]\r\nProductName=Nuv\r\n")));
  EXPECT_TRUE(Guess(Utf16Le(u"[Common]\r\nProductName=\u4e2d\u6587\u4ea7\u54c1\r\n")));
  EXPECT_FALSE(Guess(Utf16Le(u"odd") + "x"));
#if defined(_WIN32)
  // wine's IsTextUnicode takes 14 ASCII bytes with one zero for UTF-16.
  EXPECT_TRUE(Guess(std::string("ab\0cdefghijkl", 13) + "m"));
#else
  EXPECT_FALSE(Guess(std::string("ab\0cdefghijkl", 13) + "m"));
#endif
  // Byte-swapped text and binary noise with zeros are not UTF-16LE.
  std::string swapped = Utf16Le(u"ProductName=Nuv\r\n");
  for (size_t i = 0; i + 1 < swapped.size(); i += 2)
    std::swap(swapped[i], swapped[i + 1]);
  EXPECT_FALSE(Guess(swapped));
  EXPECT_FALSE(Guess(std::string("\x00\x00\x01\x00\x00\x02\xff\xff\x00\x10\x00\x00", 12)));
}

}  // namespace
}  // namespace platform
}  // namespace nuv
