// The log file: line layout, byte-order mark, size limit, debug switch and
// lines of several threads and processes sharing one file.
#include "src/common/log.h"

#include <regex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/common/test_util.h"

namespace {

using nuv_test::FromUtf16Le;
using nuv_test::ReadBytes;
using nuv_test::ScratchDir;
using nuv_test::U16;
using nuv_test::U8;
using nuv_test::Utf16Le;
using nuv_test::WriteBytes;

// "<exe> <date> <time> (<pid>-<tid>): <message>" without the CR LF.
const std::regex kLine(R"(^(\S+) (.+) \((\d+)-(\d+)\): (.*)$)");

// The lines of a log file after its mark; fails when the layout is broken.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  EXPECT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.size() % 2, 0u);
  std::string text = U8(FromUtf16Le(bytes.substr(2)));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos)
      break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Message(const std::string& line) {
  std::smatch match;
  EXPECT_TRUE(std::regex_match(line, match, kLine)) << line;
  return match.size() == 6 ? match[5].str() : std::string();
}

TEST(LogTest, FirstLineLayout) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  AppendLogLine(U16(path), u"two\r\nwords \u4e2d");
  std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\r\0\n\0", 4));
  std::vector<std::string> lines = Lines(bytes);
  ASSERT_EQ(lines.size(), 1u);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, kLine)) << lines[0];
  EXPECT_EQ(match[1].str(), std::string("common_test") + nuv_test::kExeSuffix);
  EXPECT_EQ(match[3].str(), std::to_string(nuv_test::CurrentProcessId()));
  EXPECT_EQ(match[5].str(), "two  words \xE4\xB8\xAD");
  EXPECT_NE(match[2].str().find("20"), std::string::npos);  // a year is in the date
}

TEST(LogTest, AppendsAndKeepsOneMark) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  AppendLogLine(U16(path), u"one");
  AppendLogLine(U16(path), u"two");
  std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[1]), "two");
}

TEST(LogTest, ForeignOrShortFilesAreReplaced) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  for (const std::string& old :
       {std::string("\xFF\xFE"), std::string("\xEF\xBB\xBFold text"), std::string("plain ansi"),
        std::string("\xFF\xFE"
                    "a")}) {
    WriteBytes(path, old);
    AppendLogLine(U16(path), u"fresh");
    std::vector<std::string> lines = Lines(ReadBytes(path));
    ASSERT_EQ(lines.size(), 1u) << old;
    EXPECT_EQ(Message(lines[0]), "fresh");
  }
}

TEST(LogTest, SizeLimitDeletesAndRestarts) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  std::string line = Utf16Le(u"x\r\n");
  std::string at_limit = "\xFF\xFE" + std::string(kMaxLogFileSize - 2, 'x');
  WriteBytes(path, at_limit);
  AppendLogLine(U16(path), u"kept");
  std::string bytes = ReadBytes(path);
  EXPECT_GT(bytes.size(), kMaxLogFileSize);
  EXPECT_EQ(bytes.substr(0, at_limit.size()), at_limit);
  // Now one byte or more past the limit: the next line starts a new file.
  AppendLogLine(U16(path), u"restarted");
  std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Message(lines[0]), "restarted");
}

TEST(LogTest, FailuresAreSilent) {
  ScratchDir dir;
  AppendLogLine(U16(dir / "missing/a.log"), u"lost");
  AppendLogLine(U16(dir.path()), u"a directory");
  AppendLogLine(u"", u"no path");
  EXPECT_EQ(ReadBytes(dir / "missing/a.log"), "");
}

TEST(LogTest, ThreadsNeverInterleave) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::u16string text = U16("thread " + std::to_string(t) + " " + std::string(200, 'a' + t));
      for (int i = 0; i < 50; ++i)
        AppendLogLine(U16(path), text);
    });
  }
  for (auto& thread : threads)
    thread.join();
  std::vector<std::string> lines = Lines(ReadBytes(path));
  EXPECT_EQ(lines.size(), 200u);
  for (const std::string& line : lines) {
    std::string message = Message(line);
    ASSERT_EQ(message.size(), 9u + 200u) << line;
    EXPECT_EQ(message.substr(9), std::string(200, message[7] - '0' + 'a'));
  }
}

// Several real processes append to one file; every line arrives whole.
TEST(LogTest, ProcessesNeverInterleave) {
  ScratchDir dir;
  std::string probe = nuv_test::TestBinDir() + "nuv_common_probe" + nuv_test::kExeSuffix;
  std::string path = dir / "shared.log";
  std::vector<std::thread> children;
  std::vector<int> codes(4, -1);
  for (int p = 0; p < 4; ++p) {
    children.emplace_back([&, p] {
      std::string text = "process " + std::to_string(p) + " " + std::string(300, 'k' + p);
      codes[p] = nuv_test::RunChild(probe, {"log", path, "150", text}).exit_code;
    });
  }
  for (auto& child : children)
    child.join();
  EXPECT_EQ(codes, std::vector<int>(4, 0));
  std::vector<std::string> lines = Lines(ReadBytes(path));
  EXPECT_EQ(lines.size(), 600u);
  std::vector<int> per_process(4, 0);
  for (const std::string& line : lines) {
    std::string message = Message(line);
    ASSERT_EQ(message.size(), 10u + 300u) << line;
    int p = message[8] - '0';
    ASSERT_TRUE(p >= 0 && p < 4) << line;
    EXPECT_EQ(message.substr(10), std::string(300, 'k' + p));
    ++per_process[p];
  }
  EXPECT_EQ(per_process, std::vector<int>(4, 150));
}

TEST(LogTest, DebugLinesNeedTheSwitch) {
  ScratchDir dir;
  // The probe runs from the scratch directory, whose path holds no "/debug".
  std::string probe = nuv_test::CopyProbe(dir.path());
  WriteBytes(dir / "config.dat", ReadBytes(nuv_test::TestBinDir() + "config.dat"));
  std::string path = dir / "d.log";
  EXPECT_EQ(nuv_test::RunChild(probe, {"debuglog", path, "hidden"}).exit_code, 0);
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(nuv_test::RunChild(probe, {"debuglog", path, "hidden", "--nodebug"}).exit_code, 0);
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(nuv_test::RunChild(probe, {"debuglog", path, "shown", "/debug"}).exit_code, 0);
  EXPECT_EQ(nuv_test::RunChild(probe, {"debuglog", path, "also", "C:/DEBUGGING/x"}).exit_code, 0);
  std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[0]), "shown");
  EXPECT_EQ(Message(lines[1]), "also");
  EXPECT_EQ(lines[0].substr(0, lines[0].find(' ')),
            std::string("nuv_common_probe") + nuv_test::kExeSuffix);
}

}  // namespace
