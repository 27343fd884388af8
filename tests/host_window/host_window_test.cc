// The host window in this process against a render-side process that sends
// raw bridge packets from its own helper window.

#include "host/window/host_window.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "host/window/value_records.h"
#include "tests/host_window/render_peer_client.h"

namespace nuv {
namespace host {
namespace {

using test::Exchange;
using test::ReplyText;
using test::RequestPacket;

const char kConfig[] = R"({
  "objects": {
    "7": {
      "properties": {"title": "Hello", "child": {"object": 8}, "count": 3},
      "methods": {
        "open": {"returns": {"valueType": "NuvValueInt", "value": 1}},
        "first": {"echo": "first"},
        "all": {"echo": "all"},
        "make": {"returnsNewObject": 8},
        "childOf": {"returns": [{"object": 8}, 2.5]}
      }
    },
    "8": {"properties": {"name": "child"}, "methods": {"close": {"returns": true}}}
  },
  "named": {
    "*": [{"name": "external", "object": 7}],
    "2": [{"name": "other", "object": 8}, {"name": "version", "object": "1.0"}]
  },
  "otherBrowserCallResult": {"valueType": "NuvValueString", "value": "queued"}
})";

const char kObject7[] =
    R"({"browserId":1,"methodNames":"all\nchildOf\nfirst\nmake\nopen","objectId":7,)"
    R"("propertyNames":"child\ncount\ntitle","valueType":"NuvValueComObject"})";
const char kObject8[] =
    R"({"browserId":1,"methodNames":"close","objectId":8,"propertyNames":"name",)"
    R"("valueType":"NuvValueComObject"})";

class HostWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.SetLogHandler([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(log_mutex_);
      log_.push_back(line);
    });
    std::string error;
    ASSERT_TRUE(host_.Configure(kConfig, &error)) << error;
    ASSERT_TRUE(host_.Start());
    ASSERT_TRUE(peer_.Start(host_.handle()));
  }

  // Sends one request and returns the text of its single reply.
  std::string Ask(uintptr_t kind, int32_t browser, int32_t object, const std::string& text) {
    Exchange exchange = peer_.Send(kind, RequestPacket(browser, ++request_id_, object, text));
    EXPECT_TRUE(exchange.io_ok && exchange.sent);
    if (exchange.replies.size() != 1) {
      ADD_FAILURE() << "replies: " << exchange.replies.size();
      return "<no reply>";
    }
    return ReplyText(exchange.replies[0]);
  }

  bool Logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(log_mutex_);
    for (const auto& line : log_) {
      if (line.find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  HostWindow host_;
  test::RenderPeer peer_;
  int32_t request_id_ = 0;
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

TEST_F(HostWindowTest, AnswersThePropertyReadExampleByteExact) {
  for (int i = 0; i < 4; ++i)
    Ask(kBridgeGetProperty, 1, 7, "count");
  std::vector<uint8_t> request = {0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00,
                                  0x00, 0x74, 0x69, 0x74, 0x6C, 0x65, 0x00, 0x00, 0x00, 0x00};
  Exchange exchange = peer_.Send(kBridgeGetProperty, request);
  ASSERT_TRUE(exchange.sent);
  ASSERT_EQ(1u, exchange.replies.size());
  const auto& reply = exchange.replies[0];
  EXPECT_EQ(0u, reply.dw_data);
  std::string text = "{\"browserId\":1,\"value\":\"Hello\",\"valueType\":\"NuvValueString\"}\n";
  std::vector<uint8_t> expected = {0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0, 0, 0, 0};
  expected.insert(expected.end(), text.begin(), text.end());
  expected.push_back(0);
  EXPECT_EQ(expected, reply.bytes);

  ASSERT_TRUE(host_.requests().WaitForCount(5, std::chrono::seconds(5)));
  LoggedRequest fifth = host_.requests().Entries()[4];
  EXPECT_EQ(kBridgeGetProperty, fifth.kind);
  EXPECT_EQ(1, fifth.browser_id);
  EXPECT_EQ(5, fifth.request_id);
  EXPECT_EQ(7, fifth.object_id);
  EXPECT_EQ("title", fifth.text);
  EXPECT_EQ(request, fifth.raw);
  EXPECT_NE(0u, fifth.helper_window);
  EXPECT_TRUE(fifth.replied);
  EXPECT_EQ(text, fifth.reply_text);
  EXPECT_EQ(expected, fifth.reply_raw);
  EXPECT_TRUE(fifth.problem.empty()) << fifth.problem;
}

TEST_F(HostWindowTest, AnswersNamedObjectsPropertiesAndMethods) {
  // Named objects: the default list, and a browser with its own.
  EXPECT_EQ(std::string("[{\"name\":\"external\",\"object\":") + kObject7 + "}]\n",
            Ask(kBridgeGetNamedObjects, 1, 0, ""));
  EXPECT_EQ(
      "[{\"name\":\"other\",\"object\":{\"browserId\":2,\"methodNames\":\"close\",\"objectId\":8,"
      "\"propertyNames\":\"name\",\"valueType\":\"NuvValueComObject\"}},{\"name\":\"version\","
      "\"object\":{\"browserId\":2,\"value\":\"1.0\",\"valueType\":\"NuvValueString\"}}]\n",
      Ask(kBridgeGetNamedObjects, 2, 0, ""));

  // Properties: a nested host object, a missing one, a write read back.
  EXPECT_EQ(std::string(kObject8) + "\n", Ask(kBridgeGetProperty, 1, 7, "child"));
  EXPECT_EQ("{\"browserId\":1,\"valueType\":\"NuvValueNull\"}\n",
            Ask(kBridgeGetProperty, 1, 7, "missing"));
  EXPECT_EQ("{\"browserId\":1,\"valueType\":\"NuvValueNull\"}\n",
            Ask(kBridgeSetProperty, 1, 7,
                "{\"propertyName\":\"title\",\"value\":{\"browserId\":1,\"value\":\"abc\","
                "\"valueType\":\"NuvValueString\"}}\n"));
  EXPECT_EQ("{\"browserId\":1,\"value\":\"abc\",\"valueType\":\"NuvValueString\"}\n",
            Ask(kBridgeGetProperty, 1, 7, "title"));
  // A host object written by a page reads back with its identifier.
  Ask(kBridgeSetProperty, 1, 7,
      "{\"propertyName\":\"count\",\"value\":{\"browserId\":1,\"methodNames\":\"close\","
      "\"propertyNames\":\"name\",\"value\":8,\"valueType\":\"NuvValueComObject\"}}\n");
  EXPECT_EQ(
      "{\"browserId\":1,\"methodNames\":\"close\",\"objectId\":8,\"propertyNames\":\"name\","
      "\"value\":8,\"valueType\":\"NuvValueComObject\"}\n",
      Ask(kBridgeGetProperty, 1, 7, "count"));

  // Methods.
  EXPECT_EQ("{\"browserId\":3,\"value\":1,\"valueType\":\"NuvValueInt\"}\n",
            Ask(kBridgeCallMethod, 3, 7, "{\"arguments\":[],\"methodName\":\"open\"}\n"));
  std::string function =
      "{\"browserId\":1,\"keys\":\"\",\"value\":4,\"valueType\":\"NuvValueV8Function\"}";
  std::string two = "{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}";
  std::string call = "{\"arguments\":[" + function + "," + two + "],\"methodName\":\"first\"}\n";
  EXPECT_EQ(
      "{\"browserId\":1,\"keys\":\"\",\"objectId\":4,\"value\":4,\"valueType\":"
      "\"NuvValueV8Function\"}\n",
      Ask(kBridgeCallMethod, 1, 7, call));
  EXPECT_EQ("[" + two + "]\n",
            Ask(kBridgeCallMethod, 1, 7, "{\"arguments\":[" + two + "],\"methodName\":\"all\"}\n"));
  EXPECT_EQ("{\"browserId\":1,\"valueType\":\"NuvValueNull\"}\n",
            Ask(kBridgeCallMethod, 1, 7, "{\"arguments\":[],\"methodName\":\"first\"}\n"));
  EXPECT_EQ("[" + std::string(kObject8) +
                ",{\"browserId\":1,\"value\":2.5,\"valueType\":\"NuvValueDouble\"}]\n",
            Ask(kBridgeCallMethod, 1, 7, "{\"arguments\":[],\"methodName\":\"childOf\"}\n"));

  // A fresh object per call, answering like its template.
  Json::Value made;
  ASSERT_TRUE(ParseJson(
      Ask(kBridgeCallMethod, 1, 7, "{\"arguments\":[],\"methodName\":\"make\"}\n"), &made));
  ASSERT_TRUE(made["objectId"].isInt());
  int32_t fresh = made["objectId"].asInt();
  EXPECT_NE(7, fresh);
  EXPECT_NE(8, fresh);
  EXPECT_EQ("{\"browserId\":1,\"value\":\"child\",\"valueType\":\"NuvValueString\"}\n",
            Ask(kBridgeGetProperty, 1, fresh, "name"));

  // Code plugged in for one method.
  host_.objects().SetMethodHandler(8, "close", [](int32_t browser, const Json::Value& arguments) {
    Json::Value record = NullRecord(browser);
    record["valueType"] = "NuvValueInt";
    record["value"] = static_cast<int>(arguments.size());
    return record;
  });
  EXPECT_EQ("{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n",
            Ask(kBridgeCallMethod, 1, 8,
                "{\"arguments\":[" + two + "," + two + "],\"methodName\":\"close\"}\n"));
}

TEST_F(HostWindowTest, CountsReleasesAndKeepsAnswering) {
  EXPECT_EQ("", Ask(kBridgeReleaseObject, 1, 7, ""));
  EXPECT_EQ("", Ask(kBridgeReleaseObject, 1, 7, ""));
  EXPECT_EQ("", Ask(kBridgeReleaseObject, 2, 8, ""));
  EXPECT_EQ(2, host_.objects().ReleaseCount(7));
  EXPECT_EQ(1, host_.objects().ReleaseCount(8));
  EXPECT_EQ(0, host_.objects().ReleaseCount(9));
  EXPECT_EQ(std::string(kObject8) + "\n", Ask(kBridgeGetProperty, 1, 7, "child"));
  auto entries = host_.requests().Entries();
  ASSERT_EQ(4u, entries.size());
  EXPECT_EQ(kBridgeReleaseObject, entries[2].kind);
  EXPECT_EQ(8, entries[2].object_id);
  EXPECT_EQ(2, entries[2].browser_id);
  EXPECT_EQ(16u, entries[2].raw.size());
}

TEST_F(HostWindowTest, AnswersOtherBrowserCallsAtOnceAndHandsThemOn) {
  std::mutex mutex;
  std::vector<OtherBrowserCall> calls;
  size_t logged_when_called = 0;
  host_.SetOtherBrowserCallHandler([&](const OtherBrowserCall& call) {
    std::lock_guard<std::mutex> lock(mutex);
    logged_when_called = host_.requests().Count();
    calls.push_back(call);
  });
  std::string text =
      "{\"arguments\":[{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}],"
      "\"browserId\":4,\"methodName\":\"nuvAnonymouFunction3\",\"objectId\":12}\n";
  EXPECT_EQ("{\"browserId\":4,\"value\":\"queued\",\"valueType\":\"NuvValueString\"}\n",
            Ask(kBridgeCallOtherBrowserFunction, 4, 12, text));
  EXPECT_EQ("{\"browserId\":4,\"value\":\"queued\",\"valueType\":\"NuvValueString\"}\n",
            Ask(kBridgeCallOtherBrowserFunction, 4, 13,
                "{\"arguments\":null,\"browserId\":4,\"methodName\":\"f\",\"objectId\":13}\n"));
  for (int i = 0; i < 500; ++i) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (calls.size() == 2)
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(4, calls[0].browser_id);
  EXPECT_EQ(12, calls[0].object_id);
  EXPECT_EQ("nuvAnonymouFunction3", calls[0].function_name);
  ASSERT_EQ(1u, calls[0].arguments.size());
  EXPECT_EQ(2, calls[0].arguments[0]["value"].asInt());
  EXPECT_TRUE(calls[1].arguments.isArray());
  EXPECT_EQ(0u, calls[1].arguments.size());
  // The handler ran after the request had been answered and logged.
  EXPECT_GE(logged_when_called, 1u);
}

TEST_F(HostWindowTest, SurvivesMalformedRequests) {
  const std::string null1 = "{\"browserId\":1,\"valueType\":\"NuvValueNull\"}\n";
  // Too short for browser and request id: nothing can be answered.
  for (size_t size : {0u, 4u, 7u}) {
    Exchange exchange = peer_.Send(kBridgeGetProperty, std::vector<uint8_t>(size, 1));
    EXPECT_TRUE(exchange.sent);
    EXPECT_TRUE(exchange.replies.empty()) << size;
  }
  // Ids without object id: answered with a record.
  std::vector<uint8_t> eight = {1, 0, 0, 0, 9, 0, 0, 0};
  Exchange exchange = peer_.Send(kBridgeGetProperty, eight);
  ASSERT_EQ(1u, exchange.replies.size());
  EXPECT_EQ(null1, ReplyText(exchange.replies[0]));
  EXPECT_EQ(9, exchange.replies[0].bytes[4]);
  // A text without terminator still reads up to the end of the packet.
  std::vector<uint8_t> unterminated = {1, 0, 0, 0,   10,  0,   0,   0,  7,
                                       0, 0, 0, 'c', 'o', 'u', 'n', 't'};
  exchange = peer_.Send(kBridgeGetProperty, unterminated);
  ASSERT_EQ(1u, exchange.replies.size());
  EXPECT_EQ("{\"browserId\":1,\"value\":3,\"valueType\":\"NuvValueInt\"}\n",
            ReplyText(exchange.replies[0]));
  // Unknown kind: an empty reply so the requester is not left waiting; a
  // reply sent to the host window: ignored.
  EXPECT_EQ("", Ask(9, 1, 7, "x"));
  exchange = peer_.Send(kBridgeReply, RequestPacket(1, 50, 0, "{}"));
  EXPECT_TRUE(exchange.replies.empty());
  // Texts that are not the JSON a kind needs.
  EXPECT_EQ(null1, Ask(kBridgeCallMethod, 1, 7, "not json"));
  EXPECT_EQ(null1, Ask(kBridgeCallMethod, 1, 7, "{\"methodName\":5}"));
  EXPECT_EQ(null1, Ask(kBridgeCallMethod, 1, 7, "{\"arguments\":7,\"methodName\":\"first\"}"));
  EXPECT_EQ(null1, Ask(kBridgeSetProperty, 1, 7, "[1,2]"));
  EXPECT_EQ(null1, Ask(kBridgeGetProperty, 1, 99, "title"));
  EXPECT_EQ(null1, Ask(kBridgeCallOtherBrowserFunction, 1, 3, "\xff\xfe"));
  // A large packet of garbage.
  std::vector<uint8_t> large = RequestPacket(1, 77, 7, std::string(3 << 20, 'z'));
  exchange = peer_.Send(kBridgeGetProperty, large);
  ASSERT_EQ(1u, exchange.replies.size());
  EXPECT_EQ(null1, ReplyText(exchange.replies[0]));
  // No helper window to answer to.
  exchange = peer_.Send(kBridgeGetProperty, RequestPacket(1, 78, 7, "title"), 0);
  EXPECT_TRUE(exchange.sent);
  EXPECT_TRUE(exchange.replies.empty());

  // Still answering, and every problem was reported.
  EXPECT_EQ("{\"browserId\":1,\"value\":\"Hello\",\"valueType\":\"NuvValueString\"}\n",
            Ask(kBridgeGetProperty, 1, 7, "title"));
  EXPECT_TRUE(Logged("has no header"));
  EXPECT_TRUE(Logged("has no object id"));
  EXPECT_TRUE(Logged("no terminator"));
  EXPECT_TRUE(Logged("unknown request kind 9"));
  EXPECT_TRUE(Logged("a reply was sent to the host window"));
  EXPECT_TRUE(Logged("could not be delivered to window 0"));
  auto entries = host_.requests().Entries();
  EXPECT_FALSE(entries.back().replied == false);
}

TEST(HostWindowConfigTest, RejectsBadConfigurationsWithoutChangingAnything) {
  HostWindow host;
  std::string error;
  for (const char* bad :
       {"not json",
        "[]",
        R"({"objects": []})",
        R"({"objects": {"x": {}}})",
        R"({"objects": {"0": {}}})",
        R"({"objects": {"5": {"properties": 3}}})",
        R"({"objects": {"5": {"methods": {"m": {"echo": "second"}}}}})",
        R"({"objects": {"5": {"methods": {"m": 1}}}})",
        R"({"objects": {"5": {"properties": {"p": {"object": "x"}}}}})",
        R"({"named": {"abc": []}})",
        R"({"objects": {"5": {}}, "named": {"*": 3}})",
        R"({"objects": {"5": {"methods": {"m": {"returns": 1, "retruns": 2}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"value": 1, "delayMs": -1}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"value": 1, "x": 1}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"replyText": {"hex": "0"}}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"replyTo": {"requestId": "1"}}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"replyKind": -1}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"replyTo": {"windowOf": "2"}}}}}})",
        R"({"objects": {"5": {"properties": {"p": {"noReply": 1}}}}})",
        R"({"named": {"*": {"value": [], "duplicateReply": 99}}})",
        R"({"objcts": {"5": {}}})",
        R"({"objects": {"5": {"proprties": {"p": 1}}}})"}) {
    error.clear();
    EXPECT_FALSE(host.Configure(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(host.objects().HasObject(5));
  EXPECT_EQ("[]\n", host.objects().NamedObjectsReply(1));
  // An unknown member is named with the ones allowed.
  EXPECT_FALSE(host.Configure(R"({"objects": {"5": {"methods": {"m": {"retruns": 2}}}}})", &error));
  EXPECT_NE(std::string::npos, error.find("\"retruns\"")) << error;
  EXPECT_NE(std::string::npos, error.find("\"returns\", \"echo\"")) << error;
  EXPECT_NE(std::string::npos, error.find("\"exitOnRequest\"")) << error;
  EXPECT_FALSE(host.Configure(R"({"objects": {"5": {"proprties": {}}}})", &error));
  EXPECT_NE(std::string::npos,
            error.find("unknown member \"proprties\" of object 5 (allowed: \"properties\", "
                       "\"methods\")"))
      << error;
  EXPECT_FALSE(host.Configure(R"({"objcts": {}})", &error));
  EXPECT_NE(std::string::npos, error.find("(allowed: \"objects\", \"named\", "
                                          "\"otherBrowserCallResult\")"))
      << error;
}

const char kMisbehavingConfig[] = R"({
  "objects": {
    "7": {
      "properties": {
        "plain": {"value": "p"},
        "silent": {"value": 1, "noReply": true},
        "text": {"value": 1, "replyText": "not json"},
        "empty": {"value": 1, "replyText": ""},
        "open": {"value": 1, "replyText": {"text": "{}", "terminator": false}},
        "zeros": {"value": 1, "replyText": {"hex": "7b 00 7d"}},
        "late": {"value": 2, "replyTo": {"requestId": "-1"}},
        "stray": {"value": 3, "replyTo": {"browserId": 9, "requestId": 1000}},
        "twice": {"value": 4, "duplicateReply": true},
        "kind": {"value": 5, "replyKind": 3},
        "slow": {"value": 6, "delayMs": 600000},
        "huge": {"value": 7, "replyText": {"repeat": "ab", "size": 67108864}},
        "dies": {"value": 8, "exitOnRequest": true},
        "nowhere": {"value": 9, "replyTo": {"windowOf": 77}}
      },
      "methods": {"m": {"returns": 1, "replyText": {"before": "[", "repeat": "0,", "size": 9,
                                                   "after": "0]"}}}
    }
  },
  "named": {"*": {"value": [42, {"name": 5}, {"verbatim": {"name": "v", "object": 7}},
                            {"name": "ok", "object": 7}],
                  "duplicateReply": 2}}
})";

class HostWindowMisbehaviourTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.SetLogHandler([](const std::string&) {});
    host_.SetExitOnRequestHandler([this] { ++exits_; });
    std::string error;
    ASSERT_TRUE(host_.Configure(kMisbehavingConfig, &error)) << error;
    ASSERT_TRUE(host_.Start());
    ASSERT_TRUE(peer_.Start(host_.handle()));
  }

  Exchange Read(const std::string& name, int32_t request_id) {
    Exchange exchange = peer_.Send(kBridgeGetProperty, RequestPacket(1, request_id, 7, name));
    EXPECT_TRUE(exchange.io_ok && exchange.sent) << name;
    return exchange;
  }

  LoggedRequest Last() { return host_.requests().Entries().back(); }

  HostWindow host_;
  test::RenderPeer peer_;
  std::atomic<int> exits_{0};
};

std::vector<uint8_t> Packet(int32_t browser, int32_t request, const std::string& bytes) {
  std::vector<uint8_t> packet = RequestPacket(browser, request, 0, bytes);
  packet.resize(12 + bytes.size());  // no terminator, no padding
  return packet;
}

TEST_F(HostWindowMisbehaviourTest, SendsTheRepliesItIsToldTo) {
  Exchange e = Read("plain", 1);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(Last().misbehaviour, "");

  e = Read("silent", 2);
  EXPECT_TRUE(e.replies.empty());
  EXPECT_TRUE(Last().no_reply);
  EXPECT_EQ("noReply", Last().misbehaviour);

  e = Read("text", 3);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(Packet(1, 3, std::string("not json\0", 9)), e.replies[0].bytes);
  e = Read("empty", 4);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(Packet(1, 4, std::string(1, '\0')), e.replies[0].bytes);
  e = Read("open", 5);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(Packet(1, 5, "{}"), e.replies[0].bytes) << "no terminating zero";
  e = Read("zeros", 6);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(Packet(1, 6, std::string("{\0}\0", 4)), e.replies[0].bytes);

  e = Read("late", 7);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(6, e.replies[0].bytes[4]) << "answered under the previous request id";
  EXPECT_EQ("replyTo requestId -1", Last().misbehaviour);
  e = Read("stray", 8);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(9, e.replies[0].bytes[0]);
  EXPECT_EQ(1000 & 0xFF, e.replies[0].bytes[4]);
  EXPECT_EQ(1000 >> 8, e.replies[0].bytes[5]);

  e = Read("twice", 9);
  ASSERT_EQ(2u, e.replies.size());
  EXPECT_EQ(e.replies[0].bytes, e.replies[1].bytes);
  EXPECT_EQ(2, Last().replies_sent);
  e = Read("kind", 10);
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ(3u, e.replies[0].dw_data);

  // More than a copy-data message carries: refused before sending, logged.
  e = Read("huge", 11);
  EXPECT_TRUE(e.replies.empty());
  EXPECT_FALSE(Last().replied);
  EXPECT_NE(std::string::npos, Last().problem.find("67108877 bytes")) << Last().problem;

  // To the window of a browser never seen: no window to send to, logged.
  e = Read("nowhere", 20);
  EXPECT_TRUE(e.replies.empty());
  EXPECT_NE(std::string::npos, Last().problem.find("could not be delivered to window 0"))
      << Last().problem;

  // The process "dies" inside the request: no reply at all.
  e = Read("dies", 12);
  EXPECT_TRUE(e.replies.empty());
  EXPECT_EQ(1, exits_.load());
  EXPECT_TRUE(Last().process_ended);

  // Methods and named-object lists misbehave alike; odd entries go as written.
  e = peer_.Send(kBridgeCallMethod,
                 RequestPacket(1, 13, 7, R"({"arguments":[],"methodName":"m"})"));
  ASSERT_EQ(1u, e.replies.size());
  EXPECT_EQ("[0,0,0,0]", ReplyText(e.replies[0]));
  e = peer_.Send(kBridgeGetNamedObjects, RequestPacket(1, 14, 0, ""));
  ASSERT_EQ(3u, e.replies.size());
  EXPECT_EQ(0u, ReplyText(e.replies[2])
                    .find(R"([42,{"name":5},{"name":"v","object":7},{"name":"ok","object":{)"
                          R"("browserId":1,"methodNames":"m","objectId":7,)"))
      << ReplyText(e.replies[2]);
}

TEST_F(HostWindowMisbehaviourTest, AWriteKeepsThePropertysMisbehaviour) {
  Exchange e = peer_.Send(kBridgeSetProperty,
                          RequestPacket(1, 1, 7, R"({"propertyName":"silent","value":5})"));
  EXPECT_TRUE(e.replies.empty());
  EXPECT_TRUE(Read("silent", 2).replies.empty());
  std::string problem;
  EXPECT_EQ("5\n", host_.objects().GetPropertyReply(1, 7, "silent", &problem));
}

// A long delay holds the request, but stopping the window cuts it short.
TEST_F(HostWindowMisbehaviourTest, StoppingEndsADelay) {
  std::thread reader([this] { peer_.Send(kBridgeGetProperty, RequestPacket(1, 1, 7, "slow")); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto before = std::chrono::steady_clock::now();
  host_.Stop();
  reader.join();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

}  // namespace
}  // namespace host
}  // namespace nuv
