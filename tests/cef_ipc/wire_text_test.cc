// The IPC's text conversions: surrogate pairs, unpaired surrogates and
// malformed UTF-8, each of which must come out the same on both sides.
#include "cef/ipc/wire_text.h"

#include <gtest/gtest.h>

namespace {

TEST(WireTextTest, Utf16ToUtf8KeepsPairsAndReplacesLoneSurrogates) {
  EXPECT_EQ("a\xC3\xA9\xE2\x82\xAC", cefipc::Utf16ToUtf8(u"a\u00E9\u20AC"));
  EXPECT_EQ("\xF0\x9F\x98\x80", cefipc::Utf16ToUtf8(u"\U0001F600"));
  EXPECT_EQ("\xEF\xBF\xBDx", cefipc::Utf16ToUtf8(std::u16string{0xD83D, u'x'}));
  EXPECT_EQ("x\xEF\xBF\xBD", cefipc::Utf16ToUtf8(std::u16string{u'x', 0xDE00}));
  EXPECT_EQ("", cefipc::Utf16ToUtf8(u""));
}

TEST(WireTextTest, Utf8ToUtf16DecodesAndReplacesMalformedSequences) {
  EXPECT_EQ(u"a\u00E9\u20AC\U0001F600",
            cefipc::Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
  // An overlong form is one replacement as a whole.
  EXPECT_EQ(u"\uFFFD", cefipc::Utf8ToUtf16("\xC0\x80"));
  // A truncated sequence: its lead byte, then the stray continuation byte.
  EXPECT_EQ(u"\uFFFD\uFFFDA", cefipc::Utf8ToUtf16("\xE2\x82"
                                                  "A"));
  // Encoded surrogates and bytes that never start a sequence.
  EXPECT_EQ(u"\uFFFD", cefipc::Utf8ToUtf16("\xED\xA0\x80"));
  EXPECT_EQ(u"\uFFFD\uFFFD", cefipc::Utf8ToUtf16("\xFF\x80"));
}

}  // namespace
