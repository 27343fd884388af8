// Locale ids, the per-user settings store and locale date texts.
#include "platform/locale_id.h"

#include <list>
#include <string>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "platform/date_format.h"
#include "platform/user_settings.h"
#include "tests/common/test_util.h"

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

#if defined(_WIN32)
// The user's locale is the session's; its name maps back to the same id.
TEST(LocaleIdTest, UserDefaultLcidIsTheUserLocale) {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
  std::string narrow;
  for (const wchar_t* c = name; *c; ++c)
    narrow += static_cast<char>(*c);
  EXPECT_NE(GetUserDefaultLcid(), 0u);
  EXPECT_EQ(LcidFromLocaleName(narrow), GetUserDefaultLcid()) << narrow;
}
#else
TEST(LocaleIdTest, UserDefaultLcidFollowsTheEnvironment) {
  nuv_test::ScopedEnv all("LC_ALL", nullptr);
  nuv_test::ScopedEnv messages("LC_MESSAGES", nullptr);
  nuv_test::ScopedEnv lang("LANG", "zh_HK.UTF-8");
  EXPECT_EQ(GetUserDefaultLcid(), 3076u);
  nuv_test::ScopedEnv messages_ja("LC_MESSAGES", "ja_JP.UTF-8");
  EXPECT_EQ(GetUserDefaultLcid(), 0x0411u);
  nuv_test::ScopedEnv all_c("LC_ALL", "C");
  EXPECT_EQ(GetUserDefaultLcid(), 1033u);
}
#endif

class UserDwordTest : public ::testing::Test {
 protected:
  bool Read(const std::string& key, uint32_t* value) {
    return ReadUserDword(nuv_test::U16(key), u"LCID", value);
  }

  nuv_test::UserSettings settings_;
  const std::string product_ = nuv_test::UniqueName("NuvLocaleTest");
  const std::string key_ = "Software\\" + product_;
};

TEST_F(UserDwordTest, ReadsTheValueOfTheUserKey) {
  std::list<nuv_test::ScopedEnv> env;  // where this process finds the settings
  for (const auto& [name, value] : settings_.Env())
    env.emplace_back(name, value.c_str());
  uint32_t value = 0;
  EXPECT_FALSE(Read(key_, &value));
  ASSERT_TRUE(settings_.SetDword(product_, "LCID", 3076));
  ASSERT_TRUE(Read(key_, &value));
  EXPECT_EQ(value, 3076u);
  ASSERT_TRUE(settings_.SetInvalid(product_, "LCID"));
  value = 7;
  EXPECT_FALSE(Read(key_, &value));
  EXPECT_EQ(value, 7u);  // untouched
#if defined(_WIN32)
  // Four bytes of any type count; more bytes are no setting.
  ASSERT_TRUE(settings_.SetRaw(product_, "LCID", std::string("\x04\x0C\0\0", 4), REG_BINARY));
  ASSERT_TRUE(Read(key_, &value));
  EXPECT_EQ(value, 0x0C04u);
  ASSERT_TRUE(settings_.SetRaw(product_, "LCID", std::string(8, '\1'), REG_QWORD));
  EXPECT_FALSE(Read(key_, &value));
#else
  ASSERT_TRUE(settings_.SetRaw(product_, "LCID", "0x0C04"));
  ASSERT_TRUE(Read(key_, &value));
  EXPECT_EQ(value, 0x0C04u);
  ASSERT_TRUE(settings_.SetRaw(product_, "LCID", " 2052\n"));
  ASSERT_TRUE(Read(key_, &value));
  EXPECT_EQ(value, 2052u);
  for (const char* bad : {"", "abc", "-1", "4294967296", "12 34"}) {
    ASSERT_TRUE(settings_.SetRaw(product_, "LCID", bad));
    EXPECT_FALSE(Read(key_, &value)) << bad;
  }
#endif
  // Key components never reach another key.
  ASSERT_TRUE(settings_.SetDword(product_, "LCID", 3076));
  EXPECT_FALSE(Read("Software\\..\\" + key_, &value));
  EXPECT_FALSE(Read("Software\\", &value));
  EXPECT_FALSE(Read("Software\\a/b", &value));
  EXPECT_FALSE(Read(key_ + "\\LCID", &value));
}

// Makes `posix_name` the locale the date and time texts follow: the
// environment on POSIX, the thread locale on Windows.
class ScopedFormatLocale {
 public:
  explicit ScopedFormatLocale(const char* posix_name)
#if defined(_WIN32)
      : old_(GetThreadLocale()) {
    std::wstring name;
    for (const char* c = posix_name; *c && *c != '.'; ++c)
      name += static_cast<wchar_t>(*c == '_' ? '-' : *c);
    SetThreadLocale(LocaleNameToLCID(name.c_str(), 0));
  }
  ~ScopedFormatLocale() {
    SetThreadLocale(old_);
  }

 private:
  LCID old_;
#else
      : env_("LC_ALL", posix_name) {
  }

 private:
  nuv_test::ScopedEnv env_;
#endif
};

TEST(DateFormatTest, LongDateAndTimeOfTheLocale) {
  SystemTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 8;
  t.day_of_week = 2;
  t.hour = 14;
  t.minute = 44;
  t.second = 32;
  {
    ScopedFormatLocale locale("en_US.UTF-8");
    EXPECT_EQ(FormatLongDate(t), u"Tuesday, December 8, 2026");
    EXPECT_EQ(FormatTime(t), u"2:44:32 PM");
  }
  {
    ScopedFormatLocale locale("de_DE.UTF-8");
    EXPECT_EQ(FormatLongDate(t), u"Dienstag, 8. Dezember 2026");
    EXPECT_EQ(FormatTime(t), u"14:44:32");
  }
}

}  // namespace
}  // namespace platform
}  // namespace nuv
