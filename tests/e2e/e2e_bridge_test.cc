// The render process and the client's host window: the handle it reads from
// its switch decides where bridge requests go, and every frame's context
// receives the host objects.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/browser/render_process.h"
#include "host/window/bridge_packet.h"
#include "host/window/host_window.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

constexpr int kTimeoutMs = 10000;

constexpr char kHostConfig[] = R"({
  "objects": {
    "7": { "properties": { "title": "Report" }, "methods": { "ping": { "returns": "pong" } } }
  },
  "named": { "*": [ { "name": "doc", "object": 7 } ] }
})";

// Page functions whose work goes on in microtasks after they return.
constexpr char16_t kLaterPage[] =
    u"function later() {"
    u"  var list = [1];"
    u"  (async function () { await null; list.push(2); list.push(doc.title); })();"
    u"  globalThis.list = list;"
    u"  return list; }"
    u"async function fetchTitle() { await null; globalThis.fetched = doc.title; return 1; }";

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(window_.Configure(kHostConfig, &error)) << error;
    ASSERT_TRUE(window_.Start());
    handle_ = window_.handle();
    ASSERT_NE(0u, handle_);
  }

  // Starts a renderer with `switches`, creates browser 1 with a main frame
  // and returns the process, or null.
  std::unique_ptr<host::RenderProcess> StartWithMainFrame(
      const std::vector<std::string>& switches) {
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

  size_t CountRequests(uintptr_t kind) {
    size_t n = 0;
    for (const host::LoggedRequest& entry : window_.requests().Entries())
      n += entry.kind == kind ? 1 : 0;
    return n;
  }

  host::HostWindow window_;
  uint32_t handle_ = 0;
};

TEST_F(BridgeTest, RequestsGoToTheHandleReadFromTheSwitch) {
  const int64_t h = handle_;
  // Forms that all read as the host window's handle: blanks before, letters
  // after, a plus sign, and values whose low 32 bits are the handle.
  const std::vector<std::string> reaching = {
      std::to_string(h),
      "   " + std::to_string(h),
      std::to_string(h) + "abc",
      "+" + std::to_string(h),
      std::to_string(h + (int64_t{1} << 32)),
      std::to_string(h - (int64_t{1} << 32)),
  };
  for (const std::string& text : reaching) {
    window_.requests().Clear();
    std::unique_ptr<host::RenderProcess> process =
        StartWithMainFrame({"--browser-message-window-handle=" + text});
    ASSERT_TRUE(process) << text;
    const std::vector<host::LoggedRequest> entries = window_.requests().Entries();
    ASSERT_EQ(1u, entries.size()) << text;
    EXPECT_EQ(host::kBridgeGetNamedObjects, entries[0].kind);
    EXPECT_EQ(1, entries[0].browser_id);
    EXPECT_EQ(16u, entries[0].raw.size());
    EXPECT_TRUE(entries[0].replied);
    EXPECT_EQ(0, process->End(kTimeoutMs).exit_code) << text;
  }

  // Forms that read as 0 (or as no handle at all): no request is sent, the
  // page gets no host objects, and the process carries on normally.
  const std::vector<std::vector<std::string>> unreachable = {
      {"--browser-message-window-handle=0x" + std::to_string(h)},
      {"--browser-message-window-handle=0"},
      {"--browser-message-window-handle="},
      {"--browser-message-window-handle=abc"},
      {},
  };
  for (const std::vector<std::string>& switches : unreachable) {
    window_.requests().Clear();
    std::unique_ptr<host::RenderProcess> process = StartWithMainFrame(switches);
    ASSERT_TRUE(process);
    EXPECT_EQ(0u, window_.requests().Count());
    process->WaitForAck(process->SendProcessMessage(
                            1, u"NuvChromeBrowser_ExecuteScript",
                            {cefipc::WireValue::Int(1), cefipc::WireValue::String(u"typeof doc"),
                             cefipc::WireValue::String(u""), cefipc::WireValue::String(u"")}),
                        kTimeoutMs);
    host::ProcessMessage result;
    ASSERT_TRUE(process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteScript_Result", kTimeoutMs,
                                             &result));
    EXPECT_EQ(u"{\"browserId\":1,\"value\":\"undefined\",\"valueType\":\"NuvValueString\"}\n",
              result.args[3].GetString());
    EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
  }
}

TEST_F(BridgeTest, ACollectedHostObjectIsReleasedOnceTheRendererIsIdle) {
  std::unique_ptr<host::RenderProcess> process =
      StartWithMainFrame({"--browser-message-window-handle=" + std::to_string(handle_)});
  ASSERT_TRUE(process);
  ASSERT_TRUE(
      process->WaitForAck(process->RunScript(1, 1, u"delete globalThis.doc"), kTimeoutMs).done());
  const size_t before = window_.requests().Count();

  // The proxy dies inside the collector; its release goes out afterwards,
  // without any further command from the client.
  ASSERT_TRUE(process->WaitForAck(process->CollectGarbage(), kTimeoutMs).done());
  ASSERT_TRUE(window_.requests().WaitForCount(before + 1, std::chrono::milliseconds(kTimeoutMs)));
  const std::vector<host::LoggedRequest> entries = window_.requests().Entries();
  EXPECT_EQ(host::kBridgeReleaseObject, entries[before].kind);
  EXPECT_EQ(7, entries[before].object_id);
  EXPECT_EQ(1u, CountRequests(host::kBridgeReleaseObject));
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
  EXPECT_EQ(1u, CountRequests(host::kBridgeReleaseObject));
}

TEST_F(BridgeTest, EveryFrameReceivesTheHostObjects) {
  std::unique_ptr<host::RenderProcess> process =
      StartWithMainFrame({"--browser-message-window-handle=" + std::to_string(handle_)});
  ASSERT_TRUE(process);
  ASSERT_TRUE(
      process->WaitForAck(process->CreateContext(1, 2, false, u"child", u""), kTimeoutMs).done());
  EXPECT_EQ(2u, CountRequests(host::kBridgeGetNamedObjects));

  // Script in the sub-frame reaches the host object through its own proxy.
  process->WaitForAck(process->RunScript(1, 2, u"doc.ping()"), kTimeoutMs);
  ASSERT_EQ(1u, CountRequests(host::kBridgeCallMethod));
  for (const host::LoggedRequest& entry : window_.requests().Entries()) {
    if (entry.kind == host::kBridgeCallMethod) {
      EXPECT_EQ("{\"arguments\":[],\"methodName\":\"ping\"}\n", entry.text);
      EXPECT_EQ(7, entry.object_id);
    }
  }

  // Releasing the sub-frame leaves the main frame's objects usable.
  ASSERT_TRUE(process->WaitForAck(process->ReleaseContext(1, 2), kTimeoutMs).done());
  process->WaitForAck(process->SendProcessMessage(
                          1, u"NuvChromeBrowser_ExecuteScript",
                          {cefipc::WireValue::Int(1), cefipc::WireValue::String(u"doc.title"),
                           cefipc::WireValue::String(u""), cefipc::WireValue::String(u"")}),
                      kTimeoutMs);
  host::ProcessMessage result;
  ASSERT_TRUE(
      process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteScript_Result", kTimeoutMs, &result));
  EXPECT_EQ(u"{\"browserId\":1,\"value\":\"Report\",\"valueType\":\"NuvValueString\"}\n",
            result.args[3].GetString());
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
}

// As in CEF, what a page function leaves to microtasks runs at the end of
// the command's task: the client gets the function's result first, then the
// bridge requests of the code that ran after it returned.
TEST_F(BridgeTest, MicrotasksRequestAfterTheFunctionResultIsSent) {
  std::unique_ptr<host::RenderProcess> process =
      StartRenderer({"--browser-message-window-handle=" + std::to_string(handle_)});
  ASSERT_TRUE(process && process->WaitForHello(kTimeoutMs));
  ASSERT_TRUE(process->WaitForAck(process->CreateBrowser(1), kTimeoutMs).done());
  ASSERT_TRUE(
      process->WaitForAck(process->CreateContext(1, 1, true, u"", kLaterPage), kTimeoutMs).done());

  // The host window holds each property read until the client has the
  // function's result; only a read sent before the result waits out the
  // time limit.
  std::mutex mutex;
  std::condition_variable arrived;
  bool result_arrived = false;
  std::vector<bool> read_after_result;
  window_.requests().SetObserver([&](const host::LoggedRequest& entry) {
    if (entry.kind != host::kBridgeGetProperty)
      return;
    std::unique_lock<std::mutex> lock(mutex);
    read_after_result.push_back(
        arrived.wait_for(lock, std::chrono::seconds(3), [&] { return result_arrived; }));
  });

  std::vector<std::u16string> records;
  for (const char16_t* function : {u"later", u"fetchTitle"}) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      result_arrived = false;
    }
    const uint32_t sent = process->SendProcessMessage(
        1, u"NuvChromeBrowser_ExecuteFunction",
        {cefipc::WireValue::Int(0), cefipc::WireValue::String(function),
         cefipc::WireValue::String(u"t"), cefipc::WireValue::String(u"[]")});
    host::ProcessMessage result;
    ASSERT_TRUE(process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteFunction_Result", kTimeoutMs,
                                             &result));
    {
      std::lock_guard<std::mutex> lock(mutex);
      result_arrived = true;
    }
    arrived.notify_all();
    ASSERT_TRUE(process->WaitForAck(sent, kTimeoutMs).done()) << "the microtasks ran in the task";
    records.push_back(result.args[3].GetString());
  }
  window_.requests().SetObserver(nullptr);
  EXPECT_EQ((std::vector<bool>{true, true}), read_after_result);

  // The array went out as the function left it, before the microtask
  // changed it; the async function's result is its (pending) promise.
  EXPECT_EQ(u"[{\"browserId\":1,\"value\":1,\"valueType\":\"NuvValueInt\"}]\n", records[0]);
  EXPECT_EQ(u"{\"browserId\":1,\"valueType\":\"NuvValueUnknown\"}\n", records[1]);

  process->WaitForAck(
      process->SendProcessMessage(
          1, u"NuvChromeBrowser_ExecuteScript",
          {cefipc::WireValue::Int(1), cefipc::WireValue::String(u"list + ':' + fetched"),
           cefipc::WireValue::String(u""), cefipc::WireValue::String(u"")}),
      kTimeoutMs);
  host::ProcessMessage after;
  ASSERT_TRUE(
      process->WaitForMessageNamed(u"NuvChromeBrowser_ExecuteScript_Result", kTimeoutMs, &after));
  EXPECT_EQ(u"{\"browserId\":1,\"value\":\"1,2,Report:Report\",\"valueType\":\"NuvValueString\"}\n",
            after.args[3].GetString());
  EXPECT_EQ(0, process->End(kTimeoutMs).exit_code);
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
