// FormatText: placeholders, removed markers and the absence of escapes.
#include "src/common/format_text.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatTextTest, ReplacesTheThreePlaceholders) {
  EXPECT_EQ(FormatText(u"com browser window handle: %1", u"4242"),
            u"com browser window handle: 4242");
  EXPECT_EQ(FormatText(u"Can't execute script: %1, %2", u"name", u"1+1"),
            u"Can't execute script: name, 1+1");
  EXPECT_EQ(FormatText(u"%3%2%1", u"a", u"b", u"c"), u"cba");
  EXPECT_EQ(FormatText(u"%1 and %1", u"x"), u"x and x");
  EXPECT_EQ(FormatText(u"Software\\%1", u"Nuv"), u"Software\\Nuv");
}

TEST(FormatTextTest, InsertedTextIsNeverScannedAgain) {
  EXPECT_EQ(FormatText(u"start execute script: %1", u"%1%2"), u"start execute script: %1%2");
  EXPECT_EQ(FormatText(u"%1%2", u"", u"second"), u"second");
  EXPECT_EQ(FormatText(u"%1%2", u"%", u"2"), u"%2");
}

TEST(FormatTextTest, MissingArgumentsAndMarkers) {
  EXPECT_EQ(FormatText(u"<%4|%a|%b>", u"x"), u"<||%b>");
  EXPECT_EQ(FormatText(u"%2-%3", u"x"), u"-");
  EXPECT_EQ(FormatText(u"%A%0"), u"%A%0");     // only lower-case a; no %0
  EXPECT_EQ(FormatText(u"%%1", u"x"), u"%x");  // no escape for a percent sign
  EXPECT_EQ(FormatText(u"100%", u"x"), u"100%");
  EXPECT_EQ(FormatText(u"%"), u"%");
  EXPECT_EQ(FormatText(u"%a%a%1", u"x"), u"x");
  EXPECT_EQ(FormatText(nullptr, u"x"), u"");
  EXPECT_EQ(FormatText(u""), u"");
}

TEST(FormatTextTest, StringOverloads) {
  std::u16string format = u"%1=%2";
  EXPECT_EQ(FormatText(format, std::u16string(u"k"), std::u16string(u"v")), u"k=v");
}

}  // namespace
