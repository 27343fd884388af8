#include "tests/values/script_runtime.h"

#include <stdlib.h>
#include <time.h>

#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "include/cef_app.h"
#include "src/bridge/value_bridge_impl.h"
#include "src/bridge/helper_window.h"

namespace nuv_test {
namespace {

class TestApp : public CefApp, public CefRenderProcessHandler {
 public:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> /*frame*/,
                        CefRefPtr<CefV8Context> context) override {
    contexts_[browser->GetIdentifier()] = context;
  }
  void OnContextReleased(CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefFrame> /*frame*/,
                         CefRefPtr<CefV8Context> /*context*/) override {
    contexts_.erase(browser->GetIdentifier());
  }
  void OnUncaughtException(CefRefPtr<CefBrowser>,
                           CefRefPtr<CefFrame>,
                           CefRefPtr<CefV8Context>,
                           CefRefPtr<CefV8Exception>,
                           CefRefPtr<CefV8StackTrace>) override {
    ++uncaught_;
  }

  CefRefPtr<CefV8Context> ContextOf(int browserId) {
    auto found = contexts_.find(browserId);
    return found == contexts_.end() ? nullptr : found->second;
  }
  int uncaught() const { return uncaught_; }

 private:
  std::map<int, CefRefPtr<CefV8Context>> contexts_;
  int uncaught_ = 0;

  IMPLEMENT_REFCOUNTING(TestApp);
};

CefRefPtr<TestApp> g_app;
std::unique_ptr<cefrt::RenderRuntime> g_runtime;

}  // namespace

int RunTestsWithScriptRuntime(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  InstallBridgeForValues();
  g_app = new TestApp();
  cefrt::RenderRuntimeSettings settings;
  settings.uncaught_exception_stack_size = 10;
  g_runtime = cefrt::RenderRuntime::Create(g_app.get(), nullptr, settings);
  if (!g_runtime)
    return 2;
  const int result = RUN_ALL_TESTS();
  g_runtime.reset();
  g_app = nullptr;
  return result;
}

cefrt::RenderRuntime* Runtime() {
  return g_runtime.get();
}

CefRefPtr<CefV8Context> OpenPage(int browserId, const std::string& pageScript) {
  g_runtime->CreateBrowser(browserId);
  g_runtime->CreateContext(browserId, 1, true, CefString(""), CefString(pageScript));
  return g_app->ContextOf(browserId);
}

void ClosePage(int browserId) {
  g_runtime->DestroyBrowser(browserId);
}

CefRefPtr<CefV8Value> Eval(const CefRefPtr<CefV8Context>& context, const std::string& code) {
  CefRefPtr<CefV8Value> result;
  CefRefPtr<CefV8Exception> exception;
  if (!context || !context->Eval(CefString(code), result, exception))
    return nullptr;
  return result;
}

std::string EvalText(const CefRefPtr<CefV8Context>& context, const std::string& code) {
  CefRefPtr<CefV8Value> text;
  CefRefPtr<CefV8Exception> exception;
  if (!context || !context->Eval(CefString("String(" + code + ")"), text, exception))
    return "<threw: " + (exception ? exception->GetMessage().ToString() : std::string()) + ">";
  return text && text->IsString() ? text->GetStringValue().ToString() : std::string("<none>");
}

int UncaughtExceptionCount() {
  return g_app->uncaught();
}

void PageTest::SetUp() {
  // Every test of the binary gets a browser id no earlier test used.
  static int next = 1000;
  browser_ = ++next;
  context_ = OpenPage(browser_);
  ASSERT_TRUE(context_);
  ASSERT_TRUE(context_->Enter());
}

void PageTest::TearDown() {
  DestroyHelperWindow(browser_);
  if (context_)
    context_->Exit();
  context_ = nullptr;
  ClosePage(browser_);
}

}  // namespace nuv_test
