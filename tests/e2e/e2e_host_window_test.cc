// What the real nuv_subprocess does with a host window that misbehaves on
// purpose, and with handle texts whose low 32 bits name the host window,
// played by nuv_client: what the examples' own expectations cannot see (the
// host window's process reaped, the command line, a step that times out
// while its request goes on). The examples hostile-host-window.json,
// host-window-dies.json and chromium-window.json check the rest themselves.
#include <signal.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "platform/message_window.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

struct ClientRun {
  int code = -1;
  std::string output;
  std::vector<Json::Value> events;
};

ClientRun RunClient(const std::string& scenario_path) {
  ClientRun run;
  run.code = RunProgram(ClientPath(), {"run", scenario_path}, &run.output, 120000);
  std::istringstream lines(run.output);
  std::string line;
  while (std::getline(lines, line)) {
    Json::Value event;
    if (Json::Reader().parse(line, event) && event.isObject())
      run.events.push_back(event);
  }
  return run;
}

ClientRun RunText(const std::string& text) {
  ScratchDir dir;
  WriteFile(dir.File("s.json"), text);
  return RunClient(dir.File("s.json"));
}

std::vector<Json::Value> Events(const ClientRun& run, const std::string& kind) {
  std::vector<Json::Value> out;
  for (const Json::Value& event : run.events) {
    if (event["event"].asString() == kind)
      out.push_back(event);
  }
  return out;
}

// tag -> the "value" of the result record of the script with that tag.
std::map<std::string, Json::Value> Results(const ClientRun& run) {
  std::map<std::string, Json::Value> results;
  for (const Json::Value& message : Events(run, "message")) {
    if (message["name"].asString() != "NuvChromeBrowser_ExecuteScript_Result")
      continue;
    Json::Value record;
    Json::Reader().parse(message["args"][3].asString(), record);
    results[message["args"][2].asString()] = record["value"];
  }
  return results;
}

// Every command was handled in time, and the sub-process ended by itself
// with code 0 after the scenario's end.
void ExpectCleanRun(const ClientRun& run) {
  ASSERT_EQ(0, run.code) << run.output.substr(0, 4000);
  EXPECT_TRUE(Events(run, "timeout").empty());
  EXPECT_TRUE(Events(run, "error").empty());
  EXPECT_TRUE(Events(run, "ipcError").empty());
  const std::vector<Json::Value> exits = Events(run, "exit");
  ASSERT_EQ(1u, exits.size());
  EXPECT_EQ(0, exits[0]["code"].asInt()) << exits[0].toStyledString();
}

TEST(HostileHostWindowTest, AHostWindowProcessThatDiesLeavesTheSubprocessWorking) {
  const ClientRun run = RunClient(ExamplesDir() + "/host-window-dies.json");
  ExpectCleanRun(run);
  std::map<std::string, Json::Value> r = Results(run);
  EXPECT_EQ("yes", r["before"].asString());
  EXPECT_EQ("undefined", r["dies"].asString());
  EXPECT_EQ("undefined", r["after"].asString()) << "later requests fail at once";
  EXPECT_EQ(2, r["carries-on"].asInt());
  EXPECT_EQ("undefined", r["new-page"].asString()) << "a new page gets no host objects";
  ASSERT_EQ(1u, Events(run, "hostWindowGone").size());

  // The host window's process is gone and reaped, its window with it.
  const std::vector<Json::Value> starts = Events(run, "start");
  ASSERT_EQ(1u, starts.size());
  const pid_t relay = static_cast<pid_t>(starts[0]["hostWindowProcess"].asInt());
  ASSERT_GT(relay, 0);
  EXPECT_EQ(-1, kill(relay, 0));
  EXPECT_EQ(ESRCH, errno);
  EXPECT_FALSE(platform::IsMessageWindow(starts[0]["hostWindow"].asUInt()));
}

// A host window slower than the client's step timeout: the step times out,
// the render thread keeps waiting (there is no time limit on a request), and
// the value arrives once the host window answers.
TEST(HostileHostWindowTest, ARequestLongerThanTheStepTimeoutStillCompletes) {
  const ClientRun run = RunText(R"({
    "host": {"objects": {"7": {"properties": {"slow": {"value": "worth the wait", "delayMs": 1500}}}},
             "named": {"*": [{"name": "host", "object": 7}]}},
    "steps": [
      {"do": "createBrowser"}, {"do": "createContext"},
      {"do": "executeScript", "script": "host.slow", "tag": "slow", "timeoutMs": 200},
      {"do": "wait", "for": "NuvChromeBrowser_ExecuteScript_Result", "timeoutMs": 20000},
      {"do": "executeScript", "script": "1 + 1", "tag": "next"},
      {"do": "end"}]})");
  ASSERT_EQ(0, run.code) << run.output;
  bool step_timed_out = false;
  for (const Json::Value& ack : Events(run, "ack"))
    step_timed_out = step_timed_out || (ack["step"].asInt() == 3 && ack["outcome"] == "timeout");
  EXPECT_TRUE(step_timed_out);
  std::map<std::string, Json::Value> r = Results(run);
  EXPECT_EQ("worth the wait", r["slow"].asString());
  EXPECT_EQ(2, r["next"].asInt());
  ASSERT_EQ(1u, Events(run, "exit").size());
  EXPECT_EQ(0, Events(run, "exit")[0]["code"].asInt());
}

// The handle switch keeps the low 32 bits of the number it reads, so the
// host window's handle plus or minus 2^32 still reaches it.
TEST(HostileHostWindowTest, HandlesWithTheSameLow32BitsReachTheHostWindow) {
  for (const char* handle : {"${hostWindow+2^32}", "${hostWindow-2^32}"}) {
    const ClientRun run = RunText(std::string(R"json({"start": {"handle": ")json") + handle +
                                  R"json("},
      "host": {"objects": {"7": {"methods": {"ping": {"returns": "pong"}}}},
               "named": {"*": [{"name": "host", "object": 7}]}},
      "steps": [{"do": "createBrowser"}, {"do": "createContext"},
                {"do": "executeScript", "script": "host.ping()", "tag": "ping"}]})json");
    ExpectCleanRun(run);
    EXPECT_EQ("pong", Results(run)["ping"].asString()) << handle;
    const Json::Value start = Events(run, "start").at(0);
    const int64_t window = start["hostWindow"].asInt64();
    const int64_t shifted = std::string(handle).find('+') != std::string::npos
                                ? window + (int64_t{1} << 32)
                                : window - (int64_t{1} << 32);
    EXPECT_EQ("--browser-message-window-handle=" + std::to_string(shifted),
              start["argv"][2].asString());
  }
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
