// The configuration file beside the executable and the interface language.
// Each case runs a copy of the probe program in a directory of its own, with
// its own configuration and per-user settings.
#include "src/common/config.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/common/test_util.h"

namespace {

using nuv_test::ChildResult;
using nuv_test::ScratchDir;
using nuv_test::Utf16Le;
using nuv_test::WriteBytes;

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    probe_ = nuv_test::CopyProbe(dir_.path());
  }

  // The per-user language setting under Software\<product>.
  void SetLcid(const std::string& product, uint32_t value) {
    ASSERT_TRUE(settings_.SetDword(product, "LCID", value));
  }

  // Runs the probe's "global" command. `lang` is the user's locale of the
  // child on POSIX; a Windows child keeps the session's user locale (en-US
  // on the Windows leg), so there only en_US is asked for.
  ChildResult Run(const std::string& lang = "en_US.UTF-8") {
    nuv_test::EnvList env = settings_.Env();
    env.emplace_back(nuv_test::kTempVariable, dir_ / "tmp");
#if defined(_WIN32)
    EXPECT_EQ(lang, "en_US.UTF-8") << "a child's locale cannot be chosen on Windows";
#else
    env.emplace_back("LC_ALL", lang);
#endif
    return nuv_test::RunChild(probe_, {"global"}, env);
  }

  ScratchDir dir_;
  nuv_test::UserSettings settings_;
  std::string probe_;
  // Product names double as the per-user settings key: private to this run.
  const std::string inner_ = nuv_test::UniqueName("NuvInner");
  const std::string plain_ = nuv_test::UniqueName("Plain");
};

TEST_F(ConfigTest, MissingOrEmptyProductNameExitsWithMinusOne) {
  EXPECT_EQ(Run().exit_code, -1);  // no file at all
  for (const std::string& config :
       {std::string("[Common]\r\nProductName=\r\n"), std::string("[Other]\r\nProductName=N\r\n"),
        std::string("[Common]\r\nInner=1\r\n[Other]\r\nx=1\r\n[Common]\r\nProductName=N\r\n"),
        std::string("[Common]\r\nProductName =N\r\n"), std::string("\xFF\xFE"),
        std::string(64, '\0')}) {
    WriteBytes(dir_ / "config.dat", config);
    ChildResult result = Run();
    EXPECT_EQ(result.exit_code, -1) << config;
    EXPECT_EQ(result.output, "") << config;
  }
}

// A directory in place of the configuration is no configuration; one in
// place of the log file is neither written into nor removed.
TEST_F(ConfigTest, DirectoriesInPlaceOfFiles) {
  ASSERT_TRUE(nuv_test::MakeDir(dir_ / "config.dat"));
  EXPECT_EQ(Run().exit_code, -1);
  WriteBytes(dir_ / "oem.ini", "[Common]\r\nProductName=P\r\n");
  ASSERT_TRUE(nuv_test::MakeDir(dir_ / "log"));
  EXPECT_EQ(nuv_test::RunChild(probe_, {"log", dir_ / "log", "1", "x"}).exit_code, 0);
  EXPECT_TRUE(nuv_test::IsDirectory(dir_ / "log"));
}

#if !defined(_WIN32)
// A pipe in place of the configuration is not waited on; a pipe or device
// in place of the log file is neither waited on nor removed.
TEST_F(ConfigTest, PipesInPlaceOfFiles) {
  ASSERT_EQ(mkfifo((dir_ / "config.dat").c_str(), 0600), 0);
  EXPECT_EQ(Run().exit_code, -1);
  unlink((dir_ / "config.dat").c_str());
  WriteBytes(dir_ / "config.dat", "[Common]\r\nProductName=P\r\n");
  ASSERT_EQ(mkfifo((dir_ / "log").c_str(), 0600), 0);
  EXPECT_EQ(nuv_test::RunChild(probe_, {"log", dir_ / "log", "1", "x"}).exit_code, 0);
  struct stat info;
  ASSERT_EQ(stat((dir_ / "log").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
#endif

TEST_F(ConfigTest, PlainConfiguration) {
  WriteBytes(dir_ / "config.dat",
             "[common]\r\nproductname=Nuv Client\r\nInnerProductName=NuvInner\r\n");
  ChildResult result = Run();
  ASSERT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output,
            "product=Nuv Client\ninner=NuvInner\nlang=1033\ntemp=" + (dir_ / "tmp/NuvInner/\n"));
  EXPECT_TRUE(nuv_test::IsDirectory(dir_ / "tmp/NuvInner"));  // the directory was created
}

TEST_F(ConfigTest, Utf16ConfigurationReadsLikeAnsi) {
  WriteBytes(dir_ / "config.dat",
             "\xFF\xFE" + Utf16Le(u"[Common]\r\nProductName=N\u00fcv\r\nInnerProductName=I\r\n"));
  ChildResult utf16 = Run();
  WriteBytes(dir_ / "config.dat", "[Common]\r\nProductName=N\xFCv\r\nInnerProductName=I\r\n");
  ChildResult ansi = Run();
  EXPECT_EQ(utf16.exit_code, 0);
  EXPECT_EQ(utf16.output, ansi.output);
  EXPECT_EQ(utf16.output.substr(0, 13), "product=N\xC3\xBCv\n");
}

TEST_F(ConfigTest, OemIniWinsEvenWithoutTheKey) {
  WriteBytes(dir_ / "config.dat", "[Common]\r\nProductName=FromConfig\r\n");
  WriteBytes(dir_ / "oem.ini", "[Common]\r\nProductName=FromOem\r\n");
  EXPECT_EQ(Run().output.substr(0, 16), "product=FromOem\n");
  WriteBytes(dir_ / "oem.ini", "[Common]\r\nOther=1\r\n");
  EXPECT_EQ(Run().exit_code, -1);
}

TEST_F(ConfigTest, MissingInnerNameFallsBackToTheProductName) {
  // The language setting is then found under the plain product name.
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=" + plain_ + "\r\nProductName_2052=Localised\r\n");
  SetLcid(plain_, 2052);
  ChildResult result = Run();
  ASSERT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output,
            "product=Localised\ninner=Localised\nlang=2052\ntemp=" + (dir_ / "tmp/Localised/\n"));
}

TEST_F(ConfigTest, LanguageFromTheUserSettingIsFolded) {
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_1028=Traditional\r\n"
             "ProductName_2052=Simplified\r\nInnerProductName=" +
                 inner_ + "\r\n");
  SetLcid(inner_, 3076);  // zh-HK
  EXPECT_EQ(Run().output.substr(0, 27), "product=Traditional\ninner=N");
  SetLcid(inner_, 0x1004);  // zh-SG
  EXPECT_EQ(Run().output.substr(0, 19), "product=Simplified\n");
  // 0, or a value that is no number, means the user's locale.
  SetLcid(inner_, 0);
  EXPECT_EQ(Run().output.substr(0, 14), "product=Plain\n");
  ASSERT_TRUE(settings_.SetInvalid(inner_, "LCID"));
  EXPECT_EQ(Run().output.substr(0, 14), "product=Plain\n");
#if !defined(_WIN32)
  SetLcid(inner_, 0);
  EXPECT_EQ(Run("zh_TW.UTF-8").output.substr(0, 20), "product=Traditional\n");
  EXPECT_EQ(Run("de_DE.UTF-8").output.substr(0, 14), "product=Plain\n");
  ASSERT_TRUE(settings_.SetInvalid(inner_, "LCID"));
  EXPECT_EQ(Run("zh_MO.UTF-8").output.substr(0, 20), "product=Traditional\n");
#endif
}

TEST_F(ConfigTest, ExcludedLanguageTurnsLocalisationOff) {
  // The language comes from the user's locale on POSIX and from the user
  // setting on Windows, where a child's locale cannot be chosen; the
  // exclusion applies to both alike.
#if defined(_WIN32)
  SetLcid(inner_, 2052);
  const std::string lang = "en_US.UTF-8";
#else
  const std::string lang = "zh_CN.UTF-8";
#endif
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_2052=Chinese\r\n"
             "InnerProductName=" +
                 inner_ + "\r\nUIExcludes=1033,2052\r\n");
  ChildResult result = Run(lang);
  EXPECT_EQ(result.output.substr(0, 14), "product=Plain\n");
  EXPECT_NE(result.output.find("lang=0\n"), std::string::npos);
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_0=Zero\r\n"
             "InnerProductName=" +
                 inner_ + "\r\nUIExcludes=2052\r\n");
  EXPECT_EQ(Run(lang).output.substr(0, 13), "product=Zero\n");
  // Items are compared exactly: " 2052" is not 2052.
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_2052=Chinese\r\n"
             "InnerProductName=" +
                 inner_ + "\r\nUIExcludes=1033, 2052\r\n");
  EXPECT_EQ(Run(lang).output.substr(0, 16), "product=Chinese\n");
}

TEST_F(ConfigTest, TempPathOverride) {
  WriteBytes(dir_ / "config.dat", "[Common]\r\nProductName=P\r\n");
  std::string override_dir = dir_ / "t";
  ChildResult result = nuv_test::RunChild(probe_, {"temp", override_dir});
  EXPECT_EQ(result.output, override_dir + nuv_test::kSeparator);
  EXPECT_TRUE(nuv_test::IsDirectory(override_dir));
  // A path that already ends in "/" comes back unchanged, on Windows too.
  EXPECT_EQ(nuv_test::RunChild(probe_, {"temp", override_dir + "/x/y/"}).output,
            override_dir + "/x/y/");
  EXPECT_TRUE(nuv_test::IsDirectory(override_dir + "/x/y"));
  EXPECT_EQ(
      nuv_test::RunChild(probe_, {"temp", ""}, {{nuv_test::kTempVariable, dir_ / "sys"}}).output,
      dir_ / "sys/P/");
}

}  // namespace
