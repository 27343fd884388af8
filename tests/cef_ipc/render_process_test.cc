// The render loop across processes: the client library starts the test
// sub-process (ipc_test_app.cc, built on CefExecuteProcess over the real V8
// runtime) and drives it over a real socket. Covers start-up per process
// type, messages both ways, context callbacks of two frames, the refusal of
// malformed and out-of-order frames, crashes and a vanishing client.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "cef/ipc/frame_codec.h"
#include "cef/ipc/wire_text.h"
#include "host/browser/render_process.h"
#if defined(IPC_TEST_WITH_WINDOWS)
#include "platform/message_window.h"
#endif

namespace nuv {
namespace host {
namespace {

using cefipc::WireList;
using cefipc::WireValue;
using Outcome = CommandResult::Outcome;

constexpr int kWaitMs = 10000;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class RenderProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/cef_ipc_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    stderr_path_ = dir_ + "/stderr.txt";
    marker_path_ = dir_ + "/marker.txt";
  }
  void TearDown() override {
    unlink(stderr_path_.c_str());
    unlink(marker_path_.c_str());
    rmdir(dir_.c_str());
  }

  RenderProcessOptions Options(const std::string& type = "renderer") {
    RenderProcessOptions options;
    options.executable = IPC_TEST_APP_PATH;
    options.process_type = type;
    options.switches = {"--ipc-test-marker=" + marker_path_};
    options.stderr_path = stderr_path_;
    return options;
  }

  std::unique_ptr<RenderProcess> StartRenderer() {
    std::string error;
    std::unique_ptr<RenderProcess> process = RenderProcess::Start(Options(), &error);
    EXPECT_TRUE(process) << error;
    if (process) {
      EXPECT_TRUE(process->WaitForHello(kWaitMs)) << ReadFile(stderr_path_);
    }
    return process;
  }

  // Runs a command and expects its acknowledgement to say `outcome`.
  static void Expect(RenderProcess* p, uint32_t sequence, Outcome outcome) {
    const CommandResult r = p->WaitForAck(sequence, kWaitMs);
    EXPECT_EQ(r.outcome, outcome) << r.ToString();
  }

  static ProcessMessage Next(RenderProcess* p, const std::u16string& name) {
    ProcessMessage m;
    EXPECT_TRUE(p->WaitForMessageNamed(name, kWaitMs, &m)) << cefipc::Utf16ToUtf8(name);
    return m;
  }

  static std::string Eval(RenderProcess* p, int32_t browser, int64_t frame, const char* code) {
    Expect(p,
           p->SendProcessMessage(browser, u"Eval",
                                 {WireValue::String(cefipc::Utf8ToUtf16(std::to_string(frame))),
                                  WireValue::String(cefipc::Utf8ToUtf16(code))}),
           Outcome::kDone);
    ProcessMessage m = Next(p, u"EvalResult");
    if (m.args.size() < 2)
      return "<malformed reply>";
    return (m.args[0].GetBool() ? "" : "threw: ") + cefipc::Utf16ToUtf8(m.args[1].GetString());
  }

  std::string dir_;
  std::string stderr_path_;
  std::string marker_path_;
};

TEST_F(RenderProcessTest, StartUpPerProcessType) {
  std::string error;
  // Without a type the program is the browser process: -1 at once, and the
  // app is never called.
  std::unique_ptr<RenderProcess> none = RenderProcess::Start(Options(""), &error);
  ASSERT_TRUE(none) << error;
  ExitStatus status = none->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.exited()) << status.ToString();
  EXPECT_EQ(status.exit_code, 255);  // -1
  EXPECT_FALSE(FileExists(marker_path_));
  EXPECT_FALSE(none->WaitForHello(0));

  // Chromium helper types have nothing to run: 0 after the app saw the type.
  std::unique_ptr<RenderProcess> gpu = RenderProcess::Start(Options("gpu-process"), &error);
  ASSERT_TRUE(gpu) << error;
  status = gpu->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
  EXPECT_EQ(ReadFile(marker_path_), "gpu-process\n");

  // An unknown type is an error, reported on stderr.
  std::unique_ptr<RenderProcess> bogus = RenderProcess::Start(Options("bogus"), &error);
  ASSERT_TRUE(bogus) << error;
  status = bogus->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 1) << status.ToString();
  EXPECT_NE(ReadFile(stderr_path_).find("unknown sub-process type \"bogus\""), std::string::npos);

  // A program that does not exist is reported by Start, not as a child exit.
  RenderProcessOptions missing = Options();
  missing.executable = dir_ + "/no-such-program";
  EXPECT_FALSE(RenderProcess::Start(missing, &error));
  EXPECT_NE(error.find("cannot execute"), std::string::npos) << error;
}

TEST_F(RenderProcessTest, RendererWithoutAUsableSocketEndsWithALogLine) {
  const std::vector<std::vector<std::string>> cases = {
      {"--type=renderer"},
      {"--type=renderer", "--cef-ipc-fd=12abc"},
      {"--type=renderer", "--cef-ipc-fd=987"},
  };
  for (const auto& args : cases) {
    ChildProcess::Options options;
    options.executable = IPC_TEST_APP_PATH;
    options.args = args;
    options.args.push_back("--ipc-test-marker=" + marker_path_);
    options.stderr_path = stderr_path_;
    std::string error;
    std::unique_ptr<ChildProcess> child = ChildProcess::Start(options, &error);
    ASSERT_TRUE(child) << error;
    const ExitStatus status = child->WaitForExit(kWaitMs);
    EXPECT_TRUE(status.exited() && status.exit_code == 1) << status.ToString();
  }
  const std::string log = ReadFile(stderr_path_);
  EXPECT_NE(log.find("without a usable --cef-ipc-fd"), std::string::npos) << log;
  EXPECT_NE(log.find("--cef-ipc-fd=987 is not open"), std::string::npos) << log;
  EXPECT_EQ(ReadFile(marker_path_), "renderer\nrenderer\nrenderer\n");
}

TEST_F(RenderProcessTest, TwoFramesMessagesBothWaysAndACleanEnd) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  EXPECT_EQ(ReadFile(marker_path_), "renderer\n");

  Expect(p.get(), p->CreateBrowser(7), Outcome::kDone);
  EXPECT_EQ(Next(p.get(), u"BrowserCreated").browser_id, 7);

  Expect(p.get(), p->CreateContext(7, 1, true, u"main", u"var answer = 42;"), Outcome::kDone);
  Expect(p.get(), p->CreateContext(7, 2, false, u"child", u"var answer = 'sub';"), Outcome::kDone);
  // Messages caused by a command are in before its acknowledgement.
  std::vector<ProcessMessage> created = p->TakeMessages();
  ASSERT_EQ(created.size(), 2u);
  const WireList main_args = {WireValue::String(u"1"), WireValue::Bool(true),
                              WireValue::String(u"main")};
  const WireList sub_args = {WireValue::String(u"2"), WireValue::Bool(false),
                             WireValue::String(u"child")};
  EXPECT_EQ(created[0].name, u"ContextCreated");
  EXPECT_EQ(created[0].browser_id, 7);
  EXPECT_EQ(created[0].args, main_args) << cefipc::ToDebugString(created[0].args);
  EXPECT_EQ(created[1].args, sub_args) << cefipc::ToDebugString(created[1].args);

  // Each frame has its own context, with its page script run.
  EXPECT_EQ(Eval(p.get(), 7, 1, "String(answer)"), "42");
  EXPECT_EQ(Eval(p.get(), 7, 2, "String(answer)"), "sub");

  // Arguments of every carried type come back unchanged.
  const WireList args = {WireValue::Null(),
                         WireValue::Bool(false),
                         WireValue::Int(-2147483647 - 1),
                         WireValue::Double(0.1),
                         WireValue::String(u"\u00e9\U0001F600\"\\\n"),
                         WireValue::List({WireValue::Int(1), WireValue::List({})}),
                         WireValue::String(std::u16string(1 << 20, u'z'))};
  Expect(p.get(), p->SendProcessMessage(7, u"Echo", args), Outcome::kDone);
  ProcessMessage echo = Next(p.get(), u"EchoReply");
  EXPECT_EQ(echo.browser_id, 7);
  EXPECT_TRUE(echo.args == args) << cefipc::ToDebugString(echo.args).substr(0, 200);

  // Many messages in a row all arrive, in order.
  Expect(p.get(), p->SendProcessMessage(7, u"Flood", {WireValue::Int(3000)}), Outcome::kDone);
  std::vector<ProcessMessage> flood = p->TakeMessages();
  ASSERT_EQ(flood.size(), 3000u);
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(flood[i].args[0].GetInt(), i);

  // Releasing the sub-frame leaves the main frame's context alone.
  Expect(p.get(), p->ReleaseContext(7, 2), Outcome::kDone);
  EXPECT_EQ(Next(p.get(), u"ContextReleased").args, WireList{WireValue::String(u"2")});
  Expect(p.get(), p->RunScript(7, 2, u"1"), Outcome::kRefused);
  EXPECT_EQ(Eval(p.get(), 7, 1, "String(answer)"), "42");

  // Editing commands run by page script reach the client with their frame.
  Expect(p.get(), p->RunScript(7, 1, u"document.execCommand('bold', false, 'v')"), Outcome::kDone);
  const std::vector<DocumentCommand> commands = p->TakeDocumentCommands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].browser_id, 7);
  EXPECT_EQ(commands[0].frame_id, 1);
  EXPECT_EQ(commands[0].command, u"bold");
  EXPECT_FALSE(commands[0].show_ui);
  EXPECT_EQ(commands[0].value, u"v");
  EXPECT_TRUE(commands[0].result);

  Expect(p.get(), p->CollectGarbage(), Outcome::kDone);

  // Destroying the browser releases the remaining context first.
  Expect(p.get(), p->DestroyBrowser(7), Outcome::kDone);
  EXPECT_EQ(Next(p.get(), u"ContextReleased").args, WireList{WireValue::String(u"1")});

  const ExitStatus status = p->End(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
  EXPECT_FALSE(p->is_connected());
  EXPECT_TRUE(p->TakeErrors().empty());
}

TEST_F(RenderProcessTest, EndReleasesWhatIsStillOpenBeforeExiting) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(1), Outcome::kDone);
  Expect(p.get(), p->CreateContext(1, 5, true, u"", u""), Outcome::kDone);
  p->TakeMessages();
  const ExitStatus status = p->End(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
  ProcessMessage released;
  ASSERT_TRUE(p->WaitForMessage(0, &released));
  EXPECT_EQ(released.name, u"ContextReleased");
}

TEST_F(RenderProcessTest, OutOfOrderAndUnhandledCommandsAreAnsweredNotFatal) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateContext(3, 1, true, u"", u""), Outcome::kRefused);
  Expect(p.get(), p->SendProcessMessage(3, u"Echo", {}), Outcome::kRefused);
  Expect(p.get(), p->DestroyBrowser(3), Outcome::kRefused);
  Expect(p.get(), p->CreateBrowser(3), Outcome::kDone);
  Expect(p.get(), p->CreateBrowser(3), Outcome::kRefused);
  Expect(p.get(), p->ReleaseContext(3, 1), Outcome::kRefused);
  Expect(p.get(), p->RunScript(3, 1, u"1"), Outcome::kRefused);
  Expect(p.get(), p->SendProcessMessage(3, u"NobodyHandlesThis", {}), Outcome::kDeclined);

  // A page script that throws reaches OnUncaughtException; the context stays.
  Expect(p.get(), p->CreateContext(3, 1, true, u"", u""), Outcome::kDone);
  Expect(p.get(), p->RunScript(3, 1, u"throw new Error('boom')"), Outcome::kDeclined);
  ProcessMessage uncaught = Next(p.get(), u"UncaughtException");
  ASSERT_EQ(uncaught.args.size(), 2u);
  EXPECT_NE(cefipc::Utf16ToUtf8(uncaught.args[1].GetString()).find("boom"), std::string::npos);
  Expect(p.get(), p->RunScript(3, 1, u"var fine = 1;"), Outcome::kDone);

  // A message with a value the IPC cannot carry is refused, not altered.
  Expect(p.get(), p->SendProcessMessage(3, u"SendBinary", {}), Outcome::kDone);
  const std::vector<std::string> errors = p->TakeErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("binary"), std::string::npos) << errors[0];
  ProcessMessage none;
  EXPECT_FALSE(p->WaitForMessageNamed(u"WithBinary", 100, &none));

  const std::string log = ReadFile(stderr_path_);
  EXPECT_NE(log.find("context for unknown browser 3"), std::string::npos) << log;
  EXPECT_NE(log.find("browser 3 exists already"), std::string::npos) << log;
  const ExitStatus status = p->End(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
}

TEST_F(RenderProcessTest, MalformedFramesAreRefusedAndOversizedOnesEndTheStream) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(1), Outcome::kDone);

  // A render-process frame sent by the client.
  Expect(p.get(), p->SendRawFrame(cefipc::MakeAck(1, cefipc::AckStatus::kDone, u"")),
         Outcome::kRefused);

  // A body with a bad field: the frame is named in the refusal.
  // Kind 0x02 (browser destroyed) with its browser id cut short.
  uint32_t s = p->ReserveSequence();
  ASSERT_TRUE(p->SendRawBytes({7, 0, 0, 0, 0x02, static_cast<uint8_t>(s), 0, 0, 0, 1, 0}));
  CommandResult r = p->WaitForAck(s, kWaitMs);
  EXPECT_EQ(r.outcome, Outcome::kRefused) << r.ToString();
  EXPECT_NE(r.detail.find("frame ends inside browser id"), std::string::npos) << r.detail;

  // A repeated sequence number is refused (the frame is not carried out).
  ASSERT_TRUE(p->SendRawBytes({9, 0, 0, 0, 0x02, 2, 0, 0, 0, 1, 0, 0, 0}));
  r = p->WaitForAck(2, kWaitMs);
  EXPECT_EQ(r.outcome, Outcome::kRefused) << r.ToString();
  EXPECT_NE(r.detail.find("does not follow"), std::string::npos) << r.detail;

  // Too short for a header: answered with an error frame.
  ASSERT_TRUE(p->SendRawBytes({2, 0, 0, 0, 0x01, 0}));
  p->Pump(500);

  // The process still works; the browser was not destroyed by the bad frames.
  Expect(p.get(), p->SendProcessMessage(1, u"Echo", {WireValue::Int(5)}), Outcome::kDone);
  EXPECT_EQ(Next(p.get(), u"EchoReply").args, WireList{WireValue::Int(5)});
  std::vector<std::string> errors = p->TakeErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("shorter than its header"), std::string::npos) << errors[0];

  // An oversized length: nothing after it can be trusted, the render
  // process says so and ends.
  ASSERT_TRUE(p->SendRawBytes({0x01, 0x00, 0x00, 0x10, 0x01}));
  const ExitStatus status = p->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 1) << status.ToString();
  const std::string log = ReadFile(stderr_path_);
  EXPECT_NE(log.find("exceeds the limit"), std::string::npos) << log;
  EXPECT_NE(log.find("does not follow"), std::string::npos) << log;
}

TEST_F(RenderProcessTest, ABusyRenderThreadTimesOutTheWaitNotTheProcess) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(2), Outcome::kDone);
  p->TakeMessages();
  const uint32_t sleep = p->SendProcessMessage(2, u"Sleep", {WireValue::Int(1500)});
  const uint32_t echo = p->SendProcessMessage(2, u"Echo", {WireValue::String(u"after")});
  EXPECT_EQ(p->WaitForAck(sleep, 100).outcome, Outcome::kTimeout);
  ProcessMessage m;
  EXPECT_FALSE(p->WaitForMessage(100, &m));  // the echo waits for the sleep
  EXPECT_TRUE(p->exit_status().running());
  Expect(p.get(), sleep, Outcome::kDone);
  Expect(p.get(), echo, Outcome::kDone);
  EXPECT_EQ(Next(p.get(), u"EchoReply").args, WireList{WireValue::String(u"after")});
}

TEST_F(RenderProcessTest, ACrashOrKillIsReportedWithItsSignal) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(4), Outcome::kDone);
  p->TakeMessages();
  const CommandResult r = p->WaitForAck(p->SendProcessMessage(4, u"Abort", {}), kWaitMs);
  EXPECT_EQ(r.outcome, Outcome::kProcessGone) << r.ToString();
  ExitStatus status = p->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.signaled()) << status.ToString();
  EXPECT_EQ(status.signal, SIGABRT);
  // Later commands fail at once instead of waiting for a dead process.
  EXPECT_EQ(p->CreateBrowser(5), 0u);
  ProcessMessage m;
  EXPECT_FALSE(p->WaitForMessage(-1, &m));
  EXPECT_EQ(p->End(kWaitMs).signal, SIGABRT);

  std::unique_ptr<RenderProcess> q = StartRenderer();
  ASSERT_TRUE(q);
  ASSERT_TRUE(q->Kill(SIGKILL));
  EXPECT_EQ(q->WaitForAck(q->CreateBrowser(1), kWaitMs).outcome, Outcome::kProcessGone);
  status = q->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.signaled() && status.signal == SIGKILL) << status.ToString();
  EXPECT_EQ(status.ToString().find("killed by signal 9"), 0u) << status.ToString();
}

TEST_F(RenderProcessTest, AClientThatDisappearsEndsTheRenderProcess) {
  // Closing the connection, as a client that goes away does.
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(1), Outcome::kDone);
  p->CloseConnection();
  ExitStatus status = p->WaitForExit(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
  EXPECT_NE(ReadFile(stderr_path_).find("the client closed the IPC channel"), std::string::npos);

  // A client process killed outright: its render process becomes our
  // orphan (we are its subreaper) and must end on its own.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t client = fork();
  if (client == 0) {
    close(pipe_fds[0]);
    std::string error;
    std::unique_ptr<RenderProcess> r = RenderProcess::Start(Options(), &error);
    int pid = r && r->WaitForHello(kWaitMs) ? r->pid() : -1;
    if (write(pipe_fds[1], &pid, sizeof(pid)) != sizeof(pid))
      _exit(3);
    pause();  // killed here, with the render process still running
    _exit(0);
  }
  close(pipe_fds[1]);
  int render_pid = -1;
  ASSERT_EQ(read(pipe_fds[0], &render_pid, sizeof(render_pid)),
            static_cast<ssize_t>(sizeof(render_pid)));
  close(pipe_fds[0]);
  ASSERT_GT(render_pid, 0);
  kill(client, SIGKILL);
  int raw = 0;
  ASSERT_EQ(waitpid(client, &raw, 0), client);

  // The orphan comes to us; wait for it with a deadline.
  pid_t reaped = 0;
  for (int i = 0; i < 1000 && reaped == 0; ++i) {
    reaped = waitpid(render_pid, &raw, WNOHANG);
    if (reaped == 0)
      usleep(10000);
  }
  if (reaped == 0)
    kill(render_pid, SIGKILL);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(reaped, render_pid) << "render process outlived its client";
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
}

TEST_F(RenderProcessTest, ABusyRenderThreadDoesNotKeepTheProcessAliveWithoutItsClient) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(1), Outcome::kDone);
  // Busy for a minute: the render loop will not look at the channel again.
  p->SendProcessMessage(1, u"Sleep", {WireValue::Int(60000)});
  EXPECT_EQ(p->WaitForAck(p->SendProcessMessage(1, u"Echo", {}), 200).outcome, Outcome::kTimeout);
  p->CloseConnection();
  const ExitStatus status = p->WaitForExit(2000);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
  EXPECT_NE(
      ReadFile(stderr_path_)
          .find("the client closed the IPC channel while the render thread is busy; ending the "
                "render process now"),
      std::string::npos);
}

TEST_F(RenderProcessTest, ARenderProcessEndsWithItsParentEvenWhenItsChannelStaysOpen) {
  // The client starts a render process and hands its end of the channel to
  // a process of its own, then is killed: only the parent-death signal
  // tells the render process that its client is gone.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t client = fork();
  if (client == 0) {
    close(pipe_fds[0]);
    std::string error;
    std::unique_ptr<RenderProcess> r = RenderProcess::Start(Options(), &error);
    int pids[2] = {r && r->WaitForHello(kWaitMs) ? r->pid() : -1, -1};
    pids[1] = fork();
    if (pids[1] == 0) {
      pause();  // holds the client's end of the channel open
      _exit(0);
    }
    if (write(pipe_fds[1], pids, sizeof(pids)) != sizeof(pids))
      _exit(3);
    pause();
    _exit(0);
  }
  close(pipe_fds[1]);
  int pids[2] = {-1, -1};
  ASSERT_EQ(read(pipe_fds[0], pids, sizeof(pids)), static_cast<ssize_t>(sizeof(pids)));
  close(pipe_fds[0]);
  ASSERT_GT(pids[0], 0);
  ASSERT_GT(pids[1], 0);
  kill(client, SIGKILL);
  int raw = 0;
  ASSERT_EQ(waitpid(client, &raw, 0), client);
  pid_t reaped = 0;
  for (int i = 0; i < 200 && reaped == 0; ++i) {
    reaped = waitpid(pids[0], &raw, WNOHANG);
    if (reaped == 0)
      usleep(10000);
  }
  if (reaped == 0) {
    kill(pids[0], SIGKILL);
    waitpid(pids[0], nullptr, 0);
  }
  kill(pids[1], SIGKILL);
  waitpid(pids[1], nullptr, 0);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  ASSERT_EQ(reaped, pids[0]) << "the render process outlived its parent by 2 s";
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
}

TEST_F(RenderProcessTest, AHungProcessIsKilledWhenTheClientLetsGo) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(1), Outcome::kDone);
  p->SendProcessMessage(1, u"Sleep", {WireValue::Int(60000)});
  const ExitStatus status = p->End(300);
  EXPECT_TRUE(status.running());
  const pid_t pid = p->pid();
  p.reset();  // must not wait the minute out
  EXPECT_NE(kill(pid, 0), 0);
}

#if defined(IPC_TEST_WITH_WINDOWS)
TEST_F(RenderProcessTest, AnIdleRenderLoopDispatchesItsWindows) {
  std::unique_ptr<RenderProcess> p = StartRenderer();
  ASSERT_TRUE(p);
  Expect(p.get(), p->CreateBrowser(6), Outcome::kDone);
  Expect(p.get(), p->SendProcessMessage(6, u"OpenWindow", {}), Outcome::kDone);
  const ProcessMessage opened = Next(p.get(), u"WindowOpened");
  ASSERT_EQ(opened.args.size(), 1u);
  const auto window = static_cast<nuv::platform::WindowHandle>(opened.args[0].GetInt());
  ASSERT_NE(window, 0u);

  // The render thread is idle in its loop; the send is answered there.
  const char payload[] = "hello window";
  nuv::platform::CopyData data;
  data.dwData = 1;
  data.cbData = sizeof(payload) - 1;
  data.lpData = payload;
  intptr_t result = 0;
  ASSERT_TRUE(nuv::platform::SendCopyData(window, 0, data, &result));
  EXPECT_EQ(result, 2 * static_cast<intptr_t>(data.cbData));
  EXPECT_EQ(Next(p.get(), u"WindowGotData").args, WireList{WireValue::String(u"hello window")});

  const ExitStatus status = p->End(kWaitMs);
  EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
}
#endif

}  // namespace
}  // namespace host
}  // namespace nuv
