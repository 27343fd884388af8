// Runtimes created and destroyed one after another in one process: what
// the isolate's end releases, what stays safe to touch afterwards, and
// calls from a foreign thread.
#include <gtest/gtest.h>

#include <thread>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "include/cef_v8.h"

namespace {

int g_handlers_destroyed = 0;
int g_contexts_released = 0;
int g_browsers_destroyed = 0;

class Handler : public CefRenderProcessHandler {
 public:
  void OnContextReleased(CefRefPtr<CefBrowser>,
                         CefRefPtr<CefFrame>,
                         CefRefPtr<CefV8Context>) override {
    ++g_contexts_released;
  }
  void OnBrowserDestroyed(CefRefPtr<CefBrowser>) override { ++g_browsers_destroyed; }

 private:
  IMPLEMENT_REFCOUNTING(Handler);
};

class App : public CefApp {
 public:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return handler_; }

 private:
  CefRefPtr<CefRenderProcessHandler> handler_ = new Handler();
  IMPLEMENT_REFCOUNTING(App);
};

class CountedHandler : public CefV8Handler {
 public:
  ~CountedHandler() override { ++g_handlers_destroyed; }
  bool Execute(const CefString&,
               CefRefPtr<CefV8Value>,
               const CefV8ValueList&,
               CefRefPtr<CefV8Value>& retval,
               CefString&) override {
    retval = CefV8Value::CreateInt(3);
    return true;
  }

 private:
  IMPLEMENT_REFCOUNTING(CountedHandler);
};

TEST(RuntimeTeardown, TheIsolatesEndReleasesEverythingOnce) {
  g_handlers_destroyed = g_contexts_released = g_browsers_destroyed = 0;
  auto runtime = cefrt::RenderRuntime::Create(new App(), nullptr);
  ASSERT_TRUE(runtime);
  EXPECT_FALSE(cefrt::RenderRuntime::Create(new App(), nullptr)) << "one runtime per process";
  ASSERT_TRUE(runtime->CreateBrowser(1));
  ASSERT_TRUE(runtime->CreateContext(1, 10, true, "", ""));
  CefRefPtr<CefV8Context> context = runtime->GetBrowser(1)->GetMainFrame()->GetV8Context();
  CefRefPtr<CefV8Value> fn, number;
  ASSERT_TRUE(context->Enter());
  fn = CefV8Value::CreateFunction("f", new CountedHandler());
  context->GetGlobal()->SetValue("f", fn, V8_PROPERTY_ATTRIBUTE_NONE);
  number = CefV8Value::CreateInt(4);
  // Left entered on purpose: the runtime's end must leave it.

  // From another thread every call fails cleanly.
  std::thread other([&] {
    EXPECT_FALSE(CefV8Value::CreateInt(1));
    EXPECT_FALSE(number->IsValid());
    EXPECT_EQ(0, number->GetIntValue());
    EXPECT_FALSE(CefV8Context::InContext());
    EXPECT_FALSE(context->IsValid());
    EXPECT_FALSE(fn->ExecuteFunction(nullptr, {}));
  });
  other.join();

  runtime.reset();
  EXPECT_EQ(1, g_contexts_released);
  EXPECT_EQ(1, g_browsers_destroyed);
  EXPECT_EQ(1, g_handlers_destroyed);

  // Wrappers that outlive the runtime are inert, and safe to drop.
  EXPECT_FALSE(fn->IsValid());
  EXPECT_FALSE(fn->IsFunction());
  EXPECT_FALSE(fn->ExecuteFunction(nullptr, {}));
  EXPECT_FALSE(number->IsValid());
  EXPECT_FALSE(context->IsValid());
  EXPECT_FALSE(context->Enter());
  EXPECT_FALSE(CefV8Value::CreateInt(1));
  EXPECT_FALSE(CefV8Context::GetCurrentContext());
  fn = nullptr;
  number = nullptr;
  context = nullptr;
  EXPECT_EQ(1, g_handlers_destroyed);
}

TEST(RuntimeTeardown, ASecondRuntimeWorksAfterTheFirst) {
  auto runtime = cefrt::RenderRuntime::Create(nullptr, nullptr);
  ASSERT_TRUE(runtime) << "V8 stays initialised; a new isolate is made";
  ASSERT_TRUE(runtime->CreateBrowser(-7)) << "ids are signed";
  ASSERT_TRUE(runtime->CreateContext(-7, 1, true, "", "var ready = 40 + 2;"));
  CefRefPtr<CefV8Context> context = runtime->GetBrowser(-7)->GetMainFrame()->GetV8Context();
  CefRefPtr<CefV8Value> retval;
  CefRefPtr<CefV8Exception> exception;
  ASSERT_TRUE(context->Eval("ready", retval, exception));
  EXPECT_EQ(42, retval->GetIntValue());
  EXPECT_FALSE(runtime->DeliverProcessMessage(-7, CefProcessMessage::Create("x")))
      << "without a handler nothing handles messages";
}

}  // namespace
