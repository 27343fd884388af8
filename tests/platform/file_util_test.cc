// File services, temporary and module paths.
#include "platform/file_util.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/module_path.h"
#include "platform/temp_dir.h"

namespace nuv {
namespace platform {
namespace {

std::u16string Wide(const std::string& utf8) {
  std::u16string out;
  MultiByteToWide(kCodePageUtf8, utf8.data(), utf8.size(), &out);
  return out;
}

class FileUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nuv_platform_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string dir_;
};

TEST_F(FileUtilTest, SizeExistenceAndDeletion) {
  const std::string file = dir_ + "/\xE4\xB8\xAD.txt";  // non-ASCII name
  std::ofstream(file, std::ios::binary) << std::string(12345, 'x');
  EXPECT_TRUE(PathExists(Wide(file)));
  EXPECT_EQ(GetFileSize64(Wide(file)), 12345u);
  EXPECT_EQ(GetFileSize64(Wide(dir_)), 0u);  // directory
  EXPECT_EQ(GetFileSize64(Wide(dir_ + "/missing")), 0u);
  EXPECT_EQ(GetFileSize64(u""), 0u);
  EXPECT_FALSE(RemoveFile(Wide(dir_)));  // never a directory
  EXPECT_TRUE(RemoveFile(Wide(file)));
  EXPECT_FALSE(PathExists(Wide(file)));
  EXPECT_FALSE(RemoveFile(Wide(file)));
  // A path with an embedded zero names nothing rather than a prefix of it.
  EXPECT_FALSE(PathExists(Wide(dir_) + std::u16string(1, u'\0') + u"x"));
}

TEST_F(FileUtilTest, CreateDirectoryNeedsItsParent) {
  EXPECT_FALSE(MakeDirectory(Wide(dir_ + "/a/b")));
  EXPECT_TRUE(MakeDirectory(Wide(dir_ + "/a")));
  EXPECT_TRUE(DirectoryExists(Wide(dir_ + "/a")));
  EXPECT_FALSE(MakeDirectory(Wide(dir_ + "/a")));  // exists already
}

// Pipes and devices are neither opened (a reader could block forever) nor
// removed.
TEST_F(FileUtilTest, SpecialFilesAreLeftAlone) {
  std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(OpenFile(Wide(fifo), "rb"), nullptr);
  EXPECT_EQ(OpenFile(Wide(fifo), "r+b"), nullptr);
  EXPECT_FALSE(RemoveFile(Wide(fifo)));
  EXPECT_TRUE(PathExists(Wide(fifo)));
  EXPECT_EQ(OpenFile(u"/dev/null", "rb"), nullptr);
  EXPECT_FALSE(RemoveFile(u"/dev/null"));
  // A symbolic link is removed itself, never its target.
  std::string target = dir_ + "/target";
  std::ofstream(target) << "t";
  ASSERT_EQ(symlink(target.c_str(), (dir_ + "/link").c_str()), 0);
  EXPECT_TRUE(RemoveFile(Wide(dir_ + "/link")));
  EXPECT_TRUE(PathExists(Wide(target)));
}

TEST_F(FileUtilTest, OpenFileWritesAndReadsBack) {
  std::u16string path = Wide(dir_ + "/f.bin");
  FILE* file = OpenFile(path, "wb");
  ASSERT_NE(file, nullptr);
  fwrite("\xFF\xFE", 1, 2, file);
  fclose(file);
  EXPECT_EQ(GetFileSize64(path), 2u);
  EXPECT_EQ(OpenFile(Wide(dir_ + "/none/f.bin"), "wb"), nullptr);
}

TEST_F(FileUtilTest, FileLockExcludesOtherProcesses) {
  std::u16string path = Wide(dir_ + "/shared.log");
  std::string marker = dir_ + "/marker";
  pid_t child;
  {
    ScopedFileLock lock(path);
    ASSERT_TRUE(lock.locked());
    child = fork();
    if (child == 0) {
      // Blocks until the parent lets go, then leaves a marker.
      ScopedFileLock other(path);
      std::ofstream(marker) << (other.locked() ? "locked" : "failed");
      _exit(0);
    }
    usleep(200 * 1000);
    EXPECT_FALSE(PathExists(Wide(marker)));
    // The file itself may come and go while the lock is held.
    fclose(OpenFile(path, "wb"));
    EXPECT_TRUE(RemoveFile(path));
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::string text;
  std::ifstream(marker) >> text;
  EXPECT_EQ(text, "locked");
  ScopedFileLock missing_dir(Wide(dir_ + "/no/such/file"));
  EXPECT_FALSE(missing_dir.locked());
}

TEST(TempDirTest, FollowsTmpdirAndEndsInSeparator) {
  const char* saved = getenv("TMPDIR");
  std::string old = saved ? saved : "";
  setenv("TMPDIR", "/var/tmp", 1);
  EXPECT_EQ(GetSystemTempDirectory(), u"/var/tmp/");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(GetSystemTempDirectory(), u"/tmp/");
  if (saved)
    setenv("TMPDIR", old.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(ModulePathTest, NamesThisTestProgram) {
  std::u16string path = GetModulePath();
  EXPECT_EQ(path.substr(0, 1), u"/");
  EXPECT_EQ(GetExecutableName(), u"platform_test");
  std::u16string dir = GetModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), u'/');
  EXPECT_EQ(dir + GetExecutableName(), path);
}

}  // namespace
}  // namespace platform
}  // namespace nuv
