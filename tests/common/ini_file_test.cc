// The configuration line store: splitting and lookup rules.
#include "src/common/ini_file.h"

#include <gtest/gtest.h>

namespace {

using Pieces = std::vector<std::u16string>;

TEST(SplitTextTest, Rules) {
  EXPECT_EQ(SplitText(u"", u','), Pieces{});
  EXPECT_EQ(SplitText(u",", u','), Pieces{});
  EXPECT_EQ(SplitText(u"a", u','), Pieces{u"a"});
  EXPECT_EQ(SplitText(u",a,b", u','), (Pieces{u"a", u"b"}));
  EXPECT_EQ(SplitText(u",,a", u','), (Pieces{u"", u"a"}));
  EXPECT_EQ(SplitText(u"a,,b,", u','), (Pieces{u"a", u"", u"b"}));
  EXPECT_EQ(SplitText(u"a,b,,", u','), (Pieces{u"a", u"b", u""}));
}

CNuvIniFileEx Load(const std::u16string& text) {
  CNuvIniFileEx ini;
  ini.LoadText(text);
  return ini;
}

TEST(IniFileTest, LinesKeepEmptyOnesAndLoseOneCr) {
  CNuvIniFileEx ini = Load(u"a\r\n\r\nb\r\r\nc");
  EXPECT_EQ(ini.GetLines(), (Pieces{u"a", u"", u"b\r", u"c"}));
  ini.LoadText(u"x");
  EXPECT_EQ(ini.GetLines(), Pieces{u"x"});
}

TEST(IniFileTest, LookupRules) {
  CNuvIniFileEx ini = Load(
      u"; comment\n"
      u"Key=outside\n"
      u"  [common]  \n"
      u"  productname=Nuv Client  \n"
      u"Spaced =hidden\n"
      u"Trail=  kept\n"
      u";Commented=no\n"
      u"Empty=\n"
      u"Eq=a=b\n"
      u"[Other]\n"
      u"Late=other\n"
      u"[Common]\n"
      u"Late=second block\n");
  EXPECT_EQ(ini.GetString(u"Common", u"ProductName", nullptr), u"Nuv Client");
  EXPECT_EQ(ini.GetString(u"COMMON", u"Trail", nullptr), u"  kept");
  EXPECT_EQ(ini.GetString(u"Common", u"Eq", nullptr), u"a=b");
  EXPECT_EQ(ini.GetString(u"Common", u"Spaced", u"dflt"), u"dflt");
  EXPECT_EQ(ini.GetString(u"Common", u"Commented", u"dflt"), u"dflt");
  EXPECT_EQ(ini.GetString(u"Common", u"Empty", u"dflt"), u"");
  EXPECT_EQ(ini.GetString(u"Common", u"Key", nullptr), u"");       // before any section
  EXPECT_EQ(ini.GetString(u"Common", u"Late", u"none"), u"none");  // only the first block
  EXPECT_EQ(ini.GetString(u"Other", u"Late", nullptr), u"other");
  EXPECT_EQ(ini.GetString(u"Missing", u"Late", nullptr), u"");
  EXPECT_EQ(ini.GetString(nullptr, u"Late", u"d"), u"d");
}

TEST(IniFileTest, KeyIsAPrefixMatchUpToTheEqualsSign) {
  CNuvIniFileEx ini = Load(u"[Common]\nProductName_2052=zh\nProductName=en\n");
  EXPECT_EQ(ini.GetString(u"Common", u"ProductName", nullptr), u"en");
  EXPECT_EQ(ini.GetString(u"Common", u"ProductName_2052", nullptr), u"zh");
  EXPECT_EQ(ini.GetString(u"Common", u"Product", nullptr), u"");
}

}  // namespace
