// Record texts decoded in a live script context (V8 is set up once per
// fuzzer process): as one record, as an argument list and as a call-back
// from the client. Whatever decodes is encoded again. Nothing may crash,
// hang or throw.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/callback_holder.h"
#include "src/bridge/helper_window.h"
#include "src/bridge/value_bridge_impl.h"
#include "src/common/text_conv.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"

namespace {

constexpr int kBrowser = 1;

class FuzzApp : public CefApp, public CefRenderProcessHandler {
 public:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }
  void OnContextCreated(CefRefPtr<CefBrowser>,
                        CefRefPtr<CefFrame>,
                        CefRefPtr<CefV8Context> context) override {
    context_ = context;
  }
  CefRefPtr<CefV8Context> context_;
  IMPLEMENT_REFCOUNTING(FuzzApp);
};

struct Page {
  CefRefPtr<FuzzApp> app;
  std::unique_ptr<cefrt::RenderRuntime> runtime;
  CefRefPtr<CefV8Context> context;
};

Page* g_page = nullptr;

// Every input files the functions it encodes until the next reset, so no
// input balances its allocations, and libFuzzer's check after each such
// input (a stop-the-world scan of the heap, about 1 ms here) made the
// target 25 times slower. Unless the caller says otherwise, only the check
// of the whole process at exit runs: a leak still fails the run, and
// running the corpus again with -detect_leaks=1 names the input.
void CheckLeaksAtExitOnly(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp((*argv)[i], "-detect_leaks=", 14) == 0)
      return;
  }
  static std::vector<char*> arguments;
  static char flag[] = "-detect_leaks=0";
  arguments.assign(*argv, *argv + *argc);
  arguments.push_back(flag);
  arguments.push_back(nullptr);
  *argc += 1;
  *argv = arguments.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  CheckLeaksAtExitOnly(argc, argv);
  InstallBridgeForValues();
  g_page = new Page;
  g_page->app = new FuzzApp();
  g_page->runtime = cefrt::RenderRuntime::Create(g_page->app.get(), nullptr);
  g_page->runtime->CreateBrowser(kBrowser);
  // A page function filed under a known identifier, so that call-backs and
  // "NuvValueV8Function" records can find something.
  g_page->runtime->CreateContext(kBrowser, 1, true, CefString(""),
                                 CefString("var calls = 0; function cb() { ++calls; }"));
  g_page->context = g_page->app->context_;
  g_page->context->Enter();
  CefRefPtr<CefV8Value> cb = g_page->context->GetGlobal()->GetValue(CefString("cb"));
  V8ValueToJson(kBrowser, g_page->context, cb);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CefRefPtr<CefV8Context> context = g_page->context;
  CefRefPtr<CefV8Value> value = JsonTextToV8Value(0, context, kBrowser, text);
  if (value)
    V8ValueToJsonText(kBrowser, context, value);
  CefV8ValueList list = JsonArrayTextToV8ValueList(0, context, kBrowser, text);
  for (const CefRefPtr<CefV8Value>& element : list)
    V8ValueToJson(kBrowser, context, element);
  InvokeCallbackFromHost(0, kBrowser, Utf8ToWide(text));

  static int runs = 0;
  if (++runs % 256 == 0) {
    g_page->runtime->CollectGarbage();
    FlushDeferredReleases();
  }
  if (runs % 4096 == 0) {
    // Every encoded function is filed for good: start the registry afresh.
    DestroyHelperWindow(kBrowser);
    V8ValueToJson(kBrowser, context, context->GetGlobal()->GetValue(CefString("cb")));
  }
  return 0;
}
