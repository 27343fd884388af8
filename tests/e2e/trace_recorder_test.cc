// The trace recorder on hand-made transcripts: what a real run rarely
// shows (a request without a reply, a stray reply, the host window's death,
// a request read after the result of a command it overlaps).
#include "host/client/trace_recorder.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

namespace nuv {
namespace host {
namespace {

Json::Value Parse(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(Json::Reader().parse(text, value)) << text;
  return value;
}

Json::Value Record(const std::vector<std::string>& events) {
  TraceRecorder recorder("t.json");
  for (const std::string& event : events)
    recorder.Observe(Parse(event));
  return recorder.Finish();
}

std::vector<Json::Value> Find(const Json::Value& trace, const std::string& phase) {
  std::vector<Json::Value> found;
  for (const Json::Value& event : trace["traceEvents"]) {
    if (event["ph"].asString() == phase)
      found.push_back(event);
  }
  return found;
}

TEST(TraceRecorderTest, RequestsWithoutRepliesAndRepliesWithoutRequestsAreInstants) {
  const Json::Value trace = Record({
      R"({"event":"step","index":1,"step":{"do":"runPageScript"},"time":100})",
      R"({"event":"request","kindName":"BRIDGE_GET_PROPERTY","requestId":2,"time":110})",
      R"({"event":"request","kindName":"BRIDGE_CALL_METHOD","requestId":3,"time":120})",
      R"({"event":"hostWindowGone","requestId":3,"time":125})",
      R"({"event":"reply","requestId":9,"duration":5,"time":130})",
      R"({"event":"request","kindName":"BRIDGE_RELEASE_OBJECT","requestId":4,"time":140})",
  });
  std::vector<std::string> names;
  for (const Json::Value& instant : Find(trace, "i"))
    names.push_back(instant["tid"].asString() + " " + instant["name"].asString());
  EXPECT_EQ((std::vector<std::string>{"2 BRIDGE_GET_PROPERTY #2 (no reply)",
                                      "2 BRIDGE_CALL_METHOD #3 (no reply)",
                                      "3 host window's process died", "3 reply without a request",
                                      "2 BRIDGE_RELEASE_OBJECT #4 (no reply)"}),
            names);
  EXPECT_TRUE(Find(trace, "s").empty());
  // The open step closes at the last event's time.
  const std::vector<Json::Value> slices = Find(trace, "X");
  ASSERT_EQ(1u, slices.size());
  EXPECT_EQ(40, slices[0]["dur"].asInt());
}

TEST(TraceRecorderTest, ACommandEndsWhereARequestReadAfterItsResultBegan) {
  const Json::Value trace = Record({
      R"({"event":"step","index":1,"step":{"do":"collectGarbage"},"time":1000})",
      R"({"event":"ack","step":1,"outcome":"done","duration":500,"time":1600})",
      R"({"event":"request","kindName":"BRIDGE_RELEASE_OBJECT","requestId":5,"time":1550})",
      R"({"event":"reply","requestId":5,"duration":100,"time":1650})",
  });
  std::vector<Json::Value> commands;
  for (const Json::Value& slice : Find(trace, "X")) {
    if (slice["name"] == "collectGarbage")
      commands.push_back(slice);
  }
  ASSERT_EQ(1u, commands.size());
  EXPECT_EQ(1100, commands[0]["ts"].asInt());
  EXPECT_EQ(450, commands[0]["dur"].asInt());
  ASSERT_EQ(1u, Find(trace, "s").size());
  EXPECT_EQ(Find(trace, "s")[0]["id"], Find(trace, "f")[0]["id"]);
  EXPECT_EQ(1600, Find(trace, "s")[0]["ts"].asInt());
}

}  // namespace
}  // namespace host
}  // namespace nuv
