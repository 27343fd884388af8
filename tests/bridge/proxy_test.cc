// Host object proxies, foreign-function proxies, the six requests and the
// page callback registry, driven from page script in a live context against
// a real message window on the test's thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/callback_holder.h"
#include "src/bridge/helper_window.h"
#include "src/common/contract_check.h"
#include "src/values/json_to_v8.h"
#include "src/values/object_id_counter.h"
#include "src/values/v8_to_json.h"
#include "tests/bridge/test_host_window.h"
#include "tests/values/script_runtime.h"

namespace {

using nuv_test::Eval;
using nuv_test::EvalText;
using nuv_test::RecordedRequest;
using nuv_test::TestHostWindow;

constexpr char kDocument[] =
    "{\"valueType\":\"NuvValueComObject\",\"objectId\":7,"
    "\"propertyNames\":\"title\\nsize\",\"methodNames\":\"open\\nclose\"}";

class ProxyTest : public nuv_test::PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    FlushDeferredReleases();
    host_.requests().clear();
  }
  void TearDown() override {
    PageTest::TearDown();
    nuv_test::Runtime()->CollectGarbage();
    FlushDeferredReleases();
  }

  // Puts a host object proxy for `record` on the page as `name`.
  void Install(const std::string& name, const std::string& record) {
    CefRefPtr<CefV8Value> value = JsonTextToV8Value(host_.handle(), context_, browser_, record);
    ASSERT_TRUE(value);
    context_->GetGlobal()->SetValue(CefString(name), value, V8_PROPERTY_ATTRIBUTE_NONE);
  }
  std::string Run(const std::string& code) { return EvalText(context_, code); }
  void Exec(const std::string& code) { EXPECT_TRUE(Eval(context_, code)) << code; }
  const RecordedRequest& Last() { return host_.requests().back(); }
  std::string Record(const std::string& rest) {
    return "{\"browserId\":" + std::to_string(browser_) + rest + "}";
  }

  TestHostWindow host_;
};

TEST_F(ProxyTest, PropertyReadsTravelAsRawNames) {
  Install("doc", kDocument);
  host_.set_reply_text("{\"valueType\":\"NuvValueString\",\"value\":\"Report\"}\n");
  EXPECT_EQ("Report", Run("doc.title"));
  ASSERT_EQ(1u, host_.requests().size());
  EXPECT_EQ(3u, Last().kind);
  EXPECT_EQ(browser_, Last().BrowserId());
  EXPECT_EQ(7, Last().ObjectId());
  EXPECT_EQ("title", Last().Text());
  EXPECT_EQ(GetHelperWindow(browser_)->GetWindowHandle(), Last().replyTo);

  // No reply, or one that is not JSON: undefined, no exception.
  host_.set_reply_text("");
  EXPECT_EQ("undefined", Run("doc.size"));
  host_.set_reply_text("not json");
  EXPECT_EQ("undefined", Run("doc.size"));
  // Properties that are not listed never reach the client.
  const size_t sent = host_.requests().size();
  EXPECT_EQ("undefined", Run("doc.other"));
  EXPECT_EQ(sent, host_.requests().size());

  // Non-ASCII names travel as their UTF-8 bytes; an empty name is a packet
  // without text.
  Install("odd",
          "{\"valueType\":\"NuvValueComObject\",\"objectId\":8,"
          "\"propertyNames\":\"\\u00e9t\\u00e9\\n\\n\"}");
  host_.set_reply_text("{\"valueType\":\"NuvValueInt\",\"value\":3}");
  EXPECT_EQ("3", Run("odd['\\u00e9t\\u00e9']"));
  EXPECT_EQ("\xc3\xa9t\xc3\xa9", Last().Text());
  EXPECT_EQ("3", Run("odd['']"));
  EXPECT_EQ(16u, Last().bytes.size());
  EXPECT_EQ(0, nuv_test::UncaughtExceptionCount());
}

TEST_F(ProxyTest, PropertyWritesAndMethodCallsSendCompactJson) {
  Install("doc", kDocument);
  host_.set_reply_text("");
  Run("doc.title = 'abc'");
  EXPECT_EQ(4u, Last().kind);
  EXPECT_EQ("{\"propertyName\":\"title\",\"value\":" +
                Record(",\"value\":\"abc\",\"valueType\":\"NuvValueString\"") + "}\n",
            Last().Text());

  // A page function written to a host property is registered and sent as
  // its new identifier.
  Run("doc.size = function cb() { return 5; }");
  const int32_t id = V8ObjectIdCounter;
  EXPECT_EQ("{\"propertyName\":\"size\",\"value\":" +
                Record(",\"keys\":\"\",\"value\":" + std::to_string(id) +
                       ",\"valueType\":\"NuvValueV8Function\"") +
                "}\n",
            Last().Text());
  ASSERT_TRUE(FindCallback(browser_, id));

  host_.set_reply_text("{\"valueType\":\"NuvValueBool\",\"value\":true}");
  EXPECT_EQ("true", Run("doc.open(2)"));
  EXPECT_EQ(5u, Last().kind);
  EXPECT_EQ("{\"arguments\":[" + Record(",\"value\":2,\"valueType\":\"NuvValueInt\"") +
                "],\"methodName\":\"open\"}\n",
            Last().Text());
  Run("doc.close()");
  EXPECT_EQ("{\"arguments\":[],\"methodName\":\"close\"}\n", Last().Text());
  // `this` does not matter: the proxy's own host object is addressed.
  Run("doc.close.call({})");
  EXPECT_EQ(7, Last().ObjectId());
  EXPECT_EQ("{\"arguments\":[],\"methodName\":\"close\"}\n", Last().Text());
}

TEST_F(ProxyTest, ReleaseIsSentExactlyOnceAfterCollection) {
  host_.set_reply_text("");
  {
    CefRefPtr<CefV8Value> value = JsonTextToV8Value(
        host_.handle(), context_, browser_,
        "{\"valueType\":\"NuvValueComObject\",\"objectId\":31,\"propertyNames\":\"a\","
        "\"methodNames\":\"m\"}");
    ASSERT_TRUE(value);
    context_->GetGlobal()->SetValue("tmp", value, V8_PROPERTY_ATTRIBUTE_NONE);
    Exec("var keep = tmp.m; tmp = null");
  }
  nuv_test::Runtime()->CollectGarbage();
  FlushDeferredReleases();
  // A method function still holds the proxy.
  EXPECT_TRUE(host_.requests().empty());

  Run("keep = null");
  nuv_test::Runtime()->CollectGarbage();
  // Nothing is sent from inside the collector.
  EXPECT_TRUE(host_.requests().empty());
  EXPECT_EQ(1u, FlushDeferredReleases());
  ASSERT_EQ(1u, host_.requests().size());
  EXPECT_EQ(2u, Last().kind);
  EXPECT_EQ(31, Last().ObjectId());
  EXPECT_EQ(browser_, Last().BrowserId());
  EXPECT_EQ(16u, Last().bytes.size());

  nuv_test::Runtime()->CollectGarbage();
  EXPECT_EQ(0u, FlushDeferredReleases());
  EXPECT_EQ(1u, host_.requests().size());
}

TEST_F(ProxyTest, ForeignFunctionsCallThroughTheClient) {
  const int32_t owner = browser_ + 50000;
  CefRefPtr<CefV8Value> function = JsonTextToV8Value(
      host_.handle(), context_, browser_,
      "{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"objectId\":9,\"browserId\":" +
          std::to_string(owner) + "}");
  ASSERT_TRUE(function);
  context_->GetGlobal()->SetValue("remote", function, V8_PROPERTY_ATTRIBUTE_NONE);
  const std::string name = EvalText(context_, "remote.name");

  host_.set_reply_text("{\"valueType\":\"NuvValueInt\",\"value\":42}");
  EXPECT_EQ("42", Run("remote()"));
  EXPECT_EQ(6u, Last().kind);
  EXPECT_EQ(owner, Last().BrowserId());
  EXPECT_EQ(9, Last().ObjectId());
  EXPECT_EQ("{\"arguments\":null,\"browserId\":" + std::to_string(owner) + ",\"methodName\":\"" +
                name + "\",\"objectId\":9}\n",
            Last().Text());
  // The owning browser's helper window carries the reply.
  EXPECT_EQ(GetHelperWindow(owner)->GetWindowHandle(), Last().replyTo);

  // A page function argument is registered for the owning browser.
  Run("remote(function back() {})");
  const int32_t id = V8ObjectIdCounter;
  EXPECT_TRUE(FindCallback(owner, id));
  EXPECT_FALSE(FindCallback(browser_, id));
  EXPECT_NE(std::string::npos,
            Last().Text().find("{\"browserId\":" + std::to_string(owner) + ",\"keys\":\"\""));

  // Dropping the function sends nothing.
  host_.requests().clear();
  function = nullptr;
  Run("remote = null");
  nuv_test::Runtime()->CollectGarbage();
  FlushDeferredReleases();
  EXPECT_TRUE(host_.requests().empty());
  DestroyHelperWindow(owner);
}

TEST_F(ProxyTest, NamedObjectsAreOrderedByNameAndLaterEntriesWin) {
  host_.set_reply_text(
      "[{\"name\":\"b\",\"object\":{\"valueType\":\"NuvValueInt\",\"value\":1}},"
      "5,"
      "{\"name\":\"a\",\"object\":" +
      std::string(kDocument) +
      "},"
      "{\"object\":{\"valueType\":\"NuvValueInt\",\"value\":3}},"
      "{\"name\":\"b\",\"object\":{\"valueType\":\"NuvValueInt\",\"value\":2}}]");
  NuvNamedObjects objects = RequestNamedObjects(host_.handle(), context_, browser_);
  ASSERT_EQ(1u, host_.requests().size());
  EXPECT_EQ(1u, Last().kind);
  EXPECT_EQ(16u, Last().bytes.size());
  EXPECT_EQ(0, Last().ObjectId());
  ASSERT_EQ(3u, objects.size());
  auto it = objects.begin();
  EXPECT_EQ(u"", it->first);
  EXPECT_EQ(3, it->second->GetIntValue());
  EXPECT_EQ(u"a", (++it)->first);
  EXPECT_TRUE(it->second->IsObject());
  EXPECT_EQ(u"b", (++it)->first);
  EXPECT_EQ(2, it->second->GetIntValue());

  for (const char* reply : {"", "[]", "{}", "plain", "[[[["}) {
    host_.set_reply_text(reply);
    EXPECT_TRUE(RequestNamedObjects(host_.handle(), context_, browser_).empty()) << reply;
  }
  // Window 0: nothing is sent, the helper window exists all the same.
  EXPECT_TRUE(RequestNamedObjects(0, context_, browser_ + 60000).empty());
  EXPECT_TRUE(FindHelperWindow(browser_ + 60000));
  DestroyHelperWindow(browser_ + 60000);
  // A write reports success even without a client.
  EXPECT_TRUE(RequestSetProperty(0, context_, browser_, 7, "title", nullptr));
}

TEST_F(ProxyTest, CallbacksFromTheHostRunInTheirOwnContext) {
  Exec(
      "var calls = []; function cb() { calls.push([].slice.call(arguments).join('|')); "
      "return 1; }");
  const Json::Value record = V8ValueToJson(browser_, context_, Eval(context_, "cb"));
  const std::string id = std::to_string(record["value"].asInt());

  InvokeCallbackFromHost(host_.handle(), browser_,
                         u"{\"objectId\":" + std::u16string(id.begin(), id.end()) +
                             u",\"arguments\":[{\"valueType\":\"NuvValueInt\",\"value\":4},"
                             u"{\"valueType\":\"NuvValueString\",\"value\":\"x\"}]}");
  InvokeCallbackFromHost(host_.handle(), browser_,
                         u"{\"objectId\":" + std::u16string(id.begin(), id.end()) + u"}");
  // Another browser, unknown ids, bad text: nothing runs.
  InvokeCallbackFromHost(host_.handle(), browser_ + 1,
                         u"{\"objectId\":" + std::u16string(id.begin(), id.end()) + u"}");
  InvokeCallbackFromHost(host_.handle(), browser_, u"{\"objectId\":987654}");
  InvokeCallbackFromHost(host_.handle(), browser_, u"{\"objectId\":\"x\"}");
  InvokeCallbackFromHost(host_.handle(), browser_, u"not json");
  InvokeCallbackFromHost(host_.handle(), browser_, u"");
  EXPECT_EQ("4|x,", Run("calls.join(',')"));
  // Nothing is reported back to the client.
  EXPECT_TRUE(host_.requests().empty());

  // Once the browser's helper window is gone, so are its callbacks.
  DestroyHelperWindow(browser_);
  InvokeCallbackFromHost(host_.handle(), browser_,
                         u"{\"objectId\":" + std::u16string(id.begin(), id.end()) + u"}");
  EXPECT_EQ("2", Run("calls.length"));

  // A throwing callback is dropped quietly.
  Exec("function bad() { throw new Error('x'); }");
  const Json::Value badRecord = V8ValueToJson(browser_, context_, Eval(context_, "bad"));
  const std::string badId = std::to_string(badRecord["value"].asInt());
  InvokeCallbackFromHost(host_.handle(), browser_,
                         u"{\"objectId\":" + std::u16string(badId.begin(), badId.end()) + u"}");
  EXPECT_TRUE(host_.requests().empty());
}

// The registry and the encoder are render thread only: another thread finds
// nothing, files nothing, encodes nothing, and debug builds say so.
TEST_F(ProxyTest, RenderThreadOnlyFunctionsRefuseOtherThreads) {
  Exec("function kept() {}");
  CefRefPtr<CefV8Value> kept = Eval(context_, "kept");
  const int32_t id = V8ValueToJson(browser_, context_, kept)["value"].asInt();
  ASSERT_TRUE(FindCallback(browser_, id));

  testing::internal::CaptureStderr();
  std::thread([&] {
    EXPECT_FALSE(FindCallback(browser_, id));
    ForgetCallback(browser_, id);
    EXPECT_TRUE(V8ValueToJson(browser_, context_, kept).isNull());
    std::string text = "x";
    NuvEncodeFailure failure;
    EXPECT_FALSE(AppendV8ValueRecordText(browser_, context_, kept, 100, &text, &failure));
    EXPECT_EQ("x", text);
    EXPECT_EQ(NuvEncodeFailure::Reason::kError, failure.reason);
  }).join();
  const std::string wrong = ": called on invalid thread (not the render thread)\n";
  EXPECT_EQ(NUV_CONTRACT_REPORTS
                ? "nuv: FindCallback" + wrong + "nuv: ForgetCallback" + wrong +
                      "nuv: V8ValueToJson" + wrong + "nuv: AppendV8ValueRecordText" + wrong
                : std::string(),
            testing::internal::GetCapturedStderr());
  EXPECT_TRUE(FindCallback(browser_, id)) << "the other thread changed nothing";
}

TEST_F(ProxyTest, ArgumentListTexts) {
  EXPECT_TRUE(JsonArrayTextToV8ValueList(0, context_, browser_, "oops").empty());
  EXPECT_TRUE(JsonArrayTextToV8ValueList(0, context_, browser_, "{\"a\":1}").empty());
  EXPECT_TRUE(JsonArrayTextToV8ValueList(0, context_, browser_, "null").empty());
  CefV8ValueList list = JsonArrayTextToV8ValueList(
      host_.handle(), context_, browser_,
      std::string("[") + kDocument + ",{\"valueType\":\"NuvValueNull\"}]");
  ASSERT_EQ(2u, list.size());
  EXPECT_TRUE(list[0]->IsObject());
  EXPECT_TRUE(list[1]->IsNull());
}

}  // namespace

int main(int argc, char** argv) {
  return nuv_test::RunTestsWithScriptRuntime(argc, argv);
}
