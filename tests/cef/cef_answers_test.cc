// What CEF 3.2623 answers for the calls the product makes, where V8 left to
// itself would answer otherwise: assignments through SetValue, accessors
// reached from a receiver, keys, exception state, native functions and
// Eval, and when microtasks run.
#include <string>
#include <vector>

#include "cef/runtime/task_queue.h"
#include "include/cef_task.h"
#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {

using CefAnswersTest = RuntimeTest;

// Records what reaches it; answers reads with |value| unless told to fail.
class RecordingAccessor : public CefV8Accessor {
 public:
  int gets = 0, sets = 0;
  int value = 20;
  bool handled = true;
  std::string raise;
  CefRefPtr<CefV8Value> last_object;

  bool Get(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           CefRefPtr<CefV8Value>& retval,
           CefString& exception) override {
    ++gets;
    last_object = object;
    if (!raise.empty())
      exception = "get " + raise;
    else if (handled)
      retval = CefV8Value::CreateInt(value);
    return handled;
  }
  bool Set(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           const CefRefPtr<CefV8Value> new_value,
           CefString& exception) override {
    ++sets;
    last_object = object;
    if (!raise.empty())
      exception = "set " + raise;
    else if (handled)
      value = new_value->GetIntValue();
    return handled;
  }

 private:
  IMPLEMENT_REFCOUNTING(RecordingAccessor);
};

// Throws its text while |raise| is set, else returns 8.
class SwitchingHandler : public CefV8Handler {
 public:
  std::string raise;
  bool handled = true;
  CefRefPtr<CefV8Value> last_this;

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    last_this = object;
    if (!raise.empty())
      exception = raise;
    else if (handled)
      retval = CefV8Value::CreateInt(8);
    return handled;
  }

 private:
  IMPLEMENT_REFCOUNTING(SwitchingHandler);
};

TEST_F(CefAnswersTest, AccessorPropertiesThroughTheValueInterface) {
  ScopedEnter enter(MainContext());
  CefRefPtr<RecordingAccessor> accessor = new RecordingAccessor();
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(accessor.get());
  EXPECT_FALSE(object->HasValue("val"));
  ASSERT_TRUE(object->SetValue("val", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(object->HasValue("val"));
  EXPECT_EQ(0, accessor->gets) << "HasValue asks no accessor";

  // A plain SetValue is an assignment: it reaches the accessor's Set.
  EXPECT_TRUE(object->SetValue("val", CefV8Value::CreateInt(33), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(1, accessor->sets);
  EXPECT_EQ(33, accessor->value);
  EXPECT_TRUE(accessor->last_object->IsSame(object));
  EXPECT_FALSE(object->HasException());
  CefRefPtr<CefV8Value> read = object->GetValue("val");
  ASSERT_TRUE(read);
  EXPECT_EQ(33, read->GetIntValue());
  EXPECT_EQ(1, accessor->gets);

  // An accessor that raises: the call fails and the object keeps the
  // exception until it is cleared.
  accessor->raise = "refused";
  EXPECT_FALSE(object->SetValue("val", CefV8Value::CreateInt(1), V8_PROPERTY_ATTRIBUTE_NONE));
  ASSERT_TRUE(object->HasException());
  EXPECT_EQ("Uncaught Error: set refused", object->GetException()->GetMessage().ToString());
  EXPECT_TRUE(object->ClearException());
  EXPECT_FALSE(object->HasException());
  EXPECT_FALSE(object->GetValue("val"));
  ASSERT_TRUE(object->HasException());
  EXPECT_EQ("Uncaught Error: get refused", object->GetException()->GetMessage().ToString());

  // An accessor that does not handle the call: the write is accepted, the
  // read is undefined, and the successful calls cleared the exception.
  accessor->raise.clear();
  accessor->handled = false;
  EXPECT_TRUE(object->SetValue("val", CefV8Value::CreateInt(2), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_FALSE(object->HasException()) << "a call that throws nothing clears the exception";
  CefRefPtr<CefV8Value> unhandled = object->GetValue("val");
  ASSERT_TRUE(unhandled);
  EXPECT_TRUE(unhandled->IsUndefined());

  // A read-only accessor property has no setter: an assignment succeeds
  // without reaching the accessor.
  accessor->handled = true;
  const int sets = accessor->sets;
  ASSERT_TRUE(object->SetValue("ro", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_READONLY));
  EXPECT_TRUE(object->SetValue("ro", CefV8Value::CreateInt(1), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(sets, accessor->sets);
}

// A name that is both a property and a method of a host object: the
// method's SetValue is an assignment, which reaches the property's
// accessor, and the property stays an accessor property.
TEST_F(CefAnswersTest, SetValueWithoutAttributesAssignsThroughSetters) {
  ScopedEnter enter(MainContext());
  CefRefPtr<RecordingAccessor> accessor = new RecordingAccessor();
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(accessor.get());
  ASSERT_TRUE(object->SetValue("both", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE));
  CefRefPtr<SwitchingHandler> handler = new SwitchingHandler();
  EXPECT_TRUE(object->SetValue("both", CefV8Value::CreateFunction("both", handler.get()),
                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(1, accessor->sets);
  MainContext()->GetGlobal()->SetValue("host", object, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("number", Eval("typeof host.both")->GetStringValue().ToString());
  EXPECT_EQ(1, accessor->gets);

  // Page setters run too; other attributes define the property instead.
  Eval("var setterSaw = []; var page = { set v(x) { setterSaw.push(x); } };");
  CefRefPtr<CefV8Value> page = MainContext()->GetGlobal()->GetValue("page");
  EXPECT_TRUE(page->SetValue("v", CefV8Value::CreateInt(5), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("5", Eval("setterSaw.join()")->GetStringValue().ToString());
  EXPECT_TRUE(page->SetValue("v", CefV8Value::CreateInt(6), V8_PROPERTY_ATTRIBUTE_DONTDELETE));
  EXPECT_EQ("5", Eval("setterSaw.join()")->GetStringValue().ToString());
  EXPECT_EQ(6, Eval("page.v")->GetIntValue());
}

// CEF looks an accessor up from the receiver: an object that only inherits
// the property from a host object reaches no accessor at all.
TEST_F(CefAnswersTest, InheritedAccessorPropertiesReachNoAccessor) {
  ScopedEnter enter(MainContext());
  CefRefPtr<RecordingAccessor> accessor = new RecordingAccessor();
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(accessor.get());
  ASSERT_TRUE(object->SetValue("title", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE));
  MainContext()->GetGlobal()->SetValue("host", object, V8_PROPERTY_ATTRIBUTE_NONE);

  EXPECT_TRUE(Eval("Object.create(host).title")->IsUndefined());
  Eval("Object.create(host).title = 3");
  EXPECT_EQ(0, accessor->gets);
  EXPECT_EQ(0, accessor->sets);
  EXPECT_EQ(20, Eval("host.title")->GetIntValue()) << "the host object itself still reaches it";
  EXPECT_EQ(1, accessor->gets);
}

TEST_F(CefAnswersTest, KeysIncludeInheritedEnumerableNames) {
  ScopedEnter enter(MainContext());
  CefRefPtr<CefV8Value> object = Eval(
      "var base = { inherited: 1 }; Object.defineProperty(base, 'hidden', { value: 2 });"
      "var own = Object.create(base); own.mine = 3; own[7] = 4; own");
  std::vector<CefString> keys;
  ASSERT_TRUE(object->GetKeys(keys));
  std::vector<std::string> names;
  for (const CefString& key : keys)
    names.push_back(key.ToString());
  EXPECT_EQ((std::vector<std::string>{"7", "mine", "inherited"}), names)
      << "the names a for-in loop visits, in its order";
}

TEST_F(CefAnswersTest, GlobalValuesAndTheirAttributesAsScriptSeesThem) {
  ScopedEnter enter(MainContext());
  CefRefPtr<CefV8Value> global = MainContext()->GetGlobal();
  global->SetValue("plain", CefV8Value::CreateInt(13), V8_PROPERTY_ATTRIBUTE_NONE);
  global->SetValue("fixed", CefV8Value::CreateInt(13), V8_PROPERTY_ATTRIBUTE_READONLY);
  global->SetValue("kept", CefV8Value::CreateInt(13), V8_PROPERTY_ATTRIBUTE_DONTDELETE);
  Eval("window.plain = 65; window.fixed = 65; window.kept = 65; delete window.kept;");
  EXPECT_EQ(65, global->GetValue("plain")->GetIntValue());
  EXPECT_EQ(13, global->GetValue("fixed")->GetIntValue());
  EXPECT_EQ(65, global->GetValue("kept")->GetIntValue());
  Eval("delete window.plain");
  EXPECT_TRUE(global->GetValue("plain")->IsUndefined());

  CefRefPtr<CefV8Value> counted = CefV8Value::CreateObject(nullptr);
  global->SetValue("counted", counted, V8_PROPERTY_ATTRIBUTE_NONE);
  counted->SetValue("seen", CefV8Value::CreateInt(0), V8_PROPERTY_ATTRIBUTE_NONE);
  counted->SetValue("skipped", CefV8Value::CreateInt(0), V8_PROPERTY_ATTRIBUTE_DONTENUM);
  Eval("for (var k in counted) counted[k]++;");
  EXPECT_EQ(1, counted->GetValue("seen")->GetIntValue());
  EXPECT_EQ(0, counted->GetValue("skipped")->GetIntValue());

  EXPECT_FALSE(global->HasValue(""));
  global->SetValue("", CefV8Value::CreateInt(13), V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_TRUE(global->HasValue(""));
  EXPECT_EQ(13, global->GetValue("")->GetIntValue());
  EXPECT_TRUE(global->DeleteValue(""));
  EXPECT_FALSE(global->HasValue(""));
}

TEST_F(CefAnswersTest, NativeFunctionCallsAndTheirExceptionState) {
  CefRefPtr<SwitchingHandler> handler = new SwitchingHandler();
  CefRefPtr<CefV8Value> function;
  {
    ScopedEnter enter(MainContext());
    function = CefV8Value::CreateFunction("myfunc", handler.get());
    CefRefPtr<CefV8Value> receiver = CefV8Value::CreateObject(nullptr);
    CefRefPtr<CefV8Value> result = function->ExecuteFunction(receiver, {});
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->IsInt());
    EXPECT_EQ(8, result->GetIntValue());
    EXPECT_TRUE(handler->last_this->IsSame(receiver));

    handler->raise = "My error";
    EXPECT_FALSE(function->ExecuteFunction(nullptr, {}));
    ASSERT_TRUE(function->HasException());
    EXPECT_EQ("Uncaught Error: My error", function->GetException()->GetMessage().ToString());

    // A later call that throws nothing clears it; an unhandled call gives
    // undefined, and without a receiver the function sees the global.
    handler->raise.clear();
    handler->handled = false;
    CefRefPtr<CefV8Value> undefined = function->ExecuteFunction(nullptr, {});
    ASSERT_TRUE(undefined);
    EXPECT_TRUE(undefined->IsUndefined());
    EXPECT_FALSE(function->HasException());
    EXPECT_TRUE(handler->last_this->IsSame(MainContext()->GetGlobal()));
  }
  // With a context given, no context needs to be entered.
  handler->handled = true;
  CefRefPtr<CefV8Value> result = function->ExecuteFunctionWithContext(MainContext(), nullptr, {});
  ASSERT_TRUE(result);
  EXPECT_EQ(8, result->GetIntValue());
  EXPECT_TRUE(function->SetRethrowExceptions(false)) << "exception state needs no context";
  EXPECT_FALSE(function->HasException());
}

TEST_F(CefAnswersTest, EvalGivesTheResultOrTheException) {
  CefRefPtr<CefV8Value> retval;
  CefRefPtr<CefV8Exception> exception;
  EXPECT_TRUE(MainContext()->Eval("1+2", retval, exception));
  ASSERT_TRUE(retval);
  EXPECT_TRUE(retval->IsInt());
  EXPECT_EQ(3, retval->GetIntValue());
  EXPECT_FALSE(exception);

  retval = nullptr;
  EXPECT_FALSE(MainContext()->Eval("1+foo", retval, exception));
  EXPECT_FALSE(retval);
  ASSERT_TRUE(exception);
  EXPECT_EQ("Uncaught ReferenceError: foo is not defined", exception->GetMessage().ToString());
}

// Posts a call of the page function "work" made inside the entered context.
class CallWork : public CefTask {
 public:
  explicit CallWork(CefRefPtr<CefV8Context> context) : context_(context) {}
  void Execute() override {
    if (!context_->Enter())
      return;
    context_->GetGlobal()->GetValue("work")->ExecuteFunction(nullptr, {});
    context_->Exit();
  }

 private:
  CefRefPtr<CefV8Context> context_;
  IMPLEMENT_REFCOUNTING(CallWork);
};

// Microtasks run where a Blink renderer runs them: when the outermost script
// call returns, or at the end of a task when the call was made inside an
// entered context; never when a call returns inside one.
TEST_F(CefAnswersTest, MicrotasksRunAtCheckpointsOnly) {
  ASSERT_TRUE(Runtime()->RunPageScript(browser_id_, kMainFrameId,
                                       "var done = 0;"
                                       "function work() { Promise.resolve().then(() => done++); }"
                                       "work(); var seenInScript = done;"));
  EXPECT_EQ(0, Eval("seenInScript")->GetIntValue()) << "not while the script runs";
  EXPECT_EQ(1, Eval("done")->GetIntValue()) << "when the page script ended";

  // Outside any entered context a call is the outermost script.
  CefRefPtr<CefV8Value> work;
  {
    ScopedEnter enter(MainContext());
    work = MainContext()->GetGlobal()->GetValue("work");
  }
  work->ExecuteFunctionWithContext(MainContext(), nullptr, {});
  EXPECT_EQ(2, Eval("done")->GetIntValue());

  // Inside an entered context the reaction waits, also past Exit, until
  // the next checkpoint: here the end of the next page script.
  {
    ScopedEnter enter(MainContext());
    work->ExecuteFunction(nullptr, {});
    EXPECT_EQ(2, Eval("done")->GetIntValue());
  }
  ASSERT_TRUE(Runtime()->RunPageScript(browser_id_, kMainFrameId, "var before = done;"));
  EXPECT_EQ(2, Eval("before")->GetIntValue()) << "leaving the context is no checkpoint";
  EXPECT_EQ(3, Eval("done")->GetIntValue());

  // A posted task is a task of its own.
  ASSERT_TRUE(CefPostTask(TID_RENDERER, new CallWork(MainContext())));
  EXPECT_EQ(1u, cefrt::RunPendingTasks());
  EXPECT_EQ(4, Eval("done")->GetIntValue());
}

}  // namespace
}  // namespace cef_test
