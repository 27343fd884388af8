// Process identity and the whole command line.
#include "platform/process_info.h"

#include <thread>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "tests/common/test_util.h"

namespace nuv {
namespace platform {
namespace {

TEST(ProcessInfoTest, IdsOfProcessAndThreads) {
  EXPECT_EQ(GetProcessId(), nuv_test::CurrentProcessId());
#if !defined(_WIN32)
  EXPECT_EQ(GetThreadId(), GetProcessId());  // the main thread
#endif
  EXPECT_NE(GetThreadId(), 0u);
  EXPECT_EQ(GetThreadId(), GetThreadId());
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
  // Any white space inside asks for quotes, not only space and tab.
  for (const char16_t* spaced : {u"a\tb", u"a\nb", u"a\vb", u"a\fb", u"a\rb"})
    EXPECT_EQ(QuoteCommandLineArgument(spaced), u"\"" + std::u16string(spaced) + u"\"");
  EXPECT_EQ(QuoteCommandLineArgument(u"no\x01control"), u"no\x01control");
}

// A child with known arguments reports its own command line in a file. On
// Windows it is the very text the child was started with; on POSIX it is
// rebuilt from the argument vector with the same quoting.
TEST(ProcessInfoTest, CommandLineOfAChild) {
  nuv_test::ScratchDir dir;
  const std::string program = nuv_test::TestBinDir() + "platform_test" + nuv_test::kExeSuffix;
  const std::string out = dir / "line.txt";
  nuv_test::ChildResult result =
      nuv_test::RunChild(program,
                         {"--gtest_filter=ProcessInfoTest.PrintLine",
                          "--nuv-log-file=C:\\a b\\x.log", "/Debug", "\xE4\xB8\xAD", "", "q\"uote"},
                         {{"NUV_TEST_PRINT_COMMAND_LINE", out}});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(nuv_test::ReadBytes(out),
            nuv_test::QuoteArgument(program) +
                " --gtest_filter=ProcessInfoTest.PrintLine \"--nuv-log-file=C:\\a b\\x.log\" "
                "/Debug \xE4\xB8\xAD \"\" \"q\\\"uote\"");
}

// The child of the test above: writes its line as UTF-8.
int PrintLineAsChild() {
  const std::string out = nuv_test::GetEnv("NUV_TEST_PRINT_COMMAND_LINE");
  return nuv_test::WriteBytes(out, nuv_test::U8(GetCommandLineText())) ? 0 : 1;
}
[[maybe_unused]] const bool kPrintLineChild =
    nuv_test::RunChildRoleWhenAsked("NUV_TEST_PRINT_COMMAND_LINE", PrintLineAsChild);

}  // namespace
}  // namespace platform
}  // namespace nuv
