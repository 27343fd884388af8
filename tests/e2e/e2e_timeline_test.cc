// The timeline of a run: every transcript event's time and the durations of
// what ends something, and the --trace file that Perfetto and Chromium's
// tracing tools load, read back from a real run of examples/demo.json.
#include <map>
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

constexpr int kClientTrack = 1;
constexpr int kRenderTrack = 2;
constexpr int kHostWindowTrack = 3;

std::vector<Json::Value> JsonLines(const std::string& output) {
  std::vector<Json::Value> events;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    Json::Value event;
    if (Json::Reader().parse(line, event) && event.isObject())
      events.push_back(event);
  }
  return events;
}

// One run of the demo with --trace, shared by the tests below.
struct DemoRun {
  int code = -1;
  std::string output;
  std::vector<Json::Value> events;
  Json::Value trace;
};

const DemoRun& Demo() {
  static const DemoRun* run = [] {
    auto* demo = new DemoRun;
    ScratchDir dir;
    demo->code = RunProgram(ClientPath(),
                            {"run", ExamplesDir() + "/demo.json", "--strict", "--subprocess",
                             SubprocessPath(), "--trace", dir.File("trace.json")},
                            &demo->output, 60000);
    demo->events = JsonLines(demo->output);
    Json::Reader().parse(ReadFile(dir.File("trace.json")), demo->trace);
    return demo;
  }();
  return *run;
}

bool Within(const Json::Value& inner, const Json::Value& outer) {
  const int64_t begin = outer["ts"].asInt64();
  const int64_t end = begin + outer["dur"].asInt64();
  return inner["ts"].asInt64() >= begin &&
         inner["ts"].asInt64() + inner.get("dur", 0).asInt64() <= end;
}

std::vector<Json::Value> TraceEvents(const Json::Value& trace, const std::string& phase, int tid) {
  std::vector<Json::Value> out;
  for (const Json::Value& event : trace["traceEvents"]) {
    if (event["ph"].asString() == phase && event["tid"].asInt() == tid)
      out.push_back(event);
  }
  return out;
}

TEST(TimelineTest, EveryEventHasATimeAndWhatEndsSomethingItsDuration) {
  const DemoRun& run = Demo();
  ASSERT_EQ(0, run.code) << run.output;
  Json::Value last_request;
  int replies = 0;
  int acks = 0;
  for (const Json::Value& event : run.events) {
    ASSERT_TRUE(event["time"].isIntegral()) << event.toStyledString();
    EXPECT_GE(event["time"].asInt64(), 0);
    const std::string kind = event["event"].asString();
    if (kind == "request")
      last_request = event;
    if (kind == "reply") {
      ++replies;
      ASSERT_TRUE(event["duration"].isIntegral());
      EXPECT_GE(event["duration"].asInt64(), 0);
      // The reply ends the request written just before it.
      EXPECT_EQ(last_request["time"].asInt64(),
                event["time"].asInt64() - event["duration"].asInt64());
    }
    if (kind == "ack") {
      ++acks;
      ASSERT_TRUE(event["duration"].isIntegral());
      EXPECT_GE(event["duration"].asInt64(), 0);
      EXPECT_LE(event["duration"].asInt64(), event["time"].asInt64());
    }
    if (kind == "exit") {
      EXPECT_EQ(event["time"], event["duration"]);
    }
    if (kind == "step" || kind == "message" || kind == "send") {
      EXPECT_FALSE(event.isMember("duration")) << kind;
    }
  }
  EXPECT_GT(replies, 5);
  EXPECT_GT(acks, 10);
}

TEST(TimelineTest, PatternsMayNameTimesAndDurations) {
  ScratchDir dir;
  WriteFile(dir.File("s.json"), R"({
    "host": {"objects": {"7": {"properties": {"title": "t"}}},
             "named": {"*": [{"name": "doc", "object": 7}]}},
    "steps": [
      {"do": "createBrowser", "browser": 1},
      {"do": "createContext", "browser": 1, "frame": "main"},
      {"do": "runPageScript", "script": "doc.title"},
      {"do": "expect", "reply": {"text": {"regex": "\"t\""}, "duration": {"regex": "^[0-9]+$"}}},
      {"do": "expect", "ack": {"duration": {"regex": "^-"}}, "absent": true}
    ]})");
  std::string output;
  EXPECT_EQ(0, RunProgram(ClientPath(),
                          {"run", dir.File("s.json"), "--strict", "--subprocess", SubprocessPath()},
                          &output, 60000))
      << output;
}

TEST(TimelineTest, TraceHasThreeNamedTracksAndRequestsNestedInTheirCommands) {
  const DemoRun& run = Demo();
  ASSERT_TRUE(run.trace["traceEvents"].isArray()) << run.output;
  std::map<int, std::string> tracks;
  for (const Json::Value& event : run.trace["traceEvents"]) {
    if (event["ph"] == "M" && event["name"] == "thread_name")
      tracks[event["tid"].asInt()] = event["args"]["name"].asString();
    EXPECT_EQ(1, event["pid"].asInt());
  }
  EXPECT_EQ((std::map<int, std::string>{{kClientTrack, "client"},
                                        {kRenderTrack, "render process"},
                                        {kHostWindowTrack, "host window"}}),
            tracks);

  std::vector<Json::Value> commands;
  std::vector<Json::Value> requests;
  for (const Json::Value& slice : TraceEvents(run.trace, "X", kRenderTrack))
    (slice["args"].isMember("kindName") ? requests : commands).push_back(slice);
  int replies = 0;
  for (const Json::Value& event : run.events)
    replies += event["event"] == "reply";
  EXPECT_EQ(static_cast<size_t>(replies), requests.size());
  EXPECT_EQ(requests.size(), TraceEvents(run.trace, "X", kHostWindowTrack).size());

  // Every request a command caused lies inside that command's slice; slices
  // of one track never overlap partly.
  int nested = 0;
  for (const Json::Value& request : requests) {
    for (const Json::Value& command : commands) {
      const bool starts_inside =
          request["ts"].asInt64() >= command["ts"].asInt64() &&
          request["ts"].asInt64() < command["ts"].asInt64() + command["dur"].asInt64();
      if (starts_inside) {
        EXPECT_TRUE(Within(request, command))
            << request.toStyledString() << command.toStyledString();
        ++nested;
      }
    }
  }
  EXPECT_GE(nested, 8);
  for (const char* name : {"BRIDGE_GET_PROPERTY #2", "BRIDGE_CALL_METHOD #4"}) {
    bool found = false;
    for (const Json::Value& request : requests)
      found = found || request["name"] == name;
    EXPECT_TRUE(found) << name;
  }
  const std::vector<Json::Value> steps = TraceEvents(run.trace, "X", kClientTrack);
  EXPECT_GT(steps.size(), 20u);
}

TEST(TimelineTest, FlowsTieEachRequestToItsAnswerAndReleasesAndGcsAreInstants) {
  const DemoRun& run = Demo();
  std::map<uint64_t, Json::Value> starts;
  std::map<uint64_t, Json::Value> finishes;
  for (const Json::Value& event : run.trace["traceEvents"]) {
    if (event["ph"] == "s") {
      EXPECT_TRUE(starts.emplace(event["id"].asUInt64(), event).second) << event.toStyledString();
    }
    if (event["ph"] == "f") {
      EXPECT_TRUE(finishes.emplace(event["id"].asUInt64(), event).second) << event.toStyledString();
    }
  }
  ASSERT_FALSE(starts.empty());
  ASSERT_EQ(starts.size(), finishes.size());
  std::map<uint64_t, Json::Value> request_slices;
  std::map<uint64_t, Json::Value> answer_slices;
  for (const Json::Value& slice : TraceEvents(run.trace, "X", kRenderTrack)) {
    if (slice["args"].isMember("flow"))
      request_slices[slice["args"]["flow"].asUInt64()] = slice;
  }
  for (const Json::Value& slice : TraceEvents(run.trace, "X", kHostWindowTrack))
    answer_slices[slice["args"]["flow"].asUInt64()] = slice;
  for (const auto& [id, start] : starts) {
    ASSERT_EQ(1u, finishes.count(id)) << id;
    EXPECT_EQ(kRenderTrack, start["tid"].asInt());
    EXPECT_EQ(kHostWindowTrack, finishes[id]["tid"].asInt());
    ASSERT_EQ(1u, request_slices.count(id));
    ASSERT_EQ(1u, answer_slices.count(id));
    EXPECT_TRUE(Within(start, request_slices[id])) << id;
    EXPECT_TRUE(Within(finishes[id], answer_slices[id])) << id;
    EXPECT_EQ("answer " + request_slices[id]["name"].asString(),
              answer_slices[id]["name"].asString());
  }

  int releases = 0;
  for (const Json::Value& event : run.events)
    releases += event["event"] == "release";
  int release_instants = 0;
  for (const Json::Value& instant : TraceEvents(run.trace, "i", kHostWindowTrack))
    release_instants += instant["name"].asString().rfind("release object", 0) == 0;
  EXPECT_GE(releases, 1);
  EXPECT_EQ(releases, release_instants);
  int gcs = 0;
  for (const Json::Value& instant : TraceEvents(run.trace, "i", kRenderTrack))
    gcs += instant["name"] == "GC";
  EXPECT_EQ(1, gcs);
}

TEST(TimelineTest, UnwritableOutputFilesAndOutputFilesOfCheckAreRefusedBeforeAnyRun) {
  std::string output;
  EXPECT_EQ(64, RunProgram(ClientPath(),
                           {"run", ExamplesDir() + "/one-plus-one.json", "--subprocess",
                            SubprocessPath(), "--trace", "/nonexistent/dir/trace.json"},
                           &output, 60000));
  EXPECT_NE(std::string::npos, output.find("--trace: cannot write /nonexistent/dir/trace.json"))
      << output;
  EXPECT_EQ(64, RunProgram(ClientPath(),
                           {"run", ExamplesDir() + "/one-plus-one.json", "--subprocess",
                            SubprocessPath(), "--html", "/nonexistent/dir/run.html"},
                           &output, 60000));
  EXPECT_NE(std::string::npos, output.find("--html: cannot write /nonexistent/dir/run.html"))
      << output;
  // Each file is that of one run: check, which plays many, refuses them.
  for (const char* option : {"--trace", "--html"}) {
    EXPECT_EQ(64,
              RunProgram(ClientPath(), {"check", ExamplesDir(), option, "/tmp/x"}, &output, 60000));
    EXPECT_NE(std::string::npos,
              output.find(std::string(option) +
                          " writes the file of one run: use it with run SCENARIO.json"))
        << output;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
