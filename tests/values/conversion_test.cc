// Page values to records and back, in a live script context.
#include <cstdio>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "src/app/process_global.h"
#include "src/bridge/callback_holder.h"
#include "src/bridge/com_v8_object.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"
#include "src/values/object_id_counter.h"
#include "src/values/v8_to_json.h"
#include "src/values/value_record.h"
#include "tests/values/script_runtime.h"

namespace {

using nuv_test::Eval;
using nuv_test::EvalText;

class ConversionTest : public nuv_test::PageTest {
 protected:
  // The program's settings class, as the entry routine installs it, so that
  // a test can point its log at a file of its own.
  static void SetUpTestSuite() { GetChromeProcessGlobal(); }

  std::string Encode(const std::string& code) {
    CefRefPtr<CefV8Value> value = Eval(context_, code);
    EXPECT_TRUE(value) << code;
    return V8ValueToJsonText(browser_, context_, value);
  }
  // Decodes `text` and keeps the result as the page global `v`.
  void Decode(const std::string& text) {
    CefRefPtr<CefV8Value> value = JsonTextToV8Value(0, context_, browser_, text);
    ASSERT_TRUE(value) << text;
    context_->GetGlobal()->SetValue("v", value, V8_PROPERTY_ATTRIBUTE_NONE);
  }
  std::string Decoded(const std::string& text, const std::string& probe = "typeof v + ':' + v") {
    Decode(text);
    return EvalText(context_, probe);
  }
  std::string Tagged(const std::string& rest) {
    return "{\"browserId\":" + std::to_string(browser_) + rest + "}\n";
  }
};

TEST_F(ConversionTest, EncodesScalarsInTheFixedTestOrder) {
  EXPECT_EQ(Tagged(",\"valueType\":\"NuvValueNull\""),
            V8ValueToJsonText(browser_, context_, nullptr));
  EXPECT_EQ(Tagged(",\"value\":7,\"valueType\":\"NuvValueInt\""), Encode("7"));
  EXPECT_EQ(Tagged(",\"value\":-1,\"valueType\":\"NuvValueInt\""), Encode("-1"));
  EXPECT_EQ(Tagged(",\"value\":3000000000,\"valueType\":\"NuvValueInt\""), Encode("3000000000"));
  EXPECT_EQ(Tagged(",\"value\":2.5,\"valueType\":\"NuvValueDouble\""), Encode("2.5"));
  EXPECT_EQ(Tagged(",\"value\":5000000000.0,\"valueType\":\"NuvValueDouble\""),
            Encode("5000000000"));
  EXPECT_EQ(Tagged(",\"value\":true,\"valueType\":\"NuvValueBool\""), Encode("true"));
  EXPECT_EQ(Tagged(",\"valueType\":\"NuvValueNull\""), Encode("null"));
  EXPECT_EQ(Tagged(",\"valueType\":\"NuvValueUndefined\""), Encode("undefined"));
  EXPECT_EQ(Tagged(",\"value\":\"a\\nb\\u00e9\",\"valueType\":\"NuvValueString\""),
            Encode("'a\\nb\\u00e9'"));
  // 14:03:09.750 local time: fractions are dropped.
  EXPECT_EQ(Tagged(",\"value\":\"20170315T14:03:09\",\"valueType\":\"NuvValueDate\""),
            Encode("new Date(2017, 2, 15, 14, 3, 9, 750)"));
  EXPECT_EQ(Tagged(",\"value\":\"19500601T12:00:00\",\"valueType\":\"NuvValueDate\""),
            Encode("new Date(1950, 5, 1, 12, 0, 0)"));
}

TEST_F(ConversionTest, EncodesArraysWithoutTagsAndEmptyOnesAsNull) {
  EXPECT_EQ("null\n", Encode("[]"));
  const std::string one =
      "{\"browserId\":" + std::to_string(browser_) + ",\"value\":1,\"valueType\":\"NuvValueInt\"}";
  EXPECT_EQ("[[" + one + "],null]\n", Encode("[[1],[]]"));
}

TEST_F(ConversionTest, ArraysThatContainThemselvesOrNestTooDeepTerminate) {
  const std::string unknown =
      "{\"browserId\":" + std::to_string(browser_) + ",\"valueType\":\"NuvValueUnknown\"}";
  const std::string one =
      "{\"browserId\":" + std::to_string(browser_) + ",\"value\":1,\"valueType\":\"NuvValueInt\"}";
  EXPECT_EQ("[" + one + "," + unknown + "]\n", Encode("var a = [1]; a.push(a); a"));
  // Shared but not cyclic: walked twice.
  EXPECT_EQ("[[" + one + "],[" + one + "]]\n", Encode("var s = [1]; [s, s]"));

  Json::Value deep =
      V8ValueToJson(browser_, context_,
                    Eval(context_, "var d = [1]; for (var i = 0; i < 100000; ++i) d = [d]; d"));
  int depth = 0;
  const Json::Value* at = &deep;
  while (at->isArray()) {
    ++depth;
    at = &(*at)[0];
  }
  EXPECT_EQ(kMaxArrayNesting, depth);
  EXPECT_EQ("NuvValueUnknown", (*at)["valueType"].asString());
}

TEST_F(ConversionTest, FunctionsAreRegisteredUnderNewIdentifiers) {
  CefRefPtr<CefV8Value> function = Eval(context_, "(function f() { return 1; })");
  const Json::Value first = V8ValueToJson(browser_, context_, function);
  const Json::Value second = V8ValueToJson(browser_, context_, function);
  EXPECT_EQ("NuvValueV8Function", first["valueType"].asString());
  EXPECT_EQ("", first["keys"].asString());
  EXPECT_EQ(first["value"].asInt() + 1, second["value"].asInt());
  EXPECT_EQ(V8ObjectIdCounter, second["value"].asInt());
  for (const Json::Value* record : {&first, &second}) {
    CefRefPtr<CNuvV8CallbackObjectHolder> holder =
        FindCallback(browser_, (*record)["value"].asInt());
    ASSERT_TRUE(holder);
    EXPECT_TRUE(holder->GetFunction()->IsSame(function));
  }
  // Only the browser the function was handed over for finds it.
  EXPECT_FALSE(FindCallback(browser_ + 5000, first["value"].asInt()));

  // The record comes back as the very same function.
  const std::string record =
      "{\"valueType\":\"NuvValueV8Function\",\"browserId\":" + std::to_string(browser_) +
      ",\"objectId\":" + std::to_string(first["value"].asInt()) + "}";
  Decode(record);
  context_->GetGlobal()->SetValue("f0", function, V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("true", EvalText(context_, "v === f0"));
  EXPECT_EQ("object:null",
            Decoded("{\"valueType\":\"NuvValueV8Function\",\"browserId\":1,\"objectId\":999999}"));
}

// The record text is written directly; it must be exactly the compact
// writer's text of the record.
TEST_F(ConversionTest, RecordTextEqualsTheWrittenRecord) {
  Decode(
      "{\"valueType\":\"NuvValueComObject\",\"objectId\":12,"
      "\"propertyNames\":\"T\\u00e9\\\"x\\r\\nA\",\"methodNames\":\"\"}");
  const char* samples[] = {
      "[1, -1, 3000000000, 2.5, -0, 0.1, 1e21, 5e-324, NaN, Infinity, -Infinity, 5000000000]",
      "['', 'a\"b\\\\c', '\\b\\f\\n\\r\\t\\u0001\\u007f', '\\u00e9\\u20ac', "
      "'\\ud83d\\ude00', '\\ud800x', '\\udc00']",
      "[true, false, null, undefined, new Date(2017, 2, 15, 14, 3, 9), [[[]]], [[1], []]]",
      "[v, [v], {a: 1}]",
      "var c = [1]; c.push([c]); c",
  };
  for (const char* code : samples) {
    CefRefPtr<CefV8Value> value = Eval(context_, code);
    ASSERT_TRUE(value) << code;
    EXPECT_EQ(WriteJsonText(V8ValueToJson(browser_, context_, value)),
              V8ValueToJsonText(browser_, context_, value))
        << code;
  }
  EXPECT_EQ(WriteJsonText(V8ValueToJson(browser_, context_, nullptr)),
            V8ValueToJsonText(browser_, context_, nullptr));
}

TEST_F(ConversionTest, PlainObjectsAreUnknownAndLogged) {
  char path[] = "/tmp/nuv_values_logXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::remove(path);
  const std::u16string logPath(path, path + sizeof(path) - 1);
  GetChromeProcessGlobal()->SetLogFilePath(logPath);
  EXPECT_EQ(Tagged(",\"valueType\":\"NuvValueUnknown\""), Encode("({a: 1})"));
  GetChromeProcessGlobal()->SetLogFilePath(u"");

  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string narrow;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    narrow.push_back(bytes[i]);
  EXPECT_NE(std::string::npos, narrow.find("Can't convert object to json"));
  std::remove(path);
}

TEST_F(ConversionTest, DecodesEveryTag) {
  EXPECT_EQ("number:1", Decoded("[{\"valueType\":\"NuvValueInt\",\"value\":1}]",
                                "typeof v[0] + ':' + v.length"));
  EXPECT_EQ("object:null", Decoded("null"));
  EXPECT_EQ("undefined:undefined", Decoded("{\"valueType\":\"NuvValueUnknown\"}"));
  EXPECT_EQ("object:null", Decoded("{\"valueType\":\"NuvValueUndefined\"}"));
  EXPECT_EQ("object:null", Decoded("{\"value\":3}"));
  EXPECT_EQ("object:null", Decoded("{\"valueType\":\"nuvvalueint\",\"value\":3}"));
  EXPECT_EQ("boolean:true", Decoded("{\"valueType\":\"NuvValueBool\",\"value\":true}"));
  EXPECT_EQ("number:-7", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":-7}"));
  EXPECT_EQ("number:0.25", Decoded("{\"valueType\":\"NuvValueDouble\",\"value\":0.25}"));
  EXPECT_EQ("string:\xc3\xa9\n",
            Decoded("{\"valueType\":\"NuvValueString\",\"value\":\"\\u00e9\\n\"}"));
  // A missing value reads as the tag's default.
  EXPECT_EQ("boolean:false", Decoded("{\"valueType\":\"NuvValueBool\"}"));
  EXPECT_EQ("number:0", Decoded("{\"valueType\":\"NuvValueInt\"}"));
  EXPECT_EQ("number:0", Decoded("{\"valueType\":\"NuvValueDouble\"}"));
  EXPECT_EQ("string:", Decoded("{\"valueType\":\"NuvValueString\"}"));
  // Unparsable text gives no value at all.
  EXPECT_FALSE(JsonTextToV8Value(0, context_, browser_, "plain text"));
  EXPECT_FALSE(JsonTextToV8Value(0, context_, browser_, ""));
}

TEST_F(ConversionTest, WrongMemberTypesAndOutOfRangeIntegersAreDefined) {
  EXPECT_EQ("number:0", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":\"12\"}"));
  EXPECT_EQ("number:0", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":{\"a\":1}}"));
  EXPECT_EQ("number:1", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":true}"));
  EXPECT_EQ("boolean:false", Decoded("{\"valueType\":\"NuvValueBool\",\"value\":[1]}"));
  EXPECT_EQ("boolean:true", Decoded("{\"valueType\":\"NuvValueBool\",\"value\":2}"));
  EXPECT_EQ("number:0", Decoded("{\"valueType\":\"NuvValueDouble\",\"value\":\"2.5\"}"));
  EXPECT_EQ("string:", Decoded("{\"valueType\":\"NuvValueString\",\"value\":12}"));
  EXPECT_EQ("object:null", Decoded("{\"valueType\":12}"));
  // Records that are not objects, arrays or null.
  EXPECT_EQ("object:null", Decoded("12"));
  EXPECT_EQ("object:null", Decoded("\"NuvValueInt\""));
  EXPECT_EQ("object:null", Decoded("true"));
  // Integers beyond the signed range keep their value: the encoder writes
  // 2^31..2^32-1 this way, and they come back unchanged.
  EXPECT_EQ("number:3000000000", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":3000000000}"));
  EXPECT_EQ("number:-3000000000", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":-3000000000}"));
  EXPECT_EQ("number:2.5", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":2.5}"));
  EXPECT_EQ("number:1e+300", Decoded("{\"valueType\":\"NuvValueInt\",\"value\":1e300}"));
  // Identifiers of the wrong type read as 0.
  EXPECT_EQ("object:null",
            Decoded("{\"valueType\":\"NuvValueV8Function\",\"objectId\":\"1\",\"browserId\":[]}"));
}

TEST_F(ConversionTest, DecodesDateTexts) {
  EXPECT_EQ("1999-11-31 23:59:59",
            Decoded("{\"valueType\":\"NuvValueDate\",\"value\":\"19991231T23:59:59\"}",
                    "[v.getFullYear(), v.getMonth(), v.getDate()].join('-') + ' ' + "
                    "[v.getHours(), v.getMinutes(), v.getSeconds()].join(':')"));
  EXPECT_EQ("0",
            Decoded("{\"valueType\":\"NuvValueDate\",\"value\":\"1999-12-31\"}", "v.getTime()"));
  EXPECT_EQ("0", Decoded("{\"valueType\":\"NuvValueDate\"}", "v.getTime()"));
  EXPECT_EQ("0", Decoded("{\"valueType\":\"NuvValueDate\",\"value\":17}", "v.getTime()"));
  EXPECT_EQ("true", Decoded("{\"valueType\":\"NuvValueDate\",\"value\":\"19991331T23:59:59\"}",
                            "Math.abs(v.getTime() - Date.now()) < 5000"));
  EXPECT_EQ("2017-2-2", Decoded("{\"valueType\":\"NuvValueDate\",\"value\":\"20170230T12:00:00\"}",
                                "[v.getFullYear(), v.getMonth(), v.getDate()].join('-')"));
  // Round trip through the encoder.
  const Json::Value record =
      V8ValueToJson(browser_, context_, Eval(context_, "new Date(1960, 6, 4, 10, 20, 30)"));
  Decode(WriteJsonText(record));
  EXPECT_EQ("true",
            EvalText(context_, "v.getTime() === new Date(1960, 6, 4, 10, 20, 30).getTime()"));
}

TEST_F(ConversionTest, HostObjectRecordsBecomeProxies) {
  Decode(
      "{\"valueType\":\"NuvValueComObject\",\"objectId\":12,\"value\":99,\"browserId\":5,"
      "\"propertyNames\":\"Title\\r\\nAuthor\",\"methodNames\":\"Save\"}");
  EXPECT_EQ("function", EvalText(context_, "typeof v.Save"));
  EXPECT_EQ("Save", EvalText(context_, "v.Save.name"));
  EXPECT_EQ("true", EvalText(context_, "'Title' in v && 'Author' in v && !('Title\\r' in v)"));
  const Json::Value back = V8ValueToJson(browser_, context_, Eval(context_, "v"));
  EXPECT_EQ("NuvValueComObject", back["valueType"].asString());
  EXPECT_EQ(12, back["value"].asInt());
  EXPECT_EQ("Title\r\nAuthor", back["propertyNames"].asString());
  EXPECT_EQ("Save", back["methodNames"].asString());
  EXPECT_EQ(browser_, back["browserId"].asInt());

  Decode("{\"valueType\":\"NuvValueComObject\",\"objectId\":13,\"propertyNames\":\"\\nA\"}");
  EXPECT_EQ("A", EvalText(context_, "Object.keys(v).join(',')"));
  Decode("{\"valueType\":\"NuvValueComObject\",\"objectId\":14,\"propertyNames\":\"\\n\"}");
  EXPECT_EQ("true", EvalText(context_, "'' in v"));
  Decode("{\"valueType\":\"NuvValueComObject\"}");
  EXPECT_EQ("0", EvalText(context_, "Object.keys(v).length"));
  CefRefPtr<CefBase> userData = Eval(context_, "v")->GetUserData();
  CNuvComV8Object* proxy = dynamic_cast<CNuvComV8Object*>(userData.get());
  ASSERT_TRUE(proxy);
  EXPECT_EQ(0, proxy->GetObjectId());
  EXPECT_EQ(browser_, proxy->GetBrowserId());
}

TEST_F(ConversionTest, ForeignFunctionsAreNamedFromTheSharedCounter) {
  const int before = V8ObjectIdCounter;
  Decode("{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"objectId\":4,\"browserId\":77}");
  const std::string first = EvalText(context_, "v.name");
  context_->GetGlobal()->SetValue("g", Eval(context_, "v"), V8_PROPERTY_ATTRIBUTE_NONE);
  Decode("{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"objectId\":4,\"browserId\":77}");
  EXPECT_EQ("nuvAnonymouFunction" + std::to_string(before + 1), first);
  EXPECT_EQ("nuvAnonymouFunction" + std::to_string(before + 2), EvalText(context_, "v.name"));
  EXPECT_EQ("false", EvalText(context_, "v === g"));
  // The next page function handed over skips the numbers the names took.
  const Json::Value record = V8ValueToJson(browser_, context_, Eval(context_, "(function(){})"));
  EXPECT_EQ(before + 3, record["value"].asInt());
  // A foreign-function proxy is itself a page function of this browser.
  const Json::Value proxy = V8ValueToJson(browser_, context_, Eval(context_, "v"));
  EXPECT_EQ("NuvValueV8Function", proxy["valueType"].asString());
  EXPECT_EQ(browser_, proxy["browserId"].asInt());
}

TEST_F(ConversionTest, DeepRecordsAndArgumentListsTerminate) {
  Json::Value deep(Json::arrayValue);
  for (int i = 0; i < 5000; ++i) {
    Json::Value outer(Json::arrayValue);
    outer.append(std::move(deep));
    deep = std::move(outer);
  }
  CefRefPtr<CefV8Value> value = JsonToV8Value(0, context_, browser_, deep);
  ASSERT_TRUE(value);
  context_->GetGlobal()->SetValue("v", value, V8_PROPERTY_ATTRIBUTE_NONE);
  Eval(context_, "var n = 0; while (Array.isArray(v)) { v = v[0]; ++n; }");
  EXPECT_EQ(std::to_string(kMaxArrayNesting), EvalText(context_, "n"));
  // Deep text is refused by the reader.
  EXPECT_FALSE(JsonTextToV8Value(0, context_, browser_, std::string(100000, '[')));

  Json::Value object(Json::objectValue);
  object["valueType"] = "NuvValueInt";
  EXPECT_TRUE(JsonArrayToV8ValueList(0, context_, browser_, object).empty());
  EXPECT_TRUE(JsonArrayToV8ValueList(0, context_, browser_, Json::Value()).empty());
  Json::Value list;
  ASSERT_TRUE(ParseJsonText("[{\"valueType\":\"NuvValueInt\",\"value\":1},null,[]]", &list));
  CefV8ValueList values = JsonArrayToV8ValueList(0, context_, browser_, list);
  ASSERT_EQ(3u, values.size());
  EXPECT_EQ(1, values[0]->GetIntValue());
  EXPECT_TRUE(values[1]->IsNull());
  EXPECT_TRUE(values[2]->IsArray());
}

}  // namespace

int main(int argc, char** argv) {
  return nuv_test::RunTestsWithScriptRuntime(argc, argv);
}
