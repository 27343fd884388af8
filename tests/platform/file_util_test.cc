// File services, temporary and module paths.
#include "platform/file_util.h"

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/code_page.h"
#include "platform/module_path.h"
#include "platform/temp_dir.h"
#include "tests/common/test_util.h"

namespace nuv {
namespace platform {
namespace {

using nuv_test::ScratchDir;

std::u16string Wide(const std::string& utf8) {
  return nuv_test::U16(utf8);
}

class FileUtilTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

  ScratchDir dir_;
};

TEST_F(FileUtilTest, SizeExistenceAndDeletion) {
  const std::string file = dir_ / "\xE4\xB8\xAD.txt";  // non-ASCII name
  ASSERT_TRUE(nuv_test::WriteBytes(file, std::string(12345, 'x')));
  EXPECT_TRUE(PathExists(Wide(file)));
  EXPECT_EQ(GetFileSize64(Wide(file)), 12345u);
  EXPECT_EQ(GetFileSize64(Wide(dir_.path())), 0u);  // directory
  EXPECT_EQ(GetFileSize64(Wide(dir_ / "missing")), 0u);
  EXPECT_EQ(GetFileSize64(u""), 0u);
  EXPECT_FALSE(RemoveFile(Wide(dir_.path())));  // never a directory
  EXPECT_TRUE(RemoveFile(Wide(file)));
  EXPECT_FALSE(PathExists(Wide(file)));
  EXPECT_FALSE(RemoveFile(Wide(file)));
  // A path with an embedded zero names nothing rather than a prefix of it.
  const std::u16string zero(1, u'\0');
  EXPECT_FALSE(PathExists(Wide(dir_.path()) + zero + u"x"));
  EXPECT_FALSE(DirectoryExists(Wide(dir_.path()) + zero + u"x"));
  ASSERT_TRUE(nuv_test::WriteBytes(file, "x"));
  EXPECT_EQ(GetFileSize64(Wide(file) + zero + u"x"), 0u);
  EXPECT_EQ(OpenFile(Wide(file) + zero + u"x", "rb"), nullptr);
  EXPECT_FALSE(RemoveFile(Wide(file) + zero + u"x"));
  EXPECT_TRUE(PathExists(Wide(file)));
}

TEST_F(FileUtilTest, CreateDirectoryNeedsItsParent) {
  EXPECT_FALSE(MakeDirectory(Wide(dir_ / "a/b")));
  EXPECT_TRUE(MakeDirectory(Wide(dir_ / "a")));
  EXPECT_TRUE(DirectoryExists(Wide(dir_ / "a")));
  EXPECT_FALSE(DirectoryExists(Wide(dir_ / "b")));
  EXPECT_FALSE(MakeDirectory(Wide(dir_ / "a")));  // exists already
}

#if !defined(_WIN32)
// Pipes and devices are neither opened (a reader could block forever) nor
// removed. Windows has no pipes or devices at file paths of a directory.
TEST_F(FileUtilTest, SpecialFilesAreLeftAlone) {
  std::string fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenFile(Wide(fifo), "rb"), nullptr);
  EXPECT_EQ(OpenFile(Wide(fifo), "r+b"), nullptr);
  EXPECT_FALSE(RemoveFile(Wide(fifo)));
  EXPECT_TRUE(PathExists(Wide(fifo)));
  EXPECT_EQ(OpenFile(u"/dev/null", "rb"), nullptr);
  EXPECT_FALSE(RemoveFile(u"/dev/null"));
  // A symbolic link is removed itself, never its target.
  std::string target = dir_ / "target";
  nuv_test::WriteBytes(target, "t");
  ASSERT_EQ(symlink(target.c_str(), (dir_ / "link").c_str()), 0);
  EXPECT_TRUE(RemoveFile(Wide(dir_ / "link")));
  EXPECT_TRUE(PathExists(Wide(target)));
}
#endif

TEST_F(FileUtilTest, OpenFileWritesAndReadsBack) {
  std::u16string path = Wide(dir_ / "f.bin");
  FILE* file = OpenFile(path, "wb");
  ASSERT_NE(file, nullptr);
  fwrite("\xFF\xFE", 1, 2, file);
  fclose(file);
  EXPECT_EQ(GetFileSize64(path), 2u);
  file = OpenFile(path, "r+b");
  ASSERT_NE(file, nullptr);
  fseek(file, 0, SEEK_END);
  fwrite("a", 1, 1, file);
  fclose(file);
  EXPECT_EQ(nuv_test::ReadBytes(dir_ / "f.bin"),
            "\xFF\xFE"
            "a");
  EXPECT_EQ(OpenFile(Wide(dir_ / "none/f.bin"), "wb"), nullptr);
  EXPECT_EQ(OpenFile(Wide(dir_ / "none.bin"), "rb"), nullptr);
  EXPECT_EQ(OpenFile(Wide(dir_.path()), "rb"), nullptr);  // a directory is no file
}

// The path the child locks, spelled differently from the parent's: the lock
// belongs to the file, not to one spelling of its name.
std::string OtherSpelling(const ScratchDir& dir) {
#if defined(_WIN32)
  std::string path = dir / "Shared.LOG";
  for (char& c : path) {
    if (c == '\\')
      c = '/';
    else if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
#else
  return dir / "./shared.log";
#endif
}

TEST_F(FileUtilTest, FileLockExcludesOtherProcesses) {
  std::u16string path = Wide(dir_ / "shared.log");
  std::string started = dir_ / "started";
  std::string marker = dir_ / "marker";
  nuv_test::ChildProcess child;
  {
    ScopedFileLock lock(path);
    ASSERT_TRUE(lock.locked());
    // The child announces itself, then blocks until this process lets go,
    // then leaves a marker.
    ASSERT_TRUE(child.Start(nuv_test::TestBinDir() + "platform_test" + nuv_test::kExeSuffix,
                            {"--gtest_filter=FileLockChild.TakeLock"},
                            {{"NUV_TEST_LOCK_PATH", OtherSpelling(dir_)},
                             {"NUV_TEST_LOCK_STARTED", started},
                             {"NUV_TEST_LOCK_MARKER", marker}}));
    for (int i = 0; i < 1000 && !nuv_test::Exists(started); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(nuv_test::Exists(started));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(nuv_test::Exists(marker));
    // The file itself may come and go while the lock is held.
    fclose(OpenFile(path, "wb"));
    EXPECT_TRUE(RemoveFile(path));
  }
  EXPECT_EQ(child.Wait().exit_code, 0);
  EXPECT_EQ(nuv_test::ReadBytes(marker), "locked");
  ScopedFileLock missing_dir(Wide(dir_ / "no/such/file"));
#if defined(_WIN32)
  // A named mutex stands for the path, whether or not its directory exists.
  EXPECT_TRUE(missing_dir.locked());
#else
  EXPECT_FALSE(missing_dir.locked());
#endif
}

// The child of the test above: announces itself, waits for the lock, then
// leaves a marker.
int TakeLockAsChild() {
  nuv_test::WriteBytes(nuv_test::GetEnv("NUV_TEST_LOCK_STARTED"), "");
  ScopedFileLock lock(Wide(nuv_test::GetEnv("NUV_TEST_LOCK_PATH")));
  nuv_test::WriteBytes(nuv_test::GetEnv("NUV_TEST_LOCK_MARKER"),
                       lock.locked() ? "locked" : "failed");
  return 0;
}
[[maybe_unused]] const bool kTakeLockChild =
    nuv_test::RunChildRoleWhenAsked("NUV_TEST_LOCK_PATH", TakeLockAsChild);

TEST(TempDirTest, FollowsTheVariableAndEndsInSeparator) {
  ScratchDir dir;
  {
    nuv_test::ScopedEnv tmp(nuv_test::kTempVariable, dir.path().c_str());
    EXPECT_EQ(GetSystemTempDirectory(), Wide(dir.path()) + kPathSeparator);
    nuv_test::ScopedEnv trailing(nuv_test::kTempVariable, (dir / "").c_str());
    EXPECT_EQ(GetSystemTempDirectory(), Wide(dir.path()) + kPathSeparator);  // not doubled
  }
#if defined(_WIN32)
  // An empty TMP passes on to TEMP.
  nuv_test::ScopedEnv tmp("TMP", "");
  nuv_test::ScopedEnv temp("TEMP", (dir / "t").c_str());
  EXPECT_EQ(GetSystemTempDirectory(), Wide(dir / "t\\"));
#else
  nuv_test::ScopedEnv tmpdir("TMPDIR", "/var/tmp");
  EXPECT_EQ(GetSystemTempDirectory(), u"/var/tmp/");
  nuv_test::ScopedEnv empty("TMPDIR", "");
  EXPECT_EQ(GetSystemTempDirectory(), u"/tmp/");
#endif
}

TEST(ModulePathTest, NamesThisTestProgram) {
  std::u16string path = GetModulePath();
  EXPECT_EQ(path, Wide(nuv_test::TestBinDir()) + GetExecutableName());
#if defined(_WIN32)
  ASSERT_GE(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), u":\\");
  EXPECT_EQ(GetExecutableName(), u"platform_test.exe");
#else
  EXPECT_EQ(path.substr(0, 1), u"/");
  EXPECT_EQ(GetExecutableName(), u"platform_test");
#endif
  std::u16string dir = GetModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), kPathSeparator);
  EXPECT_EQ(dir + GetExecutableName(), path);
  EXPECT_EQ(GetLongPath(path), path);
  EXPECT_EQ(GetLongPath(Wide(nuv_test::TestBinDir()) + u"no_such_file"), u"");
}

}  // namespace
}  // namespace platform
}  // namespace nuv
