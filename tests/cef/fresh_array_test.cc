// Arrays made by CefV8Value::CreateArray keep their elements in C++ until
// V8 needs the array. Script must not be able to tell: every test here
// compares with what stores made into V8 one by one give, in particular
// when the prototype chain has something a store would call or be refused
// by, or gets it between two stores.
#include <string>

#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {

using FreshArrayTest = RuntimeTest;

std::string Text(const CefRefPtr<CefV8Value>& value) {
  return value ? value->GetStringValue().ToString() : std::string("<null>");
}

// Hands |value| to script as the global |name|.
void Publish(CefRefPtr<CefV8Context> context, const char* name, CefRefPtr<CefV8Value> value) {
  context->GetGlobal()->SetValue(name, value, V8_PROPERTY_ATTRIBUTE_NONE);
}

TEST_F(FreshArrayTest, ElementsReachScriptAsStoredOneByOne) {
  ScopedEnter enter(MainContext());
  CefRefPtr<CefV8Value> object = Eval("({tag: 'o'})");
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(8);
  ASSERT_TRUE(array);
  EXPECT_TRUE(array->IsArray() && array->IsObject() && !array->IsFunction());
  EXPECT_EQ(8, array->GetArrayLength());
  EXPECT_TRUE(array->SetValue(0, CefV8Value::CreateInt(-7)));
  EXPECT_TRUE(array->SetValue(1, CefV8Value::CreateDouble(-0.0)));
  EXPECT_TRUE(array->SetValue(2, CefV8Value::CreateString(u"\u00e9t\u00e9 \U0001F600")));
  EXPECT_TRUE(array->SetValue(3, CefV8Value::CreateBool(true)));
  EXPECT_TRUE(array->SetValue(4, CefV8Value::CreateNull()));
  EXPECT_TRUE(array->SetValue(5, CefV8Value::CreateUndefined()));
  EXPECT_TRUE(array->SetValue(6, object));
  EXPECT_TRUE(array->SetValue(7, CefV8Value::CreateUInt(4000000000u)));
  EXPECT_TRUE(array->SetValue(0, CefV8Value::CreateString("again"))) << "a later store wins";
  EXPECT_FALSE(array->SetValue(1, nullptr)) << "no value, no store";
  Publish(MainContext(), "fresh", array);

  EXPECT_EQ("again|-0|\u00e9t\u00e9 \U0001F600|true|null|undefined|o|4000000000",
            Text(Eval("fresh.map((v, i) => i == 1 ? (Object.is(v, -0) ? '-0' : '+0')"
                      " : v && v.tag || String(v)).join('|')")));
  EXPECT_EQ("0,1,2,3,4,5,6,7", Text(Eval("Object.keys(fresh).join()")));
  EXPECT_TRUE(Eval("fresh[6] === (fresh.o = fresh[6])")->GetBoolValue()) << "same object";
  EXPECT_TRUE(array->GetValue(6)->IsSame(object));
}

TEST_F(FreshArrayTest, HolesLengthAndIdentityStayAsInV8) {
  ScopedEnter enter(MainContext());
  // Holes stay holes; a store past the end makes the array longer.
  CefRefPtr<CefV8Value> sparse = CefV8Value::CreateArray(4);
  EXPECT_TRUE(sparse->SetValue(2, CefV8Value::CreateInt(2)));
  EXPECT_TRUE(sparse->SetValue(6, CefV8Value::CreateInt(6)));
  EXPECT_EQ(7, sparse->GetArrayLength());
  Publish(MainContext(), "sparse", sparse);
  EXPECT_EQ("2,6", Text(Eval("Object.keys(sparse).join()")));
  EXPECT_FALSE(Eval("0 in sparse")->GetBoolValue());

  // An array stored into itself, and one stored into another and changed
  // afterwards: the element is the array itself, not a copy of it.
  CefRefPtr<CefV8Value> outer = CefV8Value::CreateArray(2);
  CefRefPtr<CefV8Value> inner = CefV8Value::CreateArray(2);
  EXPECT_TRUE(inner->SetValue(0, CefV8Value::CreateInt(1)));
  EXPECT_TRUE(outer->SetValue(0, inner));
  EXPECT_TRUE(outer->SetValue(1, outer));
  EXPECT_TRUE(inner->SetValue(1, CefV8Value::CreateInt(2)));
  Publish(MainContext(), "outer", outer);
  EXPECT_TRUE(Eval("outer[1] === outer")->GetBoolValue());
  EXPECT_EQ("1,2", Text(Eval("outer[0].join()")));
  EXPECT_TRUE(outer->GetValue(0)->IsSame(inner));

  // One element stored over and over, with objects and texts in turn: the
  // last store wins, and what the earlier ones kept is given back.
  CefRefPtr<CefV8Value> rewritten = CefV8Value::CreateArray(2);
  EXPECT_TRUE(rewritten->SetValue(1, CefV8Value::CreateString("kept")));
  for (int i = 0; i < 100; ++i) {
    EXPECT_TRUE(rewritten->SetValue(0, Eval("({n: " + std::to_string(i) + "})")));
    EXPECT_TRUE(rewritten->SetValue(0, CefV8Value::CreateString("text " + std::to_string(i))));
  }
  EXPECT_TRUE(rewritten->SetValue(0, Eval("({n: 'last'})")));
  Publish(MainContext(), "rewritten", rewritten);
  EXPECT_EQ("last kept", Text(Eval("rewritten[0].n + ' ' + rewritten[1]")));

  // Page code between every two stores: past a few looks through the
  // chain the array goes to V8 and takes the rest one by one.
  CefRefPtr<CefV8Value> busy = CefV8Value::CreateArray(10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(busy->SetValue(i, CefV8Value::CreateInt(i * i)));
    Eval("void 0");
  }
  Publish(MainContext(), "busy", busy);
  EXPECT_EQ("0,1,4,9,16,25,36,49,64,81", Text(Eval("busy.join()")));

  // Released before script ever saw it: nothing to tell.
  CefRefPtr<CefV8Value> dropped = CefV8Value::CreateArray(3);
  EXPECT_TRUE(dropped->SetValue(0, Eval("({})")));
  dropped = nullptr;
  Eval("void 0");
}

TEST_F(FreshArrayTest, PrototypeSettersProxiesAndReadOnlyElementsStillAct) {
  ScopedEnter enter(MainContext());
  // A setter for index 1 on Array.prototype runs for the store into the
  // hole at 1, and the element stays a hole.
  Eval(
      "var seen = [];"
      "Object.defineProperty(Array.prototype, '1', {configurable: true,"
      "  set(v) { seen.push(v); }, get() { return 'inherited'; }});");
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(3);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(array->SetValue(i, CefV8Value::CreateInt(10 + i)));
  EXPECT_EQ("11", Text(Eval("seen.join()")));
  Publish(MainContext(), "a", array);
  EXPECT_EQ("0,2", Text(Eval("Object.keys(a).join()")));
  EXPECT_EQ("inherited", Text(Eval("a[1]")));
  Eval("delete Array.prototype[1]; seen = [];");

  // The setter comes between two stores: the first store stays an element
  // of the array, the second goes to the setter.
  CefRefPtr<CefV8Value> late = CefV8Value::CreateArray(2);
  EXPECT_TRUE(late->SetValue(0, CefV8Value::CreateInt(1)));
  EXPECT_TRUE(late->SetValue(1, CefV8Value::CreateInt(2)));
  CefRefPtr<CefV8Value> later = CefV8Value::CreateArray(2);
  EXPECT_TRUE(later->SetValue(0, CefV8Value::CreateInt(3)));
  Eval(
      "Object.defineProperty(Object.prototype, '1', {configurable: true,"
      "  set(v) { seen.push(v); }});");
  EXPECT_TRUE(later->SetValue(1, CefV8Value::CreateInt(4)));
  Publish(MainContext(), "late", late);
  Publish(MainContext(), "later", later);
  EXPECT_EQ("4", Text(Eval("seen.join()")));
  EXPECT_EQ("1,2|3", Text(Eval("late.join() + '|' + Object.values(later).join()")));
  Eval("delete Object.prototype[1]; seen = [];");

  // A proxy on the chain sees the store through its trap (which keeps its
  // log in a string: a store into an array would come back to the trap).
  Eval(
      "var saved = Object.getPrototypeOf(Array.prototype), trap = '';"
      "Object.setPrototypeOf(Array.prototype, new Proxy(saved, {"
      "  set(t, k, v, r) { trap += k + '=' + v; return true; }}));");
  CefRefPtr<CefV8Value> trapped = CefV8Value::CreateArray(1);
  EXPECT_TRUE(trapped->SetValue(0, CefV8Value::CreateString("x")));
  Eval("Object.setPrototypeOf(Array.prototype, saved);");
  EXPECT_EQ("0=x", Text(Eval("trap")));
  Publish(MainContext(), "trapped", trapped);
  EXPECT_FALSE(Eval("0 in trapped")->GetBoolValue());

  // A read-only element put on Array.prototype through the CEF interface,
  // which runs no script, keeps the next store out of the array as V8
  // does (which still answers true for such a store).
  CefRefPtr<CefV8Value> proto = Eval("Array.prototype");
  CefRefPtr<CefV8Value> refused = CefV8Value::CreateArray(2);
  EXPECT_TRUE(refused->SetValue(0, CefV8Value::CreateInt(1)));
  ASSERT_TRUE(proto->SetValue("1", CefV8Value::CreateInt(5), V8_PROPERTY_ATTRIBUTE_READONLY));
  EXPECT_TRUE(refused->SetValue(1, CefV8Value::CreateInt(9)));
  Publish(MainContext(), "refused", refused);
  EXPECT_EQ("1,5,0", Text(Eval("[refused[0], refused[1], +refused.hasOwnProperty(1)].join()")));
  EXPECT_TRUE(proto->DeleteValue("1"));
}

TEST_F(FreshArrayTest, AThrowingSetterIsReportedOnTheArray) {
  ScopedEnter enter(MainContext());
  Eval(
      "Object.defineProperty(Array.prototype, '0', {configurable: true,"
      "  set(v) { throw new Error('no ' + v); }});");
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(1);
  EXPECT_FALSE(array->SetValue(0, CefV8Value::CreateInt(3)));
  EXPECT_TRUE(array->HasException());
  EXPECT_EQ("Uncaught Error: no 3", array->GetException()->GetMessage().ToString());
  Eval("delete Array.prototype[0]");
  EXPECT_TRUE(array->ClearException());
  EXPECT_TRUE(array->SetValue(0, CefV8Value::CreateInt(4)));
  EXPECT_EQ(4, array->GetValue(0)->GetIntValue());
}

}  // namespace
}  // namespace cef_test
