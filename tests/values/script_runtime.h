// One script runtime per test binary: V8 is set up once in main(), and each
// test opens pages (a browser with a main-frame context) in it. Shared by
// the value and bridge tests, which bring their own main() through
// RunTestsWithScriptRuntime.
#ifndef NUV_TESTS_VALUES_SCRIPT_RUNTIME_H_
#define NUV_TESTS_VALUES_SCRIPT_RUNTIME_H_

#include <gtest/gtest.h>

#include <string>

#include "cef/runtime/render_runtime.h"
#include "include/cef_v8.h"

namespace nuv_test {

// Sets a fixed local time zone (with daylight saving), creates the runtime
// and runs every test.
int RunTestsWithScriptRuntime(int argc, char** argv);

cefrt::RenderRuntime* Runtime();

// Creates browser `browserId` with a main-frame context running
// `pageScript`; returns that context (null when it could not be made).
CefRefPtr<CefV8Context> OpenPage(int browserId, const std::string& pageScript = std::string());
// Destroys the browser with its contexts.
void ClosePage(int browserId);

// Evaluates `code` in `context`; null when it throws.
CefRefPtr<CefV8Value> Eval(const CefRefPtr<CefV8Context>& context, const std::string& code);
// The value of `code` converted to a string by the page (String(...)).
std::string EvalText(const CefRefPtr<CefV8Context>& context, const std::string& code);

// The number of uncaught exceptions reported so far.
int UncaughtExceptionCount();

// A test on a page of its own: a browser with a fresh id and a main-frame
// context, entered for the whole test as the render-process callbacks are;
// afterwards the browser's helper window and the browser go away.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  int browser_ = 0;
  CefRefPtr<CefV8Context> context_;
};

}  // namespace nuv_test

#endif  // NUV_TESTS_VALUES_SCRIPT_RUNTIME_H_
