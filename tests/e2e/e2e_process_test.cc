// The sub-process as a program: exit codes, the switches it reads, the host
// window handle it takes, its configuration and its debug log lines.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/browser/render_process.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kExitMinusOne = 255;  // -1 as the parent sees it

bool HasLine(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line == wanted)
      return true;
  }
  return false;
}

bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0)
      return true;
  }
  return false;
}

// Starts a renderer, lets it come up and ends it; returns the exit code.
int RunRendererToEnd(const std::vector<std::string>& switches,
                     const std::string& type = "renderer") {
  std::unique_ptr<host::RenderProcess> process = StartRenderer(switches, type);
  if (!process)
    return -2;
  process->WaitForHello(kTimeoutMs);
  const host::ExitStatus status = process->End(kTimeoutMs);
  return status.exited() ? status.exit_code : -3;
}

TEST(ProcessEntryTest, WithoutTypeExitsMinusOneAndTouchesNothing) {
  ScratchDir dir;
  std::string output;
  EXPECT_EQ(kExitMinusOne, RunProgram(SubprocessPath(), {}, &output));

  const std::string log = dir.File("nuv.log");
  EXPECT_EQ(kExitMinusOne, RunProgram(SubprocessPath(), {"--nuv-log-file=" + log}, &output));
  EXPECT_FALSE(FileExists(log));

  // A type that is not "renderer" by exact comparison reads no handle and
  // logs nothing either.
  RunRendererToEnd({"--nuv-log-file=" + log, "--browser-message-window-handle=5"}, "Renderer");
  EXPECT_FALSE(FileExists(log));
}

TEST(ProcessEntryTest, RendererLogsTheRawHandleTextAndEndsWithZero) {
  ScratchDir dir;
  struct Case {
    std::vector<std::string> switches;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"--browser-message-window-handle=1234"}, "com browser window handle: 1234"},
      {{"--browser-message-window-handle=1234abc"}, "com browser window handle: 1234abc"},
      {{"--browser-message-window-handle=0x4D2"}, "com browser window handle: 0x4D2"},
      {{"--browser-message-window-handle=-1"}, "com browser window handle: -1"},
      {{"--browser-message-window-handle=4294967297"}, "com browser window handle: 4294967297"},
      {{"--browser-message-window-handle=%1 50%"}, "com browser window handle: %1 50%"},
      {{}, "com browser window handle: "},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string log = dir.File("handle" + std::to_string(n++) + ".log");
    std::vector<std::string> switches = c.switches;
    switches.push_back("--nuv-log-file=" + log);
    EXPECT_EQ(0, RunRendererToEnd(switches)) << c.line;
    EXPECT_TRUE(HasLine(LogMessages(log), c.line)) << c.line;
  }
}

TEST(ProcessEntryTest, LogFileInMissingDirectoryIsHarmless) {
  ScratchDir dir;
  const std::string log = dir.File("missing/dir/nuv.log");
  EXPECT_EQ(0, RunRendererToEnd({"--nuv-log-file=" + log, "--browser-message-window-handle=0"}));
  EXPECT_FALSE(FileExists(log));
}

// Copies nuv_subprocess into a directory of its own with the given
// configuration (none when `config` is empty) and runs it as a renderer.
int RunCopiedExecutable(const ScratchDir& dir, const std::string& config, const std::string& log) {
  const std::string copy = dir.File("nuv_subprocess");
  if (!WriteFile(copy, ReadFile(SubprocessPath())) || ::chmod(copy.c_str(), 0755) != 0)
    return -2;
  if (!config.empty())
    WriteFile(dir.File("config.dat"), config);
  host::RenderProcessOptions options;
  options.executable = copy;
  options.switches = {"--nuv-log-file=" + log};
  std::string error;
  std::unique_ptr<host::RenderProcess> process = host::RenderProcess::Start(options, &error);
  if (!process)
    return -2;
  const host::ExitStatus status = process->WaitForExit(kTimeoutMs);
  if (status.running())
    return process->End(kTimeoutMs).exit_code;
  return status.exited() ? status.exit_code : -3;
}

TEST(ProcessEntryTest, MissingProductNameEndsWithMinusOneBeforeAnything) {
  {
    ScratchDir dir;
    EXPECT_EQ(kExitMinusOne, RunCopiedExecutable(dir, "", dir.File("a.log")));
    EXPECT_FALSE(FileExists(dir.File("a.log")));
  }
  {
    ScratchDir dir;
    const std::string config = "[Common]\r\nInnerProductName=Inner\r\n";
    EXPECT_EQ(kExitMinusOne, RunCopiedExecutable(dir, config, dir.File("b.log")));
    EXPECT_FALSE(FileExists(dir.File("b.log")));
  }
  {
    // The same copy with a product name runs normally.
    ScratchDir dir;
    const std::string config = "[Common]\r\nProductName=Copied\r\n";
    const std::string log = dir.File("c.log");
    const std::string copy = dir.File("nuv_subprocess");
    ASSERT_TRUE(WriteFile(copy, ReadFile(SubprocessPath())));
    ASSERT_EQ(0, ::chmod(copy.c_str(), 0755));
    ASSERT_TRUE(WriteFile(dir.File("config.dat"), config));
    host::RenderProcessOptions options;
    options.executable = copy;
    options.switches = {"--nuv-log-file=" + log, "--browser-message-window-handle=0"};
    std::string error;
    std::unique_ptr<host::RenderProcess> process = host::RenderProcess::Start(options, &error);
    ASSERT_TRUE(process) << error;
    ASSERT_TRUE(process->WaitForHello(kTimeoutMs));
    EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
    EXPECT_TRUE(HasLineStartingWith(LogMessages(log), "com browser window handle: 0"));
  }
}

// One ExecuteScript and one ExecuteFunction; returns the log messages.
std::vector<std::string> RunDebugCandidates(const std::vector<std::string>& extra) {
  ScratchDir dir;
  const std::string log = dir.File("lines.log");
  std::vector<std::string> switches = {"--nuv-log-file=" + log,
                                       "--browser-message-window-handle=0"};
  switches.insert(switches.end(), extra.begin(), extra.end());
  std::unique_ptr<host::RenderProcess> process = StartRenderer(switches);
  if (!process || !process->WaitForHello(kTimeoutMs))
    return {};
  process->WaitForAck(process->CreateBrowser(1), kTimeoutMs);
  process->WaitForAck(process->CreateContext(1, 1, true, u"", u"function f(a){return a;}"),
                      kTimeoutMs);
  process->WaitForAck(
      process->SendProcessMessage(
          1, u"NuvChromeBrowser_ExecuteScript",
          {cefipc::WireValue::Int(1), cefipc::WireValue::String(u"1"),
           cefipc::WireValue::String(u"first.js"), cefipc::WireValue::String(u"t")}),
      kTimeoutMs);
  process->WaitForAck(
      process->SendProcessMessage(
          1, u"NuvChromeBrowser_ExecuteFunction",
          {cefipc::WireValue::Int(0), cefipc::WireValue::String(u"f"),
           cefipc::WireValue::String(u"t"),
           cefipc::WireValue::String(u"[{\"valueType\":\"NuvValueInt\",\"value\":7}]")}),
      kTimeoutMs);
  process->End(kTimeoutMs);
  return LogMessages(log);
}

TEST(ProcessEntryTest, DebugLinesOnlyWithDebugSwitch) {
  const std::string scriptLine = "start execute script: first.js";
  const std::string argumentsLine = "[{\"valueType\":\"NuvValueInt\",\"value\":7}]";

  const std::vector<std::string> plain = RunDebugCandidates({});
  ASSERT_FALSE(plain.empty());
  EXPECT_FALSE(HasLine(plain, scriptLine));
  EXPECT_FALSE(HasLine(plain, argumentsLine));

  for (const char* word : {"/Debug", "/debug"}) {
    const std::vector<std::string> debug = RunDebugCandidates({word});
    EXPECT_TRUE(HasLine(debug, scriptLine)) << word;
    EXPECT_TRUE(HasLine(debug, argumentsLine)) << word;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
