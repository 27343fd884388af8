// The settings object's defaults and directory creation, in this process
// (whose configuration is the bin/config.dat the build writes).
#include "src/common/global.h"

#include <gtest/gtest.h>

#include "src/app/process_global.h"
#include "src/common/config.h"
#include "src/common/file_util.h"
#include "tests/common/test_util.h"

namespace {

using nuv_test::IsDirectory;
using nuv_test::ScratchDir;
using nuv_test::U16;

TEST(GlobalTest, DefaultsOfTheReservedOperations) {
  INuvGlobal* global = GetProcessGlobal();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(GetProcessGlobal(), global);
  EXPECT_FALSE(global->GetProductName().empty());
  EXPECT_TRUE(global->ReservedCheck(1, 2, 3));
  EXPECT_EQ(global->GetReservedText1(), u"");
  EXPECT_EQ(global->GetReservedText2(), u"");
  EXPECT_FALSE(global->IsReservedMode());
  EXPECT_EQ(GetConfigString(u"ProductName", false, false), global->GetProductName());
}

TEST(GlobalTest, ResourceFilePathPrefix) {
  INuvGlobal* global = GetProcessGlobal();
  EXPECT_TRUE(global->IsResourceFilePath(u"%ResourceFilePath%/a.png"));
  EXPECT_TRUE(global->IsResourceFilePath(u"%ResourceFilePath%/"));
  EXPECT_FALSE(global->IsResourceFilePath(u"%resourcefilepath%/a.png"));
  EXPECT_FALSE(global->IsResourceFilePath(u"%ResourceFilePath%\\a.png"));
  EXPECT_FALSE(global->IsResourceFilePath(u"%ResourceFilePath%"));
  EXPECT_FALSE(global->IsResourceFilePath(nullptr));
}

TEST(GlobalTest, TempPathMemberAndDefault) {
  ScratchDir dir;
  CNuvGlobalDefault global;
  global.SetTempPath(U16(dir / "set/").c_str(), 5);
  EXPECT_EQ(global.GetTempPathFlag(), 5);
  EXPECT_EQ(global.GetTempPath(), U16(dir / "set/"));
  EXPECT_TRUE(IsDirectory(dir / "set"));
  global.SetTempPath(nullptr, 0);  // empty again: the default fills it
  const std::u16string separator(1, static_cast<char16_t>(nuv_test::kSeparator));
  std::u16string expected = U16(dir.path()) + separator + global.GetInnerProductName() + separator;
  {
    nuv_test::ScopedEnv temp(nuv_test::kTempVariable, dir.path().c_str());
    EXPECT_EQ(global.GetTempPath(), expected);
    EXPECT_TRUE(IsDirectory(nuv_test::U8(expected)));
  }
  EXPECT_EQ(global.GetTempPath(), expected);  // kept once filled
}

TEST(GlobalTest, LogFileOnlyWithAPath) {
  ScratchDir dir;
  CNuvChromeProcessGlobal global;
  global.WriteLog(u"nowhere", 0);
  global.SetLogFilePath(U16(dir / "p.log"));
  global.WriteLog(u"somewhere", 0);
  global.WriteLog(nullptr, 0);
  global.WriteDebugLog(u"not without /Debug");
  std::string bytes = nuv_test::ReadBytes(dir / "p.log");
  std::u16string text = nuv_test::FromUtf16Le(bytes);
  EXPECT_NE(text.find(u": somewhere\r\n"), std::u16string::npos);
  EXPECT_EQ(text.find(u"Debug"), std::u16string::npos);
}

TEST(EnsureDirectoryTest, CreatesEveryMissingLevel) {
  ScratchDir dir;
  EXPECT_FALSE(EnsureDirectory(static_cast<const char16_t*>(nullptr)));
  EXPECT_TRUE(EnsureDirectory(U16(dir / "a/b/c")));
  EXPECT_TRUE(IsDirectory(dir / "a/b/c"));
  EXPECT_TRUE(EnsureDirectory(U16(dir / "a/b/c/")));
  EXPECT_TRUE(EnsureDirectory(U16(dir / "x//y/")));
  EXPECT_TRUE(IsDirectory(dir / "x/y"));
  nuv_test::WriteBytes(dir / "file", "f");
  EXPECT_TRUE(EnsureDirectory(U16(dir / "file")));  // exists, though not a directory
  EXPECT_FALSE(EnsureDirectory(U16(dir / "file/sub")));
  EXPECT_FALSE(EnsureDirectory(U16(nuv_test::UncreatablePath())));
}

}  // namespace
