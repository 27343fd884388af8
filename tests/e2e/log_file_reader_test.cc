// Reading the sub-process's UTF-16LE log back as UTF-8 lines.
#include "host/client/log_file_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// UTF-16LE bytes of `text`, with the byte-order mark when `bom`.
std::string Le(const std::u16string& text, bool bom = true) {
  std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

using Lines = std::vector<std::string>;

TEST(LogFileReaderTest, SplitsLinesAndDropsOneCarriageReturn) {
  EXPECT_EQ((Lines{"one", "two"}), nuv::host::DecodeUtf16LeLines(Le(u"one\r\ntwo\r\n")));
  EXPECT_EQ((Lines{"a", "", "b\r"}), nuv::host::DecodeUtf16LeLines(Le(u"a\n\r\nb\r\r\n")));
  // A last line without its line end is kept; without a mark too.
  EXPECT_EQ((Lines{"x", "tail"}), nuv::host::DecodeUtf16LeLines(Le(u"x\ntail", false)));
  EXPECT_EQ(Lines{}, nuv::host::DecodeUtf16LeLines(Le(u"")));
}

TEST(LogFileReaderTest, DecodesPairsReplacesLoneSurrogatesIgnoresOddByte) {
  EXPECT_EQ((Lines{"\xE2\x82\xAC\xF0\x9F\x98\x80"}),
            nuv::host::DecodeUtf16LeLines(Le(u"\u20AC\U0001F600\r\n")));
  // A high surrogate cut off by the line end, a low one on its own.
  EXPECT_EQ((Lines{"a\xEF\xBF\xBD", "\xEF\xBF\xBD"}),
            nuv::host::DecodeUtf16LeLines(Le(std::u16string{u'a', 0xD83D, u'\n', 0xDE00})));
  EXPECT_EQ((Lines{"ok"}), nuv::host::DecodeUtf16LeLines(Le(u"ok") + "\x41"));
}

}  // namespace
