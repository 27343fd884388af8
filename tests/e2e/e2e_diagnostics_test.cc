// What the log shows about bridge requests that fail or keep the page
// waiting, with the real nuv_subprocess and the client's host window playing
// a faulty or slow client.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/browser/render_process.h"
#include "host/window/bridge_packet.h"
#include "host/window/host_window.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

using cefipc::WireValue;

constexpr int kTimeoutMs = 20000;

constexpr char kHostConfig[] = R"({
  "objects": {
    "7": {
      "properties": { "title": "Report" },
      "methods": {
        "ping": { "returns": "pong" },
        "garbage": { "replyText": "not json" },
        "scalar": { "replyText": "42" },
        "empty": { "replyText": "" },
        "silent": { "noReply": true },
        "slow": { "returns": "late", "delayMs": 6500 }
      }
    }
  },
  "named": { "*": [ { "name": "doc", "object": 7 } ] }
})";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The log lines (whole, with their "(pid-tid)") that contain `part`.
std::vector<std::string> LinesWith(const std::string& log, const std::string& part) {
  std::vector<std::string> found;
  for (const std::string& line : LogLines(log)) {
    if (Contains(line, part))
      found.push_back(line);
  }
  return found;
}

// The "(pid-tid)" of a log line.
std::string Writer(const std::string& line) {
  const size_t open = line.find(" (");
  const size_t close = line.find("): ");
  return open == std::string::npos || close == std::string::npos ? std::string()
                                                                 : line.substr(open, close - open);
}

class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(window_.Configure(kHostConfig, &error)) << error;
    window_.SetLogHandler([](const std::string&) {});
    ASSERT_TRUE(window_.Start());
    log_ = dir_.File("render.log");
  }

  // A renderer whose browser 1 has a main frame with the host objects.
  std::unique_ptr<host::RenderProcess> Start(std::vector<std::string> switches) {
    switches.push_back("--nuv-log-file=" + log_);
    std::unique_ptr<host::RenderProcess> process = StartRenderer(switches);
    if (!process || !process->WaitForHello(kTimeoutMs))
      return nullptr;
    process->WaitForAck(process->CreateBrowser(1), kTimeoutMs);
    process->WaitForAck(process->CreateContext(1, 1, true, u"", u""), kTimeoutMs);
    host::ProcessMessage created;
    if (!process->WaitForMessageNamed(u"NuvChromeBrowser_ContextCreated", kTimeoutMs, &created))
      return nullptr;
    return process;
  }

  std::string HostSwitch() const {
    return "--browser-message-window-handle=" + std::to_string(window_.handle());
  }

  // Runs `script` as a client script command; the result record's text.
  std::u16string Execute(host::RenderProcess* process, const std::u16string& script) {
    process->SendProcessMessage(1, u"NuvChromeBrowser_ExecuteScript",
                                {WireValue::Int(1), WireValue::String(script),
                                 WireValue::String(u"probe"), WireValue::String(u"t")});
    host::ProcessMessage result;
    if (!process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteScript_Result", kTimeoutMs,
                                      &result) ||
        result.args.size() < 4)
      return u"(no result)";
    return result.args[3].GetString();
  }

  // The request id the host window saw for a call of `method`.
  int32_t RequestIdOf(const std::string& method) {
    for (const host::LoggedRequest& entry : window_.requests().Entries()) {
      if (entry.kind == host::kBridgeCallMethod && Contains(entry.text, "\"" + method + "\""))
        return entry.request_id;
    }
    return -1;
  }

  host::HostWindow window_;
  ScratchDir dir_;
  std::string log_;
};

TEST_F(DiagnosticsTest, FailedRequestsNameTheRequestAndWhyInDebugLinesOnly) {
  const std::u16string script =
      u"[doc.garbage(), doc.scalar(), doc.empty(), doc.silent(), doc.ping()].map(String).join()";
  const std::u16string expected =
      u"{\"browserId\":1,\"value\":\"undefined,null,undefined,undefined,pong\","
      u"\"valueType\":\"NuvValueString\"}\n";
  {
    std::unique_ptr<host::RenderProcess> process = Start({HostSwitch()});
    ASSERT_TRUE(process);
    EXPECT_EQ(expected, Execute(process.get(), script));
    EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
    EXPECT_TRUE(LinesWith(log_, "bridge request").empty());
  }

  window_.requests().Clear();
  std::unique_ptr<host::RenderProcess> process = Start({HostSwitch(), "/Debug"});
  ASSERT_TRUE(process);
  EXPECT_EQ(expected, Execute(process.get(), script));
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
  const struct {
    const char* method;
    const char* why;
  } cases[] = {
      {"garbage", "the reply is not JSON"},
      {"scalar", "the reply is not a value record"},
      {"empty", "the reply is empty"},
      {"silent", "the host window returned without a reply"},
  };
  for (const auto& c : cases) {
    const std::string line =
        "bridge request failed: kind 5 (BRIDGE_CALL_METHOD), browser 1, "
        "request " +
        std::to_string(RequestIdOf(c.method)) + ", object 7, name \"" + c.method + "\": " + c.why;
    EXPECT_EQ(1u, LinesWith(log_, line).size()) << line;
  }
  // The answered call and the named objects are not failures.
  EXPECT_EQ(4u, LinesWith(log_, "bridge request failed").size());
}

TEST_F(DiagnosticsTest, AHostWindowThatIsNotThereIsNamed) {
  // Handles below 0x10000 are never given to a window.
  std::unique_ptr<host::RenderProcess> process =
      Start({"--browser-message-window-handle=12345", "/Debug"});
  ASSERT_TRUE(process);
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
  EXPECT_EQ(1u, LinesWith(log_,
                          "bridge request failed: kind 1 (BRIDGE_GET_NAMED_OBJECTS), browser 1, "
                          "request 1, object 0, name \"\": the host window 12345 did not take it")
                    .size());
}

TEST_F(DiagnosticsTest, ARequestWaitingOverFiveSecondsIsLoggedWhileItWaitsAndWhenItEnds) {
  std::unique_ptr<host::RenderProcess> process = Start({HostSwitch()});
  ASSERT_TRUE(process);
  const auto sent = std::chrono::steady_clock::now();
  process->SendProcessMessage(1, u"NuvChromeBrowser_ExecuteScript",
                              {WireValue::Int(1), WireValue::String(u"doc.slow()"),
                               WireValue::String(u"slow"), WireValue::String(u"t")});
  // The first line comes while the host window still holds the request
  // (it logs a request only once it has answered it).
  std::vector<std::string> waiting;
  while (waiting.empty() && std::chrono::steady_clock::now() - sent < std::chrono::seconds(6)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    waiting = LinesWith(log_, "bridge request still waiting after 5 s: ");
  }
  ASSERT_EQ(1u, waiting.size());
  EXPECT_EQ(-1, RequestIdOf("slow"));
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));

  host::ProcessMessage result;
  ASSERT_TRUE(
      process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteScript_Result", kTimeoutMs, &result));
  const std::string request = "kind 5 (BRIDGE_CALL_METHOD), browser 1, request " +
                              std::to_string(RequestIdOf("slow")) + ", object 7, name \"slow\"";
  EXPECT_TRUE(Contains(waiting[0], "waiting after 5 s: " + request)) << waiting[0];
  const std::vector<std::string> answered = LinesWith(log_, "bridge request answered after ");
  ASSERT_EQ(1u, answered.size());
  EXPECT_TRUE(Contains(answered[0], " s: " + request)) << answered[0];
  const size_t after = answered[0].find("answered after ") + 15;
  const double seconds = std::stod(answered[0].substr(after));
  EXPECT_GE(seconds, 6.4);
  EXPECT_LT(seconds, 60.0);
  // Written by two threads: the render thread was blocked in the send.
  EXPECT_NE(Writer(waiting[0]), Writer(answered[0]));
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
  EXPECT_EQ(2u, LinesWith(log_, "bridge request").size());
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
