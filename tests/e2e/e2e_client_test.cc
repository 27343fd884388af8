// nuv_client as a program: its command line, its refusal of bad scenario
// files, and the transcripts of the example scenarios played against the
// real nuv_subprocess.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

constexpr int kExitUsage = 64;
constexpr int kExitBadScenario = 65;
constexpr int kExitStartFailed = 69;

struct ClientRun {
  int code = -1;
  std::string output;
  std::vector<Json::Value> events;  // the lines that are JSON objects
};

ClientRun RunClient(const std::vector<std::string>& args) {
  ClientRun run;
  run.code = RunProgram(ClientPath(), args, &run.output, 60000);
  std::istringstream lines(run.output);
  std::string line;
  while (std::getline(lines, line)) {
    Json::Value event;
    if (Json::Reader().parse(line, event) && event.isObject())
      run.events.push_back(event);
  }
  return run;
}

ClientRun RunExample(const std::string& name) {
  return RunClient({"run", ExamplesDir() + "/" + name});
}

ClientRun RunScenarioText(const std::string& text) {
  ScratchDir dir;
  WriteFile(dir.File("s.json"), text);
  return RunClient({"run", dir.File("s.json")});
}

std::vector<Json::Value> Events(const ClientRun& run, const std::string& kind) {
  std::vector<Json::Value> out;
  for (const Json::Value& event : run.events) {
    if (event["event"].asString() == kind)
      out.push_back(event);
  }
  return out;
}

std::vector<Json::Value> Messages(const ClientRun& run, const std::string& name) {
  std::vector<Json::Value> out;
  for (const Json::Value& event : Events(run, "message")) {
    if (event["name"].asString() == name)
      out.push_back(event);
  }
  return out;
}

// The value record in index 3 of the result message whose tag is `tag`.
Json::Value ResultRecord(const ClientRun& run, const std::string& tag) {
  for (const char* name :
       {"NuvChromeBrowser_ExecuteScript_Result", "NuvChromeBrowser_ExecuteFunction_Result"}) {
    for (const Json::Value& message : Messages(run, name)) {
      if (message["args"][2].asString() == tag) {
        Json::Value record;
        Json::Reader().parse(message["args"][3].asString(), record);
        return record;
      }
    }
  }
  return Json::Value();
}

int ExitCode(const ClientRun& run) {
  const std::vector<Json::Value> exits = Events(run, "exit");
  return exits.size() == 1 && exits[0]["code"].isInt() ? exits[0]["code"].asInt() : -1;
}

TEST(ClientCommandLineTest, HelpUsageAndStartFailures) {
  ClientRun help = RunClient({"--help"});
  EXPECT_EQ(0, help.code);
  EXPECT_NE(std::string::npos, help.output.find("nuv_client run SCENARIO.json"));

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate"},
                                             {"run"},
                                             {"run", "a", "b"},
                                             {"run", "a.json", "--bogus"},
                                             {"run", "a.json", "--subprocess"}}) {
    const ClientRun run = RunClient(args);
    EXPECT_EQ(kExitUsage, run.code) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Usage")) << run.output;
  }

  const std::string example = ExamplesDir() + "/one-plus-one.json";
  EXPECT_EQ(kExitStartFailed, RunClient({"run", example, "--subprocess", "/nonexistent/x"}).code);
  EXPECT_EQ(kExitStartFailed, RunClient({"run", example, "--subprocess", example}).code);
}

TEST(ClientCommandLineTest, BadScenarioFilesAreRefusedWithAReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"", "not valid JSON"},
      {"{\"steps\": [", "not valid JSON"},
      {"[]", "must be a JSON object"},
      {"{}", "\"steps\""},
      {"{\"steps\": {}}", "\"steps\""},
      {"{\"steps\": [], \"extra\": 1}", "unknown member \"extra\""},
      {"{\"steps\": [5]}", "step 1"},
      {"{\"steps\": [{}]}", "\"do\" is missing"},
      {"{\"steps\": [{\"do\": \"fly\"}]}", "unknown action \"fly\""},
      {"{\"steps\": [{\"do\": \"createBrowser\", \"browser\": \"1\"}]}", "\"browser\""},
      {"{\"steps\": [{\"do\": \"createBrowser\", \"browser\": 4294967296}]}", "\"browser\""},
      {"{\"steps\": [{\"do\": \"send\", \"name\": \"x\", \"args\": [{\"a\": 1}]}]}", "\"args\""},
      {"{\"steps\": [{\"do\": \"send\", \"args\": []}]}", "\"name\" is missing"},
      {"{\"steps\": [{\"do\": \"wait\", \"for\": \"x\", \"ms\": 5}]}", "exactly one"},
      {"{\"steps\": [{\"do\": \"wait\", \"ms\": -5}]}", "\"ms\""},
      {"{\"steps\": [{\"do\": \"executeScript\"}]}", "\"script\" is missing"},
      {"{\"start\": {\"debug\": \"yes\"}, \"steps\": []}", "\"debug\""},
      {"{\"start\": {\"handle\": \"${nothing}\"}, \"steps\": []}", "${nothing}"},
      {"{\"host\": {\"objects\": {\"x\": {}}}, \"steps\": []}", "host objects"},
      {"{\"host\": [], \"steps\": []}", "\"host\""},
  };
  for (const Case& c : cases) {
    const ClientRun run = RunScenarioText(c.text);
    EXPECT_EQ(kExitBadScenario, run.code) << c.text << "\n" << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.reason)) << c.text << "\n" << run.output;
    EXPECT_TRUE(run.events.empty()) << c.text;
  }
  EXPECT_EQ(kExitBadScenario, RunClient({"run", "/nonexistent/scenario.json"}).code);
}

TEST(ClientScenarioTest, OnePlusOneTranscript) {
  const ClientRun run = RunExample("one-plus-one.json");
  ASSERT_EQ(0, run.code) << run.output;
  const std::vector<Json::Value> results = Messages(run, "NuvChromeBrowser_ExecuteScript_Result");
  ASSERT_EQ(1u, results.size());
  Json::Value expected(Json::arrayValue);
  expected.append(1);
  expected.append(true);
  expected.append("t1");
  expected.append("{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n");
  EXPECT_EQ(expected, results[0]["args"]);
  EXPECT_EQ(0, ExitCode(run));

  // The named-object request is a 16-byte packet: ids and four zero bytes.
  const std::vector<Json::Value> requests = Events(run, "request");
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("01 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00", requests[0]["bytes"].asString());
  EXPECT_EQ(1u, Events(run, "reply").size());

  const std::string handle = Events(run, "start")[0]["hostWindow"].asString();
  bool logged = false;
  for (const Json::Value& log : Events(run, "log"))
    logged = logged || log["line"].asString().find("): com browser window handle: " + handle) !=
                           std::string::npos;
  EXPECT_TRUE(logged);
}

TEST(ClientScenarioTest, WithoutTypeTheProcessEndsWithMinusOneAndNoLog) {
  const ClientRun run = RunExample("no-type.json");
  ASSERT_EQ(0, run.code) << run.output;
  EXPECT_EQ(255, ExitCode(run));
  ASSERT_EQ(1u, Events(run, "logFile").size());
  EXPECT_FALSE(Events(run, "logFile")[0]["exists"].asBool());
  EXPECT_TRUE(Events(run, "message").empty());
}

TEST(ClientScenarioTest, DemoShowsEveryKindOfTraffic) {
  const ClientRun run = RunExample("demo.json");
  ASSERT_EQ(0, run.code) << run.output;
  EXPECT_EQ(0, ExitCode(run));
  EXPECT_EQ(4711, ResultRecord(run, "rw-1")["value"].asInt());
  EXPECT_EQ("Now: Quarterly report (draft) (15 pages)",
            ResultRecord(run, "fn-1")["value"].asString());
  EXPECT_EQ("saved by the client", ResultRecord(run, "rw-2")["value"].asString());
  EXPECT_EQ("undefined", ResultRecord(run, "gone")["value"].asString());

  const std::vector<Json::Value> commands = Events(run, "documentCommand");
  ASSERT_EQ(1u, commands.size());
  EXPECT_EQ("bold", commands[0]["command"].asString());

  const std::vector<Json::Value> exceptions = Messages(run, "NuvChromeBrowser_UncaughtException");
  ASSERT_EQ(1u, exceptions.size());
  EXPECT_EQ("caught.js", exceptions[0]["args"][1].asString());
  EXPECT_EQ("null.property", exceptions[0]["args"][2].asString());

  const std::vector<Json::Value> releases = Events(run, "release");
  ASSERT_EQ(1u, releases.size());
  EXPECT_EQ(7, releases[0]["objectId"].asInt());
  EXPECT_EQ(1, releases[0]["releases"].asInt());
  EXPECT_FALSE(Events(run, "log").empty());
}

TEST(ClientScenarioTest, CallbacksOfReleasedContextsAndOtherBrowsers) {
  const ClientRun frames = RunExample("two-frames.json");
  ASSERT_EQ(0, frames.code) << frames.output;
  EXPECT_EQ(2u, Messages(frames, "NuvChromeBrowser_ContextCreated").size());
  EXPECT_EQ(1, ResultRecord(frames, "after-live-call")["value"].asInt());
  EXPECT_EQ(1, ResultRecord(frames, "after-released-call")["value"].asInt());

  const ClientRun other = RunExample("other-browser.json");
  ASSERT_EQ(0, other.code) << other.output;
  EXPECT_EQ("answered by the client", ResultRecord(other, "use")["value"].asString());
  EXPECT_EQ("hello from browser 1", ResultRecord(other, "heard")["value"].asString());
  ASSERT_EQ(1u, Events(other, "otherBrowserCall").size());
}

TEST(ClientScenarioTest, BadMessagesAreSurvivedAndVisible) {
  const ClientRun run = RunExample("bad-input.json");
  ASSERT_EQ(0, run.code) << run.output;
  EXPECT_EQ(0, ExitCode(run));
  bool declined = false;
  for (const Json::Value& ack : Events(run, "ack"))
    declined = declined || (ack["step"].asInt() == 3 && ack["outcome"].asString() == "declined");
  EXPECT_TRUE(declined);
  const std::vector<Json::Value> unknown = Messages(run, "NuvChromeBrowser_ExecuteFunction_Result");
  ASSERT_FALSE(unknown.empty());
  EXPECT_FALSE(unknown[0]["args"][1].asBool());
  EXPECT_EQ("", unknown[0]["args"][3].asString());
  EXPECT_EQ(0, ResultRecord(run, "unparsable")["value"].asInt());
  EXPECT_EQ(2, ResultRecord(run, "still-alive")["value"].asInt());
}

TEST(ClientScenarioTest, UnmetWaitsAndPlaceholdersBecomeEvents) {
  const ClientRun run = RunScenarioText(R"({"steps": [
      {"do": "createBrowser"}, {"do": "createContext"},
      {"do": "callBack"},
      {"do": "wait", "for": "NuvChromeBrowser_Never", "timeoutMs": 200},
      {"do": "wait", "count": 1, "timeoutMs": 5000},
      {"do": "end"},
      {"do": "createBrowser", "browser": 2}]})");
  ASSERT_EQ(0, run.code) << run.output;
  const std::vector<Json::Value> errors = Events(run, "error");
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(3, errors[0]["step"].asInt());
  EXPECT_NE(std::string::npos, errors[0]["message"].asString().find("${callback}"));
  EXPECT_EQ(7, errors[1]["step"].asInt());
  const std::vector<Json::Value> timeouts = Events(run, "timeout");
  ASSERT_EQ(1u, timeouts.size());
  EXPECT_EQ(4, timeouts[0]["step"].asInt());
  EXPECT_EQ(0, ExitCode(run));
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
