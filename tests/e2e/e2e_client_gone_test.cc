// A render process whose client goes away must end, whatever its render
// thread is doing. The client here is the real nuv_client playing a
// scenario; it is killed outright (SIGKILL) while the page spins or calls
// host methods in a loop. This test process makes itself the subreaper of
// its descendants, so the orphaned render process comes to it and its end
// can be waited for with a deadline.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "platform/message_window_endpoint_posix.h"
#include "tests/e2e/e2e_support.h"

extern char** environ;

namespace nuv {
namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kMayTake = std::chrono::seconds(2);

// nuv_client running a scenario, its transcript read as it comes.
class RunningClient {
 public:
  bool Start(const std::string& scenario_path) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
      return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    const std::string client = ClientPath();
    std::vector<char*> argv = {const_cast<char*>(client.c_str()), const_cast<char*>("run"),
                               const_cast<char*>(scenario_path.c_str()), nullptr};
    const int spawned = posix_spawn(&pid_, client.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
    return spawned == 0;
  }

  ~RunningClient() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
      ::close(out_);
  }

  // The next transcript event for which `match` holds, waiting up to 20 s.
  template <typename Match>
  bool WaitForEvent(Match match, Json::Value* found) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    for (;;) {
      size_t end;
      while ((end = buffer_.find('\n')) != std::string::npos) {
        Json::Value event;
        const bool parsed = Json::Reader().parse(buffer_.substr(0, end), event);
        buffer_.erase(0, end + 1);
        if (parsed && match(event)) {
          *found = event;
          return true;
        }
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
        return false;
      char chunk[4096];
      const ssize_t n = ::read(out_, chunk, sizeof(chunk));
      if (n <= 0)
        return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  void KillAndReap() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// The render process's pid, from the "(pid-tid)" of a log line.
pid_t PidOfLogLine(const std::string& line) {
  const size_t open = line.find(" (");
  return open == std::string::npos ? -1 : static_cast<pid_t>(std::atoi(line.c_str() + open + 2));
}

class ClientGoneTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, prctl(PR_SET_CHILD_SUBREAPER, 1)); }
  void TearDown() override { prctl(PR_SET_CHILD_SUBREAPER, 0); }

  // Plays `steps` (after a browser with a main frame that has the host
  // object "doc"), waits until the page has started `script_name` and the
  // client has answered a first host call, kills the client, and checks
  // that the render process ends in time and leaves no endpoint behind.
  void KillClientWhilePageRuns(const std::string& script, const std::string& script_name) {
    ScratchDir dir;
    const std::string scenario = R"({
      "start": { "debug": true },
      "host": { "objects": { "7": { "methods": { "ping": { "returns": "pong" } } } },
                "named": { "*": [ { "name": "doc", "object": 7 } ] } },
      "steps": [
        { "do": "createBrowser" }, { "do": "createContext" },
        { "do": "executeScript", "scriptName": ")" +
                                 script_name + R"(", "script": ")" + script +
                                 R"(", "timeoutMs": 300 },
        { "do": "wait", "ms": 60000 } ] })";
    ASSERT_TRUE(WriteFile(dir.File("s.json"), scenario));
    RunningClient client;
    ASSERT_TRUE(client.Start(dir.File("s.json")));

    Json::Value event;
    ASSERT_TRUE(client.WaitForEvent(
        [](const Json::Value& e) { return e["event"].asString() == "start"; }, &event));
    std::string log;
    for (const Json::Value& arg : event["argv"]) {
      if (arg.asString().rfind("--nuv-log-file=", 0) == 0)
        log = arg.asString().substr(15);
    }
    ASSERT_FALSE(log.empty());
    ASSERT_TRUE(client.WaitForEvent(
        [](const Json::Value& e) {
          return e["event"].asString() == "request" &&
                 e["kindName"].asString() == "BRIDGE_CALL_METHOD";
        },
        &event));
    const uint32_t helper = event["helperWindow"].asUInt();
    ASSERT_TRUE(client.WaitForEvent(
        [](const Json::Value& e) {
          return e["event"].asString() == "reply" && e["delivered"].asBool();
        },
        &event));
    pid_t render = -1;
    for (const std::string& line : LogLines(log)) {
      if (line.find("start execute script: " + script_name) != std::string::npos)
        render = PidOfLogLine(line);
    }
    ASSERT_GT(render, 0);
    const std::string endpoint =
        platform::msgwin::EndpointPath(platform::msgwin::EndpointDirectory(false), helper);
    EXPECT_TRUE(FileExists(endpoint)) << endpoint;

    // The page is running; the client dies.
    client.KillAndReap();
    const Clock::time_point killed = Clock::now();
    int status = 0;
    pid_t reaped = 0;
    while (reaped == 0 && Clock::now() - killed < std::chrono::seconds(10)) {
      reaped = ::waitpid(render, &status, WNOHANG);
      if (reaped == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto took = Clock::now() - killed;
    if (reaped == 0) {
      ::kill(render, SIGKILL);
      ::waitpid(render, &status, 0);
    }
    ASSERT_EQ(render, reaped) << "the render process outlived its client";
    EXPECT_LT(took, kMayTake);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(FileExists(endpoint)) << endpoint;
    // The client's scratch directory, which it had no chance to remove.
    const std::string scratch = log.substr(0, log.rfind('/'));
    RunProgram("/bin/rm", {"-rf", scratch}, nullptr);
  }
};

TEST_F(ClientGoneTest, ARenderProcessWhosePageSpinsEndsWhenItsClientIsKilled) {
  KillClientWhilePageRuns("doc.ping(); while (true) {}", "spin.js");
}

TEST_F(ClientGoneTest, ARenderProcessWhosePageCallsTheHostInALoopEndsWhenItsClientIsKilled) {
  KillClientWhilePageRuns("for (;;) doc.ping();", "calls.js");
}

// The scenarios of examples/: the client goes away (disconnect step) while
// the page spins, while it calls the host in a loop, and while it is idle.
// Each time the render process ends with 0 within the step's 2 seconds, and
// the endpoint of its helper window is gone.
TEST(ClientGoneScenarioTest, TheRenderProcessEndsInTimeAndLeavesNoEndpoint) {
  for (const char* example :
       {"client-gone-spinning.json", "client-gone-calling.json", "client-gone-idle.json"}) {
    std::string output;
    ASSERT_EQ(0, RunProgram(ClientPath(), {"run", ExamplesDir() + "/" + example}, &output))
        << output;
    std::vector<uint32_t> helpers;
    int exits = 0;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
      Json::Value event;
      if (!Json::Reader().parse(output.substr(start, end - start), event) || !event.isObject())
        continue;
      if (event["event"].asString() == "request")
        helpers.push_back(event["helperWindow"].asUInt());
      if (event["event"].asString() == "exit") {
        ++exits;
        EXPECT_EQ(0, event["code"].asInt()) << example << ": " << event.toStyledString();
      }
    }
    EXPECT_EQ(1, exits) << example;
    const std::string directory = platform::msgwin::EndpointDirectory(false);
    for (uint32_t helper : helpers)
      EXPECT_FALSE(FileExists(platform::msgwin::EndpointPath(directory, helper))) << example;
    if (std::string(example) != "client-gone-spinning.json") {
      EXPECT_FALSE(helpers.empty()) << example;
    }
  }
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
