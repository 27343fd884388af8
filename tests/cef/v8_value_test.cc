// CefV8Value over real V8: kinds, numbers, dates, objects, accessors,
// native functions, user data and function calls with exceptions.
#include <climits>
#include <cmath>
#include <stdexcept>

#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {

using ValueTest = RuntimeTest;

// Counts calls and remembers what it saw.
class CountingAccessor : public CefV8Accessor {
 public:
  int gets = 0, sets = 0;
  std::string last_name;
  int last_set = 0;
  bool handle = true;
  std::string exception;

  bool Get(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           CefRefPtr<CefV8Value>& retval,
           CefString& exception_out) override {
    ++gets;
    last_name = name.ToString();
    if (!exception.empty())
      exception_out = exception;
    else
      retval = CefV8Value::CreateInt(gets * 10);
    return handle;
  }
  bool Set(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           const CefRefPtr<CefV8Value> value,
           CefString& exception_out) override {
    ++sets;
    last_name = name.ToString();
    last_set = value->GetIntValue();
    if (!exception.empty())
      exception_out = exception;
    return handle;
  }

 private:
  IMPLEMENT_REFCOUNTING(CountingAccessor);
};

// Adds its arguments; with "fail" set it raises that text instead.
class AddHandler : public CefV8Handler {
 public:
  int calls = 0;
  std::string last_name;
  CefRefPtr<CefV8Value> last_this;
  std::string fail;
  bool handle = true;

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    ++calls;
    last_name = name.ToString();
    last_this = object;
    if (!fail.empty()) {
      exception = fail;
      return handle;
    }
    double sum = 0;
    for (const auto& a : arguments)
      sum += a->GetDoubleValue();
    retval = CefV8Value::CreateDouble(sum);
    return handle;
  }

 private:
  IMPLEMENT_REFCOUNTING(AddHandler);
};

class Tag : public CefBase {
 public:
  explicit Tag(int v) : value(v) {}
  int value;

 private:
  IMPLEMENT_REFCOUNTING(Tag);
};

// CEF fixes a number's kind when the wrapper is made and answers IsInt and
// IsUInt alike for both integer kinds, reading one shared 32-bit value.
TEST_F(ValueTest, NumberKindsAreFixedWhenWrapped) {
  // Primitives need no context.
  auto min = CefV8Value::CreateInt(INT_MIN);
  EXPECT_TRUE(min->IsInt());
  EXPECT_TRUE(min->IsUInt());
  EXPECT_TRUE(min->IsDouble());
  EXPECT_EQ(INT_MIN, min->GetIntValue());
  EXPECT_EQ(2147483648u, min->GetUIntValue()) << "the same bits, unsigned";
  EXPECT_EQ(-2147483648.0, min->GetDoubleValue());

  auto umax = CefV8Value::CreateUInt(UINT_MAX);
  EXPECT_TRUE(umax->IsInt());
  EXPECT_TRUE(umax->IsUInt());
  EXPECT_EQ(-1, umax->GetIntValue());
  EXPECT_EQ(UINT_MAX, umax->GetUIntValue());
  EXPECT_EQ(4294967295.0, umax->GetDoubleValue());

  auto half = CefV8Value::CreateDouble(1.5);
  EXPECT_FALSE(half->IsInt());
  EXPECT_FALSE(half->IsUInt());
  EXPECT_TRUE(half->IsDouble());
  EXPECT_EQ(0, half->GetIntValue()) << "no truncation of fractional numbers";
  EXPECT_EQ(0u, half->GetUIntValue());

  auto two = CefV8Value::CreateDouble(2.0);
  EXPECT_FALSE(two->IsInt()) << "a double stays a double whatever its value";
  EXPECT_EQ(0, two->GetIntValue());
  EXPECT_EQ(2.0, two->GetDoubleValue());
  EXPECT_TRUE(CefV8Value::CreateDouble(NAN)->IsDouble());
  EXPECT_TRUE(std::isnan(CefV8Value::CreateDouble(NAN)->GetDoubleValue()));

  // Values of script get the kind of V8's tests: Int32, else Uint32, else a
  // double.
  ScopedEnter enter(MainContext());
  auto big = Eval("3000000000");
  EXPECT_TRUE(big->IsInt());
  EXPECT_TRUE(big->IsUInt());
  EXPECT_EQ(-1294967296, big->GetIntValue());
  EXPECT_EQ(3000000000u, big->GetUIntValue());
  EXPECT_EQ(3000000000.0, big->GetDoubleValue());
  auto neg = Eval("-1");
  EXPECT_TRUE(neg->IsUInt());
  EXPECT_EQ(4294967295u, neg->GetUIntValue());
  EXPECT_EQ(-1.0, neg->GetDoubleValue());
  auto huge = Eval("2 ** 32");
  EXPECT_FALSE(huge->IsInt());
  EXPECT_FALSE(huge->IsUInt());
  EXPECT_TRUE(huge->IsDouble());
  EXPECT_FALSE(Eval("-0")->IsInt()) << "-0 is neither integer kind";
  EXPECT_TRUE(Eval("4 / 2")->IsInt()) << "script's 2 is an integer";
  EXPECT_FALSE(Eval("'5'")->IsDouble());
  EXPECT_FALSE(Eval("true")->IsInt());
  EXPECT_TRUE(Eval("true")->GetBoolValue());

  // The kind survives the way through script and back.
  ASSERT_TRUE(MainContext()->GetGlobal()->SetValue("u", CefV8Value::CreateUInt(5),
                                                   V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(Eval("u")->IsInt()) << "5 comes back from script as an int";
  EXPECT_EQ(5, Eval("u")->GetIntValue());
}

// What CEF's own tests expect of each kind's tests: exactly one family.
TEST_F(ValueTest, EachKindAnswersOnlyItsOwnTests) {
  struct Answers {
    bool undef, null, boolean, integer, dbl, date, string, object;
  };
  auto answers = [](CefRefPtr<CefV8Value> v) {
    return Answers{v->IsUndefined(), v->IsNull(), v->IsBool(),   v->IsInt() && v->IsUInt(),
                   v->IsDouble(),    v->IsDate(), v->IsString(), v->IsObject()};
  };
  auto expect = [&](CefRefPtr<CefV8Value> v, Answers want, const char* what) {
    ASSERT_TRUE(v) << what;
    Answers got = answers(v);
    EXPECT_EQ(want.undef, got.undef) << what;
    EXPECT_EQ(want.null, got.null) << what;
    EXPECT_EQ(want.boolean, got.boolean) << what;
    EXPECT_EQ(want.integer, got.integer) << what;
    EXPECT_EQ(want.dbl, got.dbl) << what;
    EXPECT_EQ(want.date, got.date) << what;
    EXPECT_EQ(want.string, got.string) << what;
    EXPECT_EQ(want.object, got.object) << what;
    EXPECT_FALSE(v->IsArray() || v->IsFunction()) << what;
  };
  expect(CefV8Value::CreateUndefined(), {true, false, false, false, false, false, false, false},
         "undefined");
  expect(CefV8Value::CreateNull(), {false, true, false, false, false, false, false, false}, "null");
  expect(CefV8Value::CreateBool(true), {false, false, true, false, false, false, false, false},
         "bool");
  expect(CefV8Value::CreateInt(12), {false, false, false, true, true, false, false, false}, "int");
  expect(CefV8Value::CreateUInt(12), {false, false, false, true, true, false, false, false},
         "uint");
  expect(CefV8Value::CreateDouble(12.1223), {false, false, false, false, true, false, false, false},
         "double");
  expect(CefV8Value::CreateString("My string"),
         {false, false, false, false, false, false, true, false}, "string");
  expect(CefV8Value::CreateString(CefString()),
         {false, false, false, false, false, false, true, false}, "empty string");
  expect(CefV8Value::CreateDate(CefTime(1000.0)),
         {false, false, false, false, false, true, false, false}, "date");
  ScopedEnter enter(MainContext());
  expect(Eval("new Date(5)"), {false, false, false, false, false, true, false, false},
         "a date of script is a date, not an object");
  expect(CefV8Value::CreateObject(nullptr), {false, false, false, false, false, false, false, true},
         "object");
}

TEST_F(ValueTest, StringsRoundTripUtf16) {
  std::u16string text = u"caf\u00e9 \U0001F600 ";
  text.push_back(u'\0');
  text += u"tail";
  auto s = CefV8Value::CreateString(text);
  ASSERT_TRUE(s->IsString());
  EXPECT_EQ(text, std::u16string(s->GetStringValue()));
  EXPECT_TRUE(CefV8Value::CreateString(CefString())->GetStringValue().empty());

  ScopedEnter enter(MainContext());
  auto global = MainContext()->GetGlobal();
  ASSERT_TRUE(global->SetValue("s", s, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(13, Eval("s.length")->GetIntValue());
  EXPECT_EQ(0x1F600, Eval("s.codePointAt(5)")->GetIntValue());
  EXPECT_TRUE(Eval("({}).x")->GetStringValue().empty()) << "undefined has no string value";
}

TEST_F(ValueTest, DatesAreUtc) {
  ScopedEnter enter(MainContext());
  cef_time_t fields = {2024, 2, 0, 29, 23, 59, 58, 123};
  auto date = CefV8Value::CreateDate(CefTime(fields));
  ASSERT_TRUE(date && date->IsDate());
  ASSERT_TRUE(MainContext()->GetGlobal()->SetValue("d", date, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("2024-02-29T23:59:58.123Z", Eval("d.toISOString()")->GetStringValue().ToString());

  CefTime read = Eval("new Date(Date.UTC(1969, 11, 31, 23, 59, 59, 250))")->GetDateValue();
  EXPECT_EQ(1969, read.year);
  EXPECT_EQ(12, read.month);
  EXPECT_EQ(31, read.day_of_month);
  EXPECT_EQ(3, read.day_of_week);
  EXPECT_EQ(23, read.hour);
  EXPECT_EQ(59, read.second);
  EXPECT_EQ(250, read.millisecond);

  // An invalid date, like anything that is not a date, reads as CEF's
  // time of 0 seconds (1601-01-01, which converts back to 0).
  CefTime invalid = Eval("new Date(NaN)")->GetDateValue();
  EXPECT_EQ(1601, invalid.year);
  EXPECT_EQ(0, invalid.GetTimeT());
  EXPECT_EQ(1601, Eval("1")->GetDateValue().year);
  EXPECT_EQ(0, Eval("new Date(-1)")->GetDateValue().GetTimeT())
      << "a millisecond before the epoch is second 0";

  // A date is taken by its time: script gets a new Date object each time,
  // and the wrapper outlives its context.
  auto same = Eval("var kept = new Date(86400000); kept");
  ASSERT_TRUE(MainContext()->GetGlobal()->SetValue("back", same, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_FALSE(Eval("back === kept")->GetBoolValue());
  EXPECT_EQ(86400000, Eval("back.getTime()")->GetIntValue());
  EXPECT_TRUE(same->IsSame(CefV8Value::CreateDate(CefTime(86400.0))));
  EXPECT_FALSE(same->GetValue("x")) << "a date has no properties to read";
}

TEST_F(ValueTest, ObjectsAndArrays) {
  ScopedEnter enter(MainContext());
  auto obj = CefV8Value::CreateObject(nullptr);
  ASSERT_TRUE(obj && obj->IsObject());
  EXPECT_FALSE(obj->IsArray());
  EXPECT_TRUE(obj->IsUserCreated());
  EXPECT_TRUE(obj->SetValue("a", CefV8Value::CreateInt(1), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(obj->SetValue("ro", CefV8Value::CreateInt(2), V8_PROPERTY_ATTRIBUTE_READONLY));
  EXPECT_TRUE(obj->SetValue("hidden", CefV8Value::CreateInt(3), V8_PROPERTY_ATTRIBUTE_DONTENUM));
  EXPECT_FALSE(obj->SetValue("bad", nullptr, V8_PROPERTY_ATTRIBUTE_NONE));
  std::vector<CefString> keys;
  ASSERT_TRUE(obj->GetKeys(keys));
  ASSERT_EQ(2u, keys.size()) << "enumerable names only";

  MainContext()->GetGlobal()->SetValue("o", obj, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ(2, Eval("o.ro = 9; o.ro")->GetIntValue()) << "read-only ignores sloppy writes";
  EXPECT_EQ("a,ro", Eval("Object.keys(o).join()")->GetStringValue().ToString());
  EXPECT_TRUE(obj->HasValue("a"));
  EXPECT_TRUE(obj->DeleteValue("a"));
  EXPECT_FALSE(obj->HasValue("a"));
  EXPECT_TRUE(obj->GetValue("missing")->IsUndefined());

  auto arr = CefV8Value::CreateArray(2);
  ASSERT_TRUE(arr->IsArray());
  EXPECT_EQ(2, arr->GetArrayLength());
  EXPECT_TRUE(arr->SetValue(3, CefV8Value::CreateString("x")));
  EXPECT_EQ(4, arr->GetArrayLength());
  EXPECT_EQ("x", arr->GetValue(3)->GetStringValue().ToString());
  EXPECT_FALSE(arr->HasValue(0));
  EXPECT_FALSE(arr->SetValue(-1, CefV8Value::CreateInt(1)));
  EXPECT_FALSE(arr->GetValue(-1));
  EXPECT_EQ(0, CefV8Value::CreateArray(-5)->GetArrayLength());
  keys.clear();
  arr->GetKeys(keys);
  ASSERT_EQ(1u, keys.size()) << "holes are not keys";
  EXPECT_EQ("3", keys[0].ToString());

  // Identity versus equality.
  EXPECT_TRUE(obj->IsSame(MainContext()->GetGlobal()->GetValue("o")));
  EXPECT_FALSE(obj->IsSame(CefV8Value::CreateObject(nullptr)));
  EXPECT_TRUE(CefV8Value::CreateInt(3)->IsSame(CefV8Value::CreateInt(3)));
  EXPECT_FALSE(CefV8Value::CreateInt(3)->IsSame(CefV8Value::CreateDouble(3.0)))
      << "as CEF: values of different kinds are never the same";
  EXPECT_FALSE(CefV8Value::CreateInt(3)->IsSame(CefV8Value::CreateUInt(3)));

  // Object methods on primitives fail cleanly.
  auto num = CefV8Value::CreateInt(1);
  EXPECT_FALSE(num->SetValue("x", num, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_FALSE(num->GetValue("x"));
  EXPECT_FALSE(num->ExecuteFunction(nullptr, {}));
  EXPECT_EQ(0, num->GetArrayLength());
}

TEST_F(ValueTest, OutsideAContextObjectsFailCleanly) {
  ASSERT_FALSE(CefV8Context::InContext());
  EXPECT_FALSE(CefV8Value::CreateObject(nullptr));
  EXPECT_FALSE(CefV8Value::CreateArray(1));
  EXPECT_FALSE(CefV8Value::CreateFunction("f", new AddHandler()));
  EXPECT_TRUE(CefV8Value::CreateDate(CefTime())) << "as CEF: a date needs no context";
  EXPECT_TRUE(CefV8Value::CreateInt(1)) << "primitives need no context";
  EXPECT_FALSE(CefV8Context::GetCurrentContext());
  EXPECT_FALSE(CefV8StackTrace::GetCurrent(10));

  CefRefPtr<CefV8Value> global = MainContext()->GetGlobal();
  ASSERT_TRUE(global);
  EXPECT_FALSE(global->GetValue("document")) << "object access needs a current context";
  ScopedEnter enter(MainContext());
  EXPECT_TRUE(global->GetValue("document")->IsObject());
}

TEST_F(ValueTest, AccessorIsCalledOnEveryReadAndWrite) {
  ScopedEnter enter(MainContext());
  CefRefPtr<CountingAccessor> accessor = new CountingAccessor();
  auto obj = CefV8Value::CreateObject(accessor.get());
  ASSERT_TRUE(obj->SetValue("x", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE));
  ASSERT_TRUE(obj->SetValue("r", V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_READONLY));
  EXPECT_FALSE(CefV8Value::CreateObject(nullptr)->SetValue("x", V8_ACCESS_CONTROL_DEFAULT,
                                                           V8_PROPERTY_ATTRIBUTE_NONE))
      << "an accessor property needs an accessor";
  MainContext()->GetGlobal()->SetValue("h", obj, V8_PROPERTY_ATTRIBUTE_NONE);

  EXPECT_EQ(30, Eval("h.x + h.x")->GetIntValue());
  EXPECT_EQ(2, accessor->gets);
  EXPECT_EQ("x", accessor->last_name);
  Eval("h.x = 41; h.x = 42;");
  EXPECT_EQ(2, accessor->sets);
  EXPECT_EQ(42, accessor->last_set);
  Eval("h.r = 5");
  EXPECT_EQ(2, accessor->sets) << "a read-only accessor property has no setter";
  EXPECT_EQ(30, obj->GetValue("x")->GetIntValue()) << "C++ reads go through the accessor too";

  accessor->exception = "denied";
  EXPECT_EQ("Error: denied",
            Eval("try { h.x; 'no' } catch (e) { String(e) }")->GetStringValue().ToString());
  EXPECT_EQ("Error: denied",
            Eval("try { h.x = 1; 'no' } catch (e) { String(e) }")->GetStringValue().ToString());
  accessor->exception.clear();
  accessor->handle = false;
  EXPECT_TRUE(Eval("h.x")->IsUndefined()) << "an unhandled read is undefined";
  EXPECT_TRUE(Handler()->uncaught.empty());
}

TEST_F(ValueTest, NativeFunctionsReceiveNameThisAndArguments) {
  ScopedEnter enter(MainContext());
  CefRefPtr<AddHandler> handler = new AddHandler();
  auto fn = CefV8Value::CreateFunction("add", handler.get());
  ASSERT_TRUE(fn && fn->IsFunction());
  EXPECT_EQ("add", fn->GetFunctionName().ToString());
  EXPECT_EQ(handler.get(), fn->GetFunctionHandler().get());
  EXPECT_FALSE(CefV8Value::CreateFunction("nohandler", nullptr));
  auto global = MainContext()->GetGlobal();
  global->SetValue("add", fn, V8_PROPERTY_ATTRIBUTE_NONE);

  EXPECT_EQ(7.5, Eval("add(2, 3, 2.5)")->GetDoubleValue());
  EXPECT_EQ("add", handler->last_name);
  EXPECT_EQ("add", Eval("add.name")->GetStringValue().ToString());
  Eval("var holder = { f: add }; holder.f(1);");
  EXPECT_TRUE(handler->last_this->IsSame(global->GetValue("holder")));

  handler->fail = "bad input";
  EXPECT_EQ("bad input",
            Eval("try { add(1); 'no' } catch (e) { e.message }")->GetStringValue().ToString());
  handler->fail.clear();
  handler->handle = false;
  EXPECT_TRUE(Eval("add(1, 2)")->IsUndefined());
  EXPECT_EQ(4, handler->calls);

  // A C++ exception from a handler never unwinds through V8.
  class Throwing : public CefV8Handler {
   public:
    bool Execute(const CefString&,
                 CefRefPtr<CefV8Value>,
                 const CefV8ValueList&,
                 CefRefPtr<CefV8Value>&,
                 CefString&) override {
      throw std::runtime_error("oops");
    }

   private:
    IMPLEMENT_REFCOUNTING(Throwing);
  };
  global->SetValue("throwing", CefV8Value::CreateFunction("throwing", new Throwing()),
                   V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("native callback failed",
            Eval("try { throwing(); 'no' } catch (e) { e.message }")->GetStringValue().ToString());
}

TEST_F(ValueTest, UserDataOnObjectsAndFunctions) {
  ScopedEnter enter(MainContext());
  auto obj = CefV8Value::CreateObject(nullptr);
  auto fn = CefV8Value::CreateFunction("f", new AddHandler());
  ASSERT_TRUE(obj->SetUserData(new Tag(1)));
  ASSERT_TRUE(fn->SetUserData(new Tag(2)));
  EXPECT_EQ(1, static_cast<Tag*>(obj->GetUserData().get())->value);
  EXPECT_EQ(2, static_cast<Tag*>(fn->GetUserData().get())->value);

  // Through another wrapper of the same script object.
  auto global = MainContext()->GetGlobal();
  global->SetValue("f", fn, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ(2, static_cast<Tag*>(global->GetValue("f")->GetUserData().get())->value);

  // As in CEF, objects the page made carry no user data.
  auto page_object = Eval("({})");
  EXPECT_FALSE(page_object->IsUserCreated());
  EXPECT_FALSE(page_object->SetUserData(new Tag(3)));
  EXPECT_FALSE(page_object->GetUserData());

  EXPECT_TRUE(obj->SetUserData(nullptr));
  EXPECT_FALSE(obj->GetUserData());
}

TEST_F(ValueTest, ExecuteFunctionReportsThrowsAsUncaught) {
  ScopedEnter enter(MainContext());
  Eval(
      "function sum(a, b) { return this.base + a + b; }\n"
      "function inner() {\n"
      "  throw new Error('boom');\n"
      "}\n"
      "function outer() { inner(); }\n");
  auto global = MainContext()->GetGlobal();
  auto receiver = Eval("({ base: 100 })");
  auto result = global->GetValue("sum")->ExecuteFunction(
      receiver, {CefV8Value::CreateInt(1), CefV8Value::CreateInt(2)});
  ASSERT_TRUE(result);
  EXPECT_EQ(103, result->GetIntValue());

  auto outer = global->GetValue("outer");
  EXPECT_FALSE(outer->ExecuteFunction(nullptr, {}));
  ASSERT_TRUE(outer->HasException());
  EXPECT_EQ("Uncaught Error: boom", outer->GetException()->GetMessage().ToString());
  EXPECT_EQ(3, outer->GetException()->GetLineNumber());

  ASSERT_EQ(1u, Handler()->uncaught.size()) << "the throw reaches OnUncaughtException once";
  const UncaughtRecord& record = Handler()->uncaught[0];
  EXPECT_EQ(browser_id_, record.browser_id);
  EXPECT_EQ(kMainFrameId, record.frame_id);
  EXPECT_EQ("Uncaught Error: boom", record.message);
  EXPECT_EQ("  throw new Error('boom');", record.source_line);
  EXPECT_EQ(3, record.line_number);
  ASSERT_GE(record.stack_functions.size(), 2u);
  EXPECT_EQ("inner", record.stack_functions[0]);
  EXPECT_EQ(3, record.stack_lines[0]);
  EXPECT_EQ("outer", record.stack_functions[1]);

  EXPECT_TRUE(outer->ClearException());
  EXPECT_FALSE(outer->HasException());

  // A bad argument or receiver fails without calling.
  EXPECT_FALSE(global->GetValue("sum")->ExecuteFunction(CefV8Value::CreateInt(1), {}));
  EXPECT_FALSE(global->GetValue("sum")->ExecuteFunction(nullptr, {nullptr}));
  EXPECT_EQ(1u, Handler()->uncaught.size());
}

TEST_F(ValueTest, RethrownExceptionsReachTheCallingScript) {
  ScopedEnter enter(MainContext());
  Eval("function thrower() { throw new TypeError('inner'); }");
  auto thrower = MainContext()->GetGlobal()->GetValue("thrower");
  ASSERT_TRUE(thrower->SetRethrowExceptions(true));

  // A native function calls back into script; the rethrown error surfaces
  // in the script that called the native function.
  class Caller : public CefV8Handler {
   public:
    explicit Caller(CefRefPtr<CefV8Value> target) : target_(target) {}
    bool Execute(const CefString&,
                 CefRefPtr<CefV8Value>,
                 const CefV8ValueList&,
                 CefRefPtr<CefV8Value>& retval,
                 CefString&) override {
      retval = target_->ExecuteFunction(nullptr, {});
      return true;
    }

   private:
    CefRefPtr<CefV8Value> target_;
    IMPLEMENT_REFCOUNTING(Caller);
  };
  MainContext()->GetGlobal()->SetValue("callIt",
                                       CefV8Value::CreateFunction("callIt", new Caller(thrower)),
                                       V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("TypeError",
            Eval("try { callIt(); 'none' } catch (e) { e.name }")->GetStringValue().ToString());
}

}  // namespace
}  // namespace cef_test
