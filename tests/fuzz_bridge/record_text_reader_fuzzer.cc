// Differential fuzzer of the quick record-text reader: for every input it
// accepts, Json::Reader must accept the input too and the page value must be
// the same as the one decoded from the reader's record. A disagreement
// aborts with both paths named.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "src/bridge/value_bridge_impl.h"
#include "tests/values/record_text_differential.h"

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

CefRefPtr<FuzzApp> g_app;
std::unique_ptr<cefrt::RenderRuntime> g_runtime;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InstallBridgeForValues();
  g_app = new FuzzApp();
  g_runtime = cefrt::RenderRuntime::Create(g_app.get(), nullptr);
  g_runtime->CreateBrowser(kBrowser);
  g_runtime->CreateContext(kBrowser, 1, true, CefString(""), CefString(""));
  g_app->context_->Enter();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  nuv_test::DifferentialOutcome outcome =
      nuv_test::CompareRecordTextReaders(g_app->context_, kBrowser, text);
  if (!outcome.agrees) {
    std::fprintf(stderr, "quick reader and Json::Reader disagree: %s\n", outcome.why.c_str());
    std::abort();
  }
  static int runs = 0;
  if (++runs % 1024 == 0)
    g_runtime->CollectGarbage();
  return 0;
}
