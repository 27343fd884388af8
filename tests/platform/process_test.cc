// Process identity and the whole command line.
#include "platform/process_info.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

namespace nuv {
namespace platform {
namespace {

TEST(ProcessInfoTest, IdsOfProcessAndThreads) {
  EXPECT_EQ(GetProcessId(), static_cast<uint32_t>(getpid()));
  EXPECT_EQ(GetThreadId(), GetProcessId());  // the main thread
  uint32_t other = 0;
  std::thread([&] { other = GetThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, GetThreadId());
}

TEST(ProcessInfoTest, QuotesLikeCommandLineToArgvW) {
  EXPECT_EQ(QuoteCommandLineArgument(u"plain"), u"plain");
  EXPECT_EQ(QuoteCommandLineArgument(u""), u"\"\"");
  EXPECT_EQ(QuoteCommandLineArgument(u"a b"), u"\"a b\"");
  EXPECT_EQ(QuoteCommandLineArgument(u"C:\\dir\\"), u"C:\\dir\\");
  EXPECT_EQ(QuoteCommandLineArgument(u"C:\\my dir\\"), u"\"C:\\my dir\\\\\"");
  EXPECT_EQ(QuoteCommandLineArgument(u"say \"hi\""), u"\"say \\\"hi\\\"\"");
}

// A child with known arguments reports its own command line through a pipe.
TEST(ProcessInfoTest, CommandLineOfAChild) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    dup2(fds[1], 3);
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    setenv("NUV_TEST_PRINT_COMMAND_LINE", "1", 1);
    execl("/proc/self/exe", "platform_test", "--gtest_filter=ProcessInfoTest.PrintLine",
          "--nuv-log-file=/tmp/a b.log", "/Debug", "\xE4\xB8\xAD", nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buffer[512];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof(buffer))) > 0)
    out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(out,
            "platform_test --gtest_filter=ProcessInfoTest.PrintLine "
            "\"--nuv-log-file=/tmp/a b.log\" /Debug \xE4\xB8\xAD");
}

// Run only as the child of the test above: writes the line to descriptor 3.
TEST(ProcessInfoTest, PrintLine) {
  if (!getenv("NUV_TEST_PRINT_COMMAND_LINE"))
    GTEST_SKIP() << "child only";
  std::u16string line = GetCommandLineText();
  std::string utf8;
  for (char16_t c : line) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {  // BMP only in this test
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  ASSERT_EQ(write(3, utf8.data(), utf8.size()), static_cast<ssize_t>(utf8.size()));
}

}  // namespace
}  // namespace platform
}  // namespace nuv
