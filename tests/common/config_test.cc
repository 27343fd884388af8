// The configuration file beside the executable and the interface language.
// Each case runs a copy of the probe program in a directory of its own, with
// its own configuration and per-user settings.
#include "src/common/config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/common/test_util.h"

namespace {

using nuv_test::ChildResult;
using nuv_test::ScratchDir;
using nuv_test::Utf16Le;
using nuv_test::WriteBytes;

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = nuv_test::CopyProbe(dir_.path());
    settings_ = dir_ / "settings";
    mkdir(settings_.c_str(), 0755);
  }

  void SetLcid(const std::string& product, const std::string& value) {
    mkdir((settings_ + "/Software").c_str(), 0755);
    mkdir((settings_ + "/Software/" + product).c_str(), 0755);
    WriteBytes(settings_ + "/Software/" + product + "/LCID", value);
  }

  ChildResult Run(const std::string& lang = "en_US.UTF-8") {
    return nuv_test::RunChild(
        probe_, {"global"},
        {{"NUV_USER_SETTINGS_DIR", settings_}, {"LC_ALL", lang}, {"TMPDIR", dir_ / "tmp"}});
  }

  ScratchDir dir_;
  std::string probe_;
  std::string settings_;
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

TEST_F(ConfigTest, PlainConfiguration) {
  WriteBytes(dir_ / "config.dat",
             "[common]\r\nproductname=Nuv Client\r\nInnerProductName=NuvInner\r\n");
  ChildResult result = Run();
  ASSERT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "product=Nuv Client\ninner=NuvInner\nlang=1033\ntemp=" + dir_.path() +
                               "/tmp/NuvInner/\n");
  struct stat info;
  EXPECT_EQ(stat((dir_ / "tmp/NuvInner").c_str(), &info), 0);  // the directory was created
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
             "[Common]\r\nProductName=Plain\r\nProductName_2052=Localised\r\n");
  SetLcid("Plain", "2052");
  ChildResult result = Run();
  ASSERT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output, "product=Localised\ninner=Localised\nlang=2052\ntemp=" + dir_.path() +
                               "/tmp/Localised/\n");
}

TEST_F(ConfigTest, LanguageFromTheUserSettingIsFolded) {
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_1028=Traditional\r\n"
             "InnerProductName=Nuv\r\n");
  SetLcid("Nuv", "3076");  // zh-HK
  EXPECT_EQ(Run().output.substr(0, 27), "product=Traditional\ninner=N");
  SetLcid("Nuv", "0");  // 0: the user's locale
  EXPECT_EQ(Run("zh_TW.UTF-8").output.substr(0, 20), "product=Traditional\n");
  EXPECT_EQ(Run("de_DE.UTF-8").output.substr(0, 14), "product=Plain\n");
  SetLcid("Nuv", "garbage");
  EXPECT_EQ(Run("zh_MO.UTF-8").output.substr(0, 20), "product=Traditional\n");
}

TEST_F(ConfigTest, ExcludedLanguageTurnsLocalisationOff) {
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_2052=Chinese\r\n"
             "InnerProductName=Nuv\r\nUIExcludes=1033,2052\r\n");
  ChildResult result = Run("zh_CN.UTF-8");
  EXPECT_EQ(result.output.substr(0, 14), "product=Plain\n");
  EXPECT_NE(result.output.find("lang=0\n"), std::string::npos);
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_0=Zero\r\n"
             "InnerProductName=Nuv\r\nUIExcludes=2052\r\n");
  EXPECT_EQ(Run("zh_CN.UTF-8").output.substr(0, 13), "product=Zero\n");
  // Items are compared exactly: " 2052" is not 2052.
  WriteBytes(dir_ / "config.dat",
             "[Common]\r\nProductName=Plain\r\nProductName_2052=Chinese\r\n"
             "InnerProductName=Nuv\r\nUIExcludes=1033, 2052\r\n");
  EXPECT_EQ(Run("zh_CN.UTF-8").output.substr(0, 16), "product=Chinese\n");
}

TEST_F(ConfigTest, TempPathOverride) {
  WriteBytes(dir_ / "config.dat", "[Common]\r\nProductName=P\r\n");
  std::string override_dir = dir_ / "t";
  ChildResult result = nuv_test::RunChild(probe_, {"temp", override_dir});
  EXPECT_EQ(result.output, override_dir + "/");
  struct stat info;
  EXPECT_EQ(stat(override_dir.c_str(), &info), 0);
  EXPECT_EQ(nuv_test::RunChild(probe_, {"temp", override_dir + "/x/y/"}).output,
            override_dir + "/x/y/");
  EXPECT_EQ(stat((override_dir + "/x/y").c_str(), &info), 0);
  EXPECT_EQ(nuv_test::RunChild(probe_, {"temp", ""}, {{"TMPDIR", dir_ / "sys"}}).output,
            dir_.path() + "/sys/P/");
}

}  // namespace
