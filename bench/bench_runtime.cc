#include "bench/bench_runtime.h"

#include <map>
#include <memory>

#include "include/cef_app.h"
#include "src/bridge/value_bridge_impl.h"

namespace nuv_bench {
namespace {

class BenchApp : public CefApp, public CefRenderProcessHandler {
 public:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame>,
                        CefRefPtr<CefV8Context> context) override {
    contexts_[browser->GetIdentifier()] = context;
  }
  CefRefPtr<CefV8Context> ContextOf(int browserId) { return contexts_[browserId]; }

 private:
  std::map<int, CefRefPtr<CefV8Context>> contexts_;
  IMPLEMENT_REFCOUNTING(BenchApp);
};

CefRefPtr<BenchApp> g_app;
std::unique_ptr<cefrt::RenderRuntime> g_runtime;

}  // namespace

bool StartRuntime() {
  InstallBridgeForValues();
  g_app = new BenchApp();
  g_runtime = cefrt::RenderRuntime::Create(g_app.get(), nullptr);
  return g_runtime != nullptr;
}

void StopRuntime() {
  g_runtime.reset();
  g_app = nullptr;
}

cefrt::RenderRuntime* Runtime() {
  return g_runtime.get();
}

CefRefPtr<CefV8Context> OpenPage(int browserId, const std::string& pageScript) {
  g_runtime->CreateBrowser(browserId);
  g_runtime->CreateContext(browserId, 1, true, CefString(""), CefString(pageScript));
  return g_app->ContextOf(browserId);
}

CefRefPtr<CefV8Value> Eval(const CefRefPtr<CefV8Context>& context, const std::string& code) {
  CefRefPtr<CefV8Value> result;
  CefRefPtr<CefV8Exception> exception;
  if (!context || !context->Eval(CefString(code), result, exception))
    return nullptr;
  return result;
}

}  // namespace nuv_bench
