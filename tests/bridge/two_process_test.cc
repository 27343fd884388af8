// The whole bridge between two processes: this process is the render side
// (a live script runtime with the bridge), a forked child runs the client's
// host window. Requests cross as copy-data messages and the replies arrive
// nested inside the pending sends.
#include <gtest/gtest.h>

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"
#include "tests/bridge/host_process.h"
#include "tests/values/script_runtime.h"

namespace {

using nuv_test::Eval;
using nuv_test::EvalText;

nuv_test::HostProcess* g_host = nullptr;

class TwoProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    browser_ = Open();
    context_ = contexts_[0];
    // The host objects live on in the host process: put back what tests
    // write.
    Exec("doc.title = 'Report'; doc.size = 3");
    g_host->ClearLog();
  }
  void TearDown() override {
    for (size_t i = browsers_.size(); i-- > 0;) {
      DestroyHelperWindow(browsers_[i]);
      contexts_[i]->Exit();
      nuv_test::ClosePage(browsers_[i]);
    }
    contexts_.clear();
    context_ = nullptr;
    nuv_test::Runtime()->CollectGarbage();
    FlushDeferredReleases();
  }

  // A page of a new browser whose global object has the client's named
  // objects, as context creation installs them.
  int Open() {
    static int next = 3000;
    const int browser = ++next;
    CefRefPtr<CefV8Context> context = nuv_test::OpenPage(browser);
    EXPECT_TRUE(context && context->Enter());
    for (const auto& entry : RequestNamedObjects(g_host->host_window(), context, browser)) {
      context->GetGlobal()->SetValue(CefString(entry.first), entry.second,
                                     V8_PROPERTY_ATTRIBUTE_NONE);
    }
    browsers_.push_back(browser);
    contexts_.push_back(context);
    return browser;
  }
  std::string Run(const std::string& code) { return EvalText(context_, code); }
  void Exec(const std::string& code) { EXPECT_TRUE(Eval(context_, code)) << code; }
  static std::string Text(const Json::Value& entry) { return entry["text"].asString(); }

  int browser_ = 0;
  CefRefPtr<CefV8Context> context_;
  std::vector<int> browsers_;
  std::vector<CefRefPtr<CefV8Context>> contexts_;
};

TEST_F(TwoProcessTest, PropertyReadIsByteExactAndAnsweredNested) {
  EXPECT_EQ("Report", Run("doc.title"));
  EXPECT_EQ("3", Run("doc.size"));
  const Json::Value log = g_host->Log();
  ASSERT_EQ(2u, log.size());
  const Json::Value& read = log[0];
  EXPECT_EQ(3u, read["kind"].asUInt());
  EXPECT_EQ(browser_, read["browser"].asInt());
  EXPECT_EQ(7, read["object"].asInt());
  EXPECT_EQ("title", Text(read));
  const std::vector<uint8_t> packet =
      BuildRequestPacket(browser_, read["request"].asInt(), 7, "title");
  EXPECT_EQ(nuv_test::Hex(std::string(packet.begin(), packet.end())), read["raw"].asString());
  EXPECT_EQ(21u, packet.size());
  EXPECT_TRUE(read["replied"].asBool());
  EXPECT_EQ(GetHelperWindow(browser_)->GetWindowHandle(), read["helper"].asUInt());
  EXPECT_EQ(read["request"].asInt() + 1, log[1]["request"].asInt());
}

TEST_F(TwoProcessTest, RequestIdsRunAcrossBrowsersAndKinds) {
  const int other = Open();
  CefRefPtr<CefV8Context> otherContext = contexts_.back();
  g_host->ClearLog();
  Run("doc.title");
  EvalText(otherContext, "doc.size = 4");
  Run("doc.close()");
  EvalText(otherContext, "doc.size");
  const Json::Value log = g_host->Log();
  ASSERT_EQ(4u, log.size());
  const int first = log[0]["request"].asInt();
  const unsigned kinds[] = {3, 4, 5, 3};
  const int owners[] = {browser_, other, browser_, other};
  for (Json::ArrayIndex i = 0; i < 4; ++i) {
    EXPECT_EQ(first + static_cast<int>(i), log[i]["request"].asInt());
    EXPECT_EQ(kinds[i], log[i]["kind"].asUInt());
    EXPECT_EQ(owners[i], log[i]["browser"].asInt());
    EXPECT_EQ(GetHelperWindow(owners[i])->GetWindowHandle(), log[i]["helper"].asUInt());
  }
  EXPECT_NE(log[0]["helper"].asUInt(), log[1]["helper"].asUInt());
  // The write reached the host object of the other browser's page.
  EXPECT_EQ("4", EvalText(otherContext, "doc.size"));
}

TEST_F(TwoProcessTest, RequestTextsKeepTheirMemberOrder) {
  const std::string id = std::to_string(browser_);
  Run("doc.echo()");
  Run("doc.echo(2, 'a')");
  Run("doc.title = 'abc'");
  CefRefPtr<CefV8Value> remote = JsonTextToV8Value(
      g_host->host_window(), context_, browser_,
      "{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"objectId\":9,\"browserId\":77}");
  ASSERT_TRUE(remote);
  context_->GetGlobal()->SetValue("remote", remote, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("42", Run("remote()"));
  const std::string name = Run("remote.name");

  const Json::Value log = g_host->Log();
  ASSERT_EQ(4u, log.size());
  EXPECT_EQ("{\"arguments\":[],\"methodName\":\"echo\"}\n", Text(log[0]));
  EXPECT_EQ("{\"arguments\":[{\"browserId\":" + id +
                ",\"value\":2,\"valueType\":\"NuvValueInt\"},{\"browserId\":" + id +
                ",\"value\":\"a\",\"valueType\":\"NuvValueString\"}],\"methodName\":\"echo\"}\n",
            Text(log[1]));
  EXPECT_EQ("{\"propertyName\":\"title\",\"value\":{\"browserId\":" + id +
                ",\"value\":\"abc\",\"valueType\":\"NuvValueString\"}}\n",
            Text(log[2]));
  EXPECT_EQ(6u, log[3]["kind"].asUInt());
  EXPECT_EQ(77, log[3]["browser"].asInt());
  EXPECT_EQ(9, log[3]["object"].asInt());
  EXPECT_EQ(
      "{\"arguments\":null,\"browserId\":77,\"methodName\":\"" + name + "\",\"objectId\":9}\n",
      Text(log[3]));
  DestroyHelperWindow(77);
}

TEST_F(TwoProcessTest, PageFunctionsComeBackAsThemselves) {
  // Host objects handed back are the same host object, in a new proxy.
  EXPECT_EQ("Report", Run("doc.open(doc).title"));
  Exec("var f = function () { return 'mine'; }");
  EXPECT_EQ("true", Run("doc.open(f) === f"));
  Exec("doc.title = f");
  EXPECT_EQ("true", Run("doc.title === f"));
  EXPECT_EQ("mine", Run("doc.title()"));
  // Each hand-over files a new holder; all of them give the same function.
  EXPECT_EQ("true", Run("doc.echo(f, f)[0] === doc.echo(f)[0]"));
}

TEST_F(TwoProcessTest, ReleaseIsSentExactlyOnceAfterAForcedCollection) {
  Exec("var made = doc.make()");
  EXPECT_EQ("copy", Run("made.name"));
  const Json::Value record = V8ValueToJson(browser_, context_, Eval(context_, "made"));
  const int32_t id = record["value"].asInt();
  ASSERT_NE(0, id);
  ASSERT_NE(7, id);
  EXPECT_EQ(0, g_host->Releases(id));

  Exec("made = null");
  nuv_test::Runtime()->CollectGarbage();
  // Not from inside the collector: the release waits for a safe point.
  EXPECT_EQ(0, g_host->Releases(id));
  EXPECT_EQ(1u, GetDeferredReleaseCount());
  // The next bridge request is one.
  EXPECT_EQ("Report", Run("doc.title"));
  EXPECT_EQ(1, g_host->Releases(id));
  const Json::Value log = g_host->Log();
  const Json::Value& release = log[log.size() - 2];
  EXPECT_EQ(2u, release["kind"].asUInt());
  EXPECT_EQ(id, release["object"].asInt());
  EXPECT_EQ("", Text(release));

  nuv_test::Runtime()->CollectGarbage();
  FlushDeferredReleases();
  EXPECT_EQ(1, g_host->Releases(id));
}

TEST_F(TwoProcessTest, LateAndDuplicateRepliesAreFiledByKey) {
  const uint32_t helper = GetHelperWindow(browser_)->GetWindowHandle();
  Run("doc.title");
  const int last = g_host->Log()[0]["request"].asInt();
  // A reply to a request that has returned is filed but never taken.
  EXPECT_TRUE(g_host->SendReply(helper, browser_, last, "late"));
  EXPECT_EQ(1u, GetHelperWindow(browser_)->GetStoredReplyCount());
  // A reply filed before its request: the host's own reply replaces it.
  EXPECT_TRUE(g_host->SendReply(helper, browser_, requestCounter + 1, "stale"));
  EXPECT_EQ("3", Run("doc.size"));
  EXPECT_EQ(1u, GetHelperWindow(browser_)->GetStoredReplyCount());
  EXPECT_EQ("late", TakeReply(browser_, last));
}

TEST_F(TwoProcessTest, LargeRepliesCrossWhole) {
  // A 4 MiB string property, written and read back through both processes.
  Exec("var big = new Array(1 << 22).join('x') + 'end'");
  Exec("doc.title = big");
  EXPECT_EQ("true", Run("doc.title === big"));
  const Json::Value log = g_host->Log();
  ASSERT_EQ(2u, log.size());
  const std::string reply = log[1]["reply"].asString();
  EXPECT_GT(reply.size(), 1u << 22);
  EXPECT_NE(std::string::npos, reply.find("xend\""));
}

TEST_F(TwoProcessTest, DestroyedHelperWindowsTakeTheirRepliesWithThem) {
  const uint32_t helper = GetHelperWindow(browser_)->GetWindowHandle();
  DestroyHelperWindow(browser_);
  EXPECT_FALSE(g_host->SendReply(helper, browser_, 1, "gone"));
  EXPECT_EQ("Report", Run("doc.title"));
  const Json::Value log = g_host->Log();
  ASSERT_EQ(1u, log.size());
  EXPECT_NE(helper, log[0]["helper"].asUInt());
  EXPECT_EQ(GetHelperWindow(browser_)->GetWindowHandle(), log[0]["helper"].asUInt());
}

TEST_F(TwoProcessTest, AHostWindowThatIsGoneGivesEmptyReplies) {
  class Silent : public nuv::platform::MessageWindowDelegate {
   public:
    bool ProcessWindowMessage(uint32_t, uint32_t, uintptr_t, intptr_t, intptr_t*) override {
      return false;
    }
  } silent;
  const uint32_t window = nuv::platform::CreateMessageWindow(&silent);
  ASSERT_NE(0u, window);
  ASSERT_TRUE(nuv::platform::DestroyMessageWindow(window));
  EXPECT_EQ("", SendBridgeRequest(window, BRIDGE_GET_PROPERTY, browser_, 7, "title"));
  EXPECT_TRUE(RequestNamedObjects(window, context_, browser_).empty());
  EXPECT_TRUE(RequestSetProperty(window, context_, browser_, 7, "title", nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  // The host process is forked while this process has no other thread.
  nuv_test::HostProcess host;
  if (!host.Start())
    return 2;
  g_host = &host;
  const int result = nuv_test::RunTestsWithScriptRuntime(argc, argv);
  host.Stop();
  return result;
}
