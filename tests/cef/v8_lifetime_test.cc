// Native objects behind script objects are released exactly once: when V8
// collects the object, or when its context is released, whichever is first.
#include "tests/cef/runtime_fixture.h"

#include <string>
#include <thread>
#include <vector>

namespace cef_test {
namespace {

using LifetimeTest = RuntimeTest;

int g_destroyed[3];  // handler, accessor, user data

class CountedHandler : public CefV8Handler {
 public:
  ~CountedHandler() override { ++g_destroyed[0]; }
  bool Execute(const CefString&,
               CefRefPtr<CefV8Value>,
               const CefV8ValueList&,
               CefRefPtr<CefV8Value>& retval,
               CefString&) override {
    retval = CefV8Value::CreateInt(1);
    return true;
  }

 private:
  IMPLEMENT_REFCOUNTING(CountedHandler);
};

class CountedAccessor : public CefV8Accessor {
 public:
  ~CountedAccessor() override { ++g_destroyed[1]; }
  bool Get(const CefString&,
           const CefRefPtr<CefV8Value>,
           CefRefPtr<CefV8Value>& retval,
           CefString&) override {
    retval = CefV8Value::CreateInt(2);
    return true;
  }
  bool Set(const CefString&,
           const CefRefPtr<CefV8Value>,
           const CefRefPtr<CefV8Value>,
           CefString&) override {
    return true;
  }

 private:
  IMPLEMENT_REFCOUNTING(CountedAccessor);
};

class CountedData : public CefBase {
 public:
  ~CountedData() override { ++g_destroyed[2]; }

 private:
  IMPLEMENT_REFCOUNTING(CountedData);
};

void ResetCounts() {
  g_destroyed[0] = g_destroyed[1] = g_destroyed[2] = 0;
}

// Makes a function and an accessor object with user data, stores both on
// the global under |prefix| when asked, and drops every C++ reference.
void MakeObjects(CefRefPtr<CefV8Context> context, bool keep_in_page) {
  ScopedEnter enter(context);
  auto fn = CefV8Value::CreateFunction("counted", new CountedHandler());
  fn->SetUserData(new CountedData());
  auto obj = CefV8Value::CreateObject(new CountedAccessor());
  obj->SetValue("p", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE);
  obj->SetUserData(new CountedData());
  if (keep_in_page) {
    context->GetGlobal()->SetValue("keptFn", fn, V8_PROPERTY_ATTRIBUTE_NONE);
    context->GetGlobal()->SetValue("keptObj", obj, V8_PROPERTY_ATTRIBUTE_NONE);
  }
}

TEST_F(LifetimeTest, CollectedObjectsReleaseTheirNativePartsOnce) {
  ResetCounts();
  size_t baseline = Runtime()->GetTrackedObjectCount();
  MakeObjects(MainContext(), /*keep_in_page=*/true);
  EXPECT_EQ(baseline + 2, Runtime()->GetTrackedObjectCount());

  Runtime()->CollectGarbage();
  EXPECT_EQ(0, g_destroyed[0]) << "still reachable from the page";
  {
    ScopedEnter enter(MainContext());
    EXPECT_EQ(1, Eval("keptFn()")->GetIntValue());
    EXPECT_EQ(2, Eval("keptObj.p")->GetIntValue());
    Eval("keptFn = null; keptObj = null;");
  }
  Runtime()->CollectGarbage();
  EXPECT_EQ(1, g_destroyed[0]);
  EXPECT_EQ(1, g_destroyed[1]);
  EXPECT_EQ(2, g_destroyed[2]);
  EXPECT_EQ(baseline, Runtime()->GetTrackedObjectCount());

  Runtime()->CollectGarbage();
  EXPECT_EQ(1, g_destroyed[0]) << "never released twice";
  EXPECT_EQ(2, g_destroyed[2]);
}

TEST_F(LifetimeTest, AWrapperKeepsTheScriptObjectAlive) {
  ResetCounts();
  CefRefPtr<CefV8Value> fn;
  {
    ScopedEnter enter(MainContext());
    fn = CefV8Value::CreateFunction("held", new CountedHandler());
  }
  Runtime()->CollectGarbage();
  EXPECT_EQ(0, g_destroyed[0]);
  {
    ScopedEnter enter(MainContext());
    EXPECT_EQ(1, fn->ExecuteFunction(nullptr, {})->GetIntValue());
  }
  fn = nullptr;
  Runtime()->CollectGarbage();
  EXPECT_EQ(1, g_destroyed[0]);
}

TEST_F(LifetimeTest, ReleasingTheContextReleasesWhatItHolds) {
  ResetCounts();
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 2000, false, "sub", ""));
  CefRefPtr<CefV8Context> sub = browser_->GetFrame(2000)->GetV8Context();
  MakeObjects(sub, /*keep_in_page=*/true);
  CefRefPtr<CefV8Value> kept;
  {
    ScopedEnter enter(sub);
    kept = sub->GetGlobal()->GetValue("keptFn");
    ASSERT_TRUE(kept->IsValid());
  }

  ASSERT_TRUE(Runtime()->ReleaseContext(browser_id_, 2000));
  EXPECT_EQ(1, g_destroyed[0]);
  EXPECT_EQ(1, g_destroyed[1]);
  EXPECT_EQ(2, g_destroyed[2]);
  EXPECT_FALSE(sub->IsValid());
  EXPECT_FALSE(sub->Enter());
  EXPECT_FALSE(sub->GetGlobal());
  EXPECT_FALSE(kept->IsValid()) << "objects die with their context";
  EXPECT_FALSE(kept->IsFunction());
  EXPECT_FALSE(kept->ExecuteFunction(nullptr, {}));
  EXPECT_FALSE(browser_->GetFrame(2000)->GetV8Context());

  kept = nullptr;
  Runtime()->CollectGarbage();
  EXPECT_EQ(1, g_destroyed[0]) << "collection after release does not release again";
  EXPECT_EQ(2, g_destroyed[2]);
}

TEST_F(LifetimeTest, PrimitivesOutliveTheirContext) {
  CefRefPtr<CefV8Value> number, object;
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 3000, false, "", ""));
  {
    ScopedEnter enter(browser_->GetFrame(3000)->GetV8Context());
    number = CefV8Value::CreateInt(5);
    object = CefV8Value::CreateObject(nullptr);
  }
  Runtime()->ReleaseContext(browser_id_, 3000);
  EXPECT_TRUE(number->IsValid());
  EXPECT_EQ(5, number->GetIntValue());
  EXPECT_FALSE(object->IsValid());
}

// Wrapper memory is reused once a wrapper is released, also when the
// release happens on a thread that then ends: a new wrapper shows only
// what it was made with.
TEST_F(LifetimeTest, ReusedWrappersCarryNothingOver) {
  ScopedEnter enter(MainContext());
  std::vector<CefRefPtr<CefV8Value>> values;
  for (int i = 0; i < 3000; ++i) {
    values.push_back(i % 2 ? CefV8Value::CreateString("text " + std::to_string(i))
                           : CefV8Value::CreateObject(nullptr));
  }
  // Strings only: an object released off the render thread leaves its
  // handle to the isolate.
  std::vector<CefRefPtr<CefV8Value>> elsewhere;
  for (size_t i = 1; i < values.size(); i += 2)
    elsewhere.push_back(values[i]);
  values.clear();
  std::thread other([&] { elsewhere.clear(); });
  other.join();

  for (int i = 0; i < 3000; ++i)
    values.push_back(CefV8Value::CreateDouble(i + 0.5));
  for (int i = 0; i < 3000; ++i) {
    CefRefPtr<CefV8Value> value = values[static_cast<size_t>(i)];
    ASSERT_TRUE(value->IsDouble());
    EXPECT_FALSE(value->IsString() || value->IsObject());
    EXPECT_TRUE(value->GetStringValue().empty());
    EXPECT_EQ(i + 0.5, value->GetDoubleValue());
  }
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(2);
  EXPECT_TRUE(array->SetValue(0, values[7]));
  EXPECT_TRUE(array->GetValue(0)->IsSame(values[7]));
  EXPECT_EQ(7.5, array->GetValue(0)->GetDoubleValue());
}

}  // namespace
}  // namespace cef_test
