// Misuse of the script interface answers what CEF answers (null, false, 0)
// and, in debug builds, says on stderr which call was misused and how, as
// CEF's require-macros do. Release builds stay silent.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "cef/runtime/misuse.h"
#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// The report line of |call| for |what|, or nothing in release builds.
std::string Report(const std::string& call, const std::string& what) {
  return CEFRT_MISUSE_REPORTS ? "[cef-runtime] " + call + ": " + what + "\n" : std::string();
}

class MisuseReportTest : public RuntimeTest {};

TEST_F(MisuseReportTest, EachMisuseAnswersAsCefAndNamesTheCallAndTheFault) {
  ScopedEnter enter(MainContext());
  CefRefPtr<CefV8Value> text = CefV8Value::CreateString("text");
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(nullptr);
  ASSERT_TRUE(text && object);

  // Proper calls say nothing.
  CaptureStderr();
  EXPECT_TRUE(object->SetValue("a", text, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("text", object->GetValue("a")->GetStringValue().ToString());
  EXPECT_EQ("", GetCapturedStderr());

  // Object calls on a primitive.
  CaptureStderr();
  EXPECT_FALSE(text->GetValue("length"));
  EXPECT_FALSE(text->HasException());
  EXPECT_EQ(Report("CefV8Value::GetValue", "V8 value is not an object") +
                Report("CefV8Value::HasException", "V8 value is not an object"),
            GetCapturedStderr());

  // Array and function calls on a plain object; bad arguments.
  CaptureStderr();
  EXPECT_EQ(0, object->GetArrayLength());
  EXPECT_EQ("", object->GetFunctionName().ToString());
  EXPECT_FALSE(object->ExecuteFunction(nullptr, {}));
  EXPECT_FALSE(object->GetValue(-1));
  EXPECT_FALSE(object->SetValue("b", nullptr, V8_PROPERTY_ATTRIBUTE_NONE));
  CefRefPtr<CefV8Value> result;
  CefRefPtr<CefV8Exception> exception;
  EXPECT_FALSE(MainContext()->Eval("", result, exception));
  EXPECT_EQ(Report("CefV8Value::GetArrayLength", "V8 value is not an array") +
                Report("CefV8Value::GetFunctionName", "V8 value is not a function") +
                Report("CefV8Value::ExecuteFunctionWithContext", "V8 value is not a function") +
                Report("CefV8Value::GetValue", "invalid input parameter") +
                Report("CefV8Value::SetValue", "invalid input parameter") +
                Report("CefV8Context::Eval", "invalid input parameter"),
            GetCapturedStderr());
}

TEST_F(MisuseReportTest, ValuesOfAReleasedContextAreInvalidHandles) {
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 2000, false, "sub", ""));
  CefRefPtr<CefV8Context> sub = browser_->GetFrame(2000)->GetV8Context();
  CefRefPtr<CefV8Value> gone;
  {
    ScopedEnter enter(sub);
    gone = CefV8Value::CreateObject(nullptr);
  }
  ASSERT_TRUE(Runtime()->ReleaseContext(browser_id_, 2000));

  ScopedEnter enter(MainContext());
  CefRefPtr<CefV8Value> here = CefV8Value::CreateObject(nullptr);
  CefRefPtr<CefV8Value> function = Eval("(function () { return 1; })");
  CaptureStderr();
  EXPECT_FALSE(gone->IsValid()) << "IsValid only answers";
  EXPECT_FALSE(gone->GetValue("x"));
  EXPECT_FALSE(here->SetValue("x", gone, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_FALSE(sub->Enter());
  EXPECT_FALSE(function->ExecuteFunctionWithContext(sub, nullptr, {}));
  EXPECT_EQ(Report("CefV8Value::GetValue", "V8 handle is not valid") +
                Report("CefV8Value::SetValue", "invalid input parameter") +
                Report("CefV8Context::Enter", "V8 handle is not valid") +
                Report("CefV8Value::ExecuteFunctionWithContext", "invalid V8 context parameter"),
            GetCapturedStderr());
}

TEST_F(MisuseReportTest, CallsOutsideAContextOrOffTheRenderThreadAreRefused) {
  CaptureStderr();
  EXPECT_FALSE(CefV8Value::CreateObject(nullptr));
  EXPECT_EQ(Report("CefV8Value::CreateObject", "not currently in a V8 context"),
            GetCapturedStderr());

  CefRefPtr<CefV8Value> number = CefV8Value::CreateInt(7);
  CefRefPtr<CefV8Context> context = MainContext();
  CaptureStderr();
  std::thread([&] {
    EXPECT_FALSE(CefV8Value::CreateInt(1));
    EXPECT_EQ(0, number->GetIntValue());
    EXPECT_FALSE(context->GetGlobal());
    EXPECT_FALSE(CefV8Context::InContext());
  }).join();
  const std::string off_thread =
      "called on incorrect thread: not the render thread of a live runtime";
  EXPECT_EQ(Report("CefV8Value::CreateInt", off_thread) +
                Report("CefV8Value::GetIntValue", off_thread) +
                Report("CefV8Context::GetGlobal", off_thread) +
                Report("CefV8Context::InContext", off_thread),
            GetCapturedStderr());
  EXPECT_EQ(7, number->GetIntValue()) << "the value itself is unharmed";
}

}  // namespace
}  // namespace cef_test
