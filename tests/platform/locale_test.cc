// Locale ids, the per-user settings store and locale date texts.
#include "platform/locale_id.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/date_format.h"
#include "platform/user_settings.h"

namespace nuv {
namespace platform {
namespace {

TEST(LocaleIdTest, MapsPosixNamesToLcids) {
  EXPECT_EQ(LcidFromLocaleName("en_US.UTF-8"), 1033u);
  EXPECT_EQ(LcidFromLocaleName("zh_CN.UTF-8"), 2052u);
  EXPECT_EQ(LcidFromLocaleName("zh_TW"), 1028u);
  EXPECT_EQ(LcidFromLocaleName("zh_HK.Big5-HKSCS"), 3076u);
  EXPECT_EQ(LcidFromLocaleName("de_AT@euro"), 0x0C07u);
  EXPECT_EQ(LcidFromLocaleName("pt-BR"), 0x0416u);
  EXPECT_EQ(LcidFromLocaleName("de_XX"), 0x0407u);  // unknown country: the language's default
  EXPECT_EQ(LcidFromLocaleName("xx_YY"), 0u);
  EXPECT_EQ(LcidFromLocaleName("C"), 0u);
  EXPECT_EQ(LcidFromLocaleName(""), 0u);
}

class EnvTest : public ::testing::Test {
 protected:
  void Set(const char* name, const char* value) {
    const char* old = getenv(name);
    saved_.emplace_back(name, old ? std::string(old) : std::string("\x01"));
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  void TearDown() override {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second == "\x01")
        unsetenv(it->first.c_str());
      else
        setenv(it->first.c_str(), it->second.c_str(), 1);
    }
  }
  std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(EnvTest, UserDefaultLcidFollowsTheEnvironment) {
  Set("LC_ALL", nullptr);
  Set("LC_MESSAGES", nullptr);
  Set("LANG", "zh_HK.UTF-8");
  EXPECT_EQ(GetUserDefaultLcid(), 3076u);
  Set("LC_MESSAGES", "ja_JP.UTF-8");
  EXPECT_EQ(GetUserDefaultLcid(), 0x0411u);
  Set("LC_ALL", "C");
  EXPECT_EQ(GetUserDefaultLcid(), 1033u);
}

TEST_F(EnvTest, UserDwordFromTheSettingsDirectory) {
  char pattern[] = "/tmp/nuv_settings_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string root = pattern;
  Set("NUV_USER_SETTINGS_DIR", root.c_str());
  mkdir((root + "/Software").c_str(), 0700);
  mkdir((root + "/Software/Nuv").c_str(), 0700);
  uint32_t value = 0;
  EXPECT_FALSE(ReadUserDword(u"Software\\Nuv", u"LCID", &value));
  std::ofstream(root + "/Software/Nuv/LCID") << "3076\n";
  ASSERT_TRUE(ReadUserDword(u"Software\\Nuv", u"LCID", &value));
  EXPECT_EQ(value, 3076u);
  std::ofstream(root + "/Software/Nuv/LCID") << "0x0C04";
  ASSERT_TRUE(ReadUserDword(u"Software\\Nuv", u"LCID", &value));
  EXPECT_EQ(value, 0x0C04u);
  for (const char* bad : {"", "abc", "-1", "4294967296", "12 34"}) {
    std::ofstream(root + "/Software/Nuv/LCID") << bad;
    EXPECT_FALSE(ReadUserDword(u"Software\\Nuv", u"LCID", &value)) << bad;
  }
  // Key components cannot leave the settings directory.
  EXPECT_FALSE(ReadUserDword(u"Software\\..\\Software\\Nuv", u"LCID", &value));
  EXPECT_FALSE(ReadUserDword(u"Software\\", u"LCID", &value));
  EXPECT_FALSE(ReadUserDword(u"Software\\a/b", u"LCID", &value));
  system(("rm -rf '" + root + "'").c_str());
}

TEST_F(EnvTest, LongDateAndTimeOfTheLocale) {
  SystemTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 8;
  t.day_of_week = 2;
  t.hour = 14;
  t.minute = 44;
  t.second = 32;
  Set("LC_ALL", "en_US.UTF-8");
  EXPECT_EQ(FormatLongDate(t), u"Tuesday, December 8, 2026");
  EXPECT_EQ(FormatTime(t), u"2:44:32 PM");
  Set("LC_ALL", "de_DE.UTF-8");
  EXPECT_EQ(FormatLongDate(t), u"Dienstag, 8. Dezember 2026");
  EXPECT_EQ(FormatTime(t), u"14:44:32");
}

}  // namespace
}  // namespace platform
}  // namespace nuv
