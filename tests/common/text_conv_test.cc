// UTF-8 <-> UTF-16 conversion and the character substitution table.
#include "src/common/text_conv.h"

#include <gtest/gtest.h>

#include "tests/common/test_util.h"

namespace {

using nuv_test::ScratchDir;
using nuv_test::Utf16Le;

TEST(TextConvTest, Utf8ToWideMarkAndTerminator) {
  EXPECT_EQ(Utf8ToWide("NuvValueString"), u"NuvValueString");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF"
                       "abc"),
            u"abc");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF"), u"\uFEFF");  // exactly the mark: kept
  EXPECT_EQ(Utf8ToWide(std::string("ab\0cd", 5)), u"ab");
  EXPECT_EQ(Utf8ToWide("bad\xFF"), u"bad\uFFFD");
  EXPECT_EQ(Utf8ToWide(static_cast<const char*>(nullptr)), u"");
  EXPECT_EQ(Utf8ToWide(""), u"");
}

TEST(TextConvTest, WideToUtf8WithoutTable) {
  EXPECT_EQ(WideToUtf8(u"NuvValueString"), "NuvValueString");
  EXPECT_EQ(WideToUtf8(u"\u4e2d\U0001F600"), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(std::u16string(u"ab\0cd", 5)), "ab");
  EXPECT_EQ(WideToUtf8(static_cast<const char16_t*>(nullptr)), "");
}

TEST(TextConvTest, MultiByteToWideTextCodePages) {
  EXPECT_EQ(MultiByteToWideText("caf\xE9", kCodePageAnsi), u"caf\u00e9");
  EXPECT_EQ(MultiByteToWideText("\xEF\xBB\xBF"
                                "caf\xC3\xA9",
                                kCodePageAnsi),
            u"caf\u00e9");
  EXPECT_EQ(MultiByteToWideText("caf\xE9", 51932), u"caf\u00e9");  // unknown: ANSI
}

// Each entry acts on the result of the ones before it, also on characters
// that an earlier entry replaced and a later one brings back; an entry that
// would pass the length limit is skipped and the ones after it still apply.
TEST(SubstitutionTest, LaterEntriesSeeEarlierResultsAndTheLimit) {
  std::u16string text = u"ab";
  ApplyCharacterTableText(u"\uFEFFa=bc\r\nb=a\r\na=d\r\nc=", text);
  EXPECT_EQ(text, u"dcd");

  std::u16string doubling = u"\uFEFF";
  for (char16_t c = u'a'; c < u'a' + 25; ++c)
    doubling +=
        std::u16string(1, c) + u"=" + std::u16string(2, static_cast<char16_t>(c + 1)) + u"\r\n";
  doubling += u"y=Y\r\nz=Z";
  text = u"a";
  ApplyCharacterTableText(doubling, text);
  // 24 doublings reach the limit exactly; the 25th (y=zz) is skipped, y=Y
  // still applies and z=Z finds nothing.
  EXPECT_EQ(text, std::u16string(16u << 20, u'Y'));
}

// The table lives beside the executable, so each case runs a copy of the
// probe program in a directory of its own.
class CharacterTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = nuv_test::CopyProbe(dir_.path());
    ASSERT_TRUE(nuv_test::MakeDir(dir_ / "strconv"));
  }
  void SetTable(const std::string& bytes) {
    nuv_test::WriteBytes(dir_ / "strconv/65001.txt", bytes);
  }
  std::string Convert(const std::string& utf8) {
    nuv_test::ChildResult result = nuv_test::RunChild(probe_, {"utf8", utf8});
    EXPECT_EQ(result.exit_code, 0);
    return result.output;
  }

  ScratchDir dir_;
  std::string probe_;
};

TEST_F(CharacterTableTest, EntriesApplyInFileOrder) {
  EXPECT_EQ(Convert("NuvValueString"), "NuvValueString");  // no table yet
  // a -> "xy", x -> "Z" (acts on the inserted x too), b -> "b!" (holds b:
  // ignored), c -> "" (empty: ignored), last line without CR LF: d -> "D".
  SetTable("\xFF\xFE" + Utf16Le(u"a=xy\r\nx=Z\r\nb=b!\r\nc=\r\nd=D"));
  EXPECT_EQ(Convert("abcdx"), "ZybcDZ");
  // A one-character replacement outside ASCII, and an odd trailing byte.
  SetTable("\xFF\xFE" + Utf16Le(u"e\t\u00e9") + "!");
  EXPECT_EQ(Convert("tee"), "t\xC3\xA9\xC3\xA9");
}

// Within one conversion scope the table is looked for once; a change to
// the file (here its removal) shows from the next conversion on.
TEST_F(CharacterTableTest, ScopeReadsTheTableOncePerConversion) {
  SetTable("\xFF\xFE" + Utf16Le(u"a=b"));
  nuv_test::ChildResult result = nuv_test::RunChild(probe_, {"utf8scope", "cab"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "cbb|cbb|cab");
}

// The table is kept between conversions and read again only when the
// system reports a change; a folder and table that appear, a table that is
// rewritten with the same size, removed and made again, all take effect
// from the very next conversion of the running process.
TEST(CharacterTableWatchTest, ChangesWhileRunningTakeEffectAtOnce) {
  ScratchDir dir;
  const std::string probe = nuv_test::CopyProbe(dir.path());
  nuv_test::ChildResult result = nuv_test::RunChild(probe, {"utf8watch", "abc"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "abc|abc|xbc|ayc|abc|abz");
}

TEST_F(CharacterTableTest, DamagedTablesNeverCrash) {
  for (const std::string& table :
       {std::string(""), std::string("\xFF"), std::string("\xFF\xFE"),
        std::string("\xFF\xFE"
                    "a\0",
                    4),
        "\xFF\xFE" + Utf16Le(u"\r\n\r\n\r\n"), "\xFF\xFE" + Utf16Le(std::u16string(u"a\0=b", 4)),
        "\xFF\xFE" + Utf16Le(u"a=b\r\n") + std::string(3, '\0')}) {
    SetTable(table);
    nuv_test::ChildResult result = nuv_test::RunChild(probe_, {"utf8", "abc"});
    EXPECT_EQ(result.exit_code, 0);
  }
  // Entries that each double the text stop before memory runs out.
  std::u16string doubling;
  for (char16_t c = u'a'; c < u'a' + 40; ++c)
    doubling +=
        std::u16string(1, c) + u"=" + std::u16string(2, static_cast<char16_t>(c + 1)) + u"\r\n";
  SetTable("\xFF\xFE" + Utf16Le(doubling));
  nuv_test::ChildResult result = nuv_test::RunChild(probe_, {"utf8", "a"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_LE(result.output.size(), 16u << 20);
}

}  // namespace
