// Runtimes created and destroyed one after another in one process: what
// the isolate's end releases, what stays safe to touch afterwards, and
// calls from a foreign thread.
#include <gtest/gtest.h>

#include <thread>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "include/cef_command_line.h"
#include "include/cef_v8.h"

namespace {

int g_handlers_destroyed = 0;
int g_contexts_released = 0;
int g_browsers_destroyed = 0;
int g_uncaught = 0;
int g_uncaught_frames = 0;

class Handler : public CefRenderProcessHandler {
 public:
  void OnContextReleased(CefRefPtr<CefBrowser>,
                         CefRefPtr<CefFrame>,
                         CefRefPtr<CefV8Context>) override {
    ++g_contexts_released;
  }
  void OnBrowserDestroyed(CefRefPtr<CefBrowser>) override { ++g_browsers_destroyed; }
  void OnUncaughtException(CefRefPtr<CefBrowser>,
                           CefRefPtr<CefFrame>,
                           CefRefPtr<CefV8Context>,
                           CefRefPtr<CefV8Exception>,
                           CefRefPtr<CefV8StackTrace> stack) override {
    if (++g_uncaught == 1)
      g_uncaught_frames = stack ? stack->GetFrameCount() : -1;
  }

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

// As CEF: uncaught exceptions reach the handler only when the client asked
// for a positive stack size, and their stack has at most that many frames.
TEST(RuntimeTeardown, UncaughtExceptionsNeedAPositiveStackSize) {
  const char kDeepThrow[] =
      "function down(n) { if (n == 0) throw new Error('deep'); down(n - 1); } down(10);";
  for (int size : {0, -5, 3}) {
    g_uncaught = g_uncaught_frames = 0;
    cefrt::RenderRuntimeSettings settings;
    settings.uncaught_exception_stack_size = size;
    auto runtime = cefrt::RenderRuntime::Create(new App(), nullptr, settings);
    ASSERT_TRUE(runtime);
    ASSERT_TRUE(runtime->CreateBrowser(1));
    EXPECT_TRUE(runtime->CreateContext(1, 1, true, "", "var before = 1;"));
    EXPECT_FALSE(runtime->RunPageScript(1, 1, kDeepThrow)) << "the script threw";
    CefRefPtr<CefV8Context> context = runtime->GetBrowser(1)->GetMainFrame()->GetV8Context();
    CefRefPtr<CefV8Value> retval;
    CefRefPtr<CefV8Exception> exception;
    EXPECT_FALSE(context->Eval("missing()", retval, exception));
    EXPECT_TRUE(exception) << "Eval hands back its exception whatever the setting";
    if (size > 0) {
      EXPECT_EQ(2, g_uncaught) << size;
      EXPECT_EQ(size, g_uncaught_frames);
    } else {
      EXPECT_EQ(0, g_uncaught) << size;
    }
  }
}

TEST(RuntimeTeardown, TheStackSizeSwitchIsReadAsChromiumReadsNumbers) {
  auto size_of = [](const char* value) {
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->AppendSwitchWithValue("uncaught-exception-stack-size", value);
    return cefrt::UncaughtExceptionStackSize(line);
  };
  EXPECT_EQ(10, size_of("10"));
  EXPECT_EQ(7, size_of("  7"));
  EXPECT_EQ(12, size_of("12frames"));
  EXPECT_EQ(5, size_of("+5"));
  EXPECT_EQ(-3, size_of("-3"));
  EXPECT_EQ(0, size_of(""));
  EXPECT_EQ(0, size_of("ten"));
  EXPECT_EQ(2147483647, size_of("99999999999"));
  EXPECT_EQ(0, cefrt::UncaughtExceptionStackSize(CefCommandLine::CreateCommandLine()));
  EXPECT_EQ(0, cefrt::UncaughtExceptionStackSize(nullptr));
}

}  // namespace
