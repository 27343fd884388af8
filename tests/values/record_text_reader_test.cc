// The quick reader of record texts against Json::Reader: the texts both
// sides write take the quick path, and for every text it accepts the
// reader accepts it too and the page values are the same.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "src/bridge/bridge_requests.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"
#include "tests/values/record_text_differential.h"
#include "tests/values/script_runtime.h"

namespace {

class RecordTextReaderTest : public nuv_test::PageTest {
 protected:
  // Checks the two readers on `text`; returns whether the quick one took it.
  bool Check(const std::string& text) {
    nuv_test::DifferentialOutcome outcome =
        nuv_test::CompareRecordTextReaders(context_, browser_, text);
    EXPECT_TRUE(outcome.agrees) << outcome.why << " for: " << text;
    return outcome.quickAccepted;
  }
  std::string Encode(const std::string& code) {
    return V8ValueToJsonText(browser_, context_, nuv_test::Eval(context_, code));
  }
};

constexpr char kMixed[] =
    "[0, -1, 2147483647, -2147483648, 3000000000, 4294967295, 2.5, -0.0, 1e300, "
    "2.2250738585072014e-308,"
    " 1/3, NaN, true, false, null, undefined, '', 'plain',"
    " 'esc \"\\\\/\\b\\f\\n\\r\\t\\u0001\\u007f', 'caf\\u00e9 \\u4e2d \\ud83d\\ude00',"
    " 'lone \\ud800 \\udc00', new Date(2017, 2, 15, 14, 3, 9), [], [[1, [2, []]], 'x'], {}]";

TEST_F(RecordTextReaderTest, OwnTextsTakeTheQuickPathAndMatch) {
  const std::string text = Encode(kMixed);
  EXPECT_TRUE(Check(text)) << text;
  // The decoded array encodes back to the same text either way.
  EXPECT_EQ(
      V8ValueToJsonText(browser_, context_, JsonTextToV8Value(0, context_, browser_, text)),
      V8ValueToJsonText(browser_, context_, ReaderTextToV8Value(0, context_, browser_, text)));
  EXPECT_TRUE(Check("null\n"));
  EXPECT_TRUE(Check(Encode("[[[]]]")));
}

TEST_F(RecordTextReaderTest, HandWrittenEdgesAgreeWithTheReader) {
  const std::string b = "\"browserId\":1,";
  const std::vector<std::string> texts = {
      // Numbers: signs, leading zeros, large and small, exponents, reals
      // where integers go and the reverse.
      "{" + b + "\"value\":-0,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":007,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":2147483648,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":-2147483649,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":999999999999999999,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":99999999999999999999,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":5.0,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":5.5,\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":1E2,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":1e-400,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":1e400,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":-1e+9999,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":1.,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":.5,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":-,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":0.1e-320,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":4.9406564584124654e-324,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":1e+9999,\"valueType\":\"NuvValueDouble\"}",
      // Members of the wrong type, missing, repeated, extra.
      "{" + b + "\"value\":\"7\",\"valueType\":\"NuvValueInt\"}",
      "{" + b + "\"value\":true,\"valueType\":\"NuvValueDouble\"}",
      "{" + b + "\"value\":1,\"valueType\":\"NuvValueBool\"}",
      "{" + b + "\"value\":7,\"valueType\":\"NuvValueString\"}",
      "{" + b + "\"valueType\":\"NuvValueDate\"}",
      "{" + b + "\"value\":\"19991331T23:59:59\",\"valueType\":\"NuvValueDate\"}",
      "{" + b + "\"value\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}",
      "{\"valueType\":\"NuvValueInt\",\"value\":3,\"valueType\":7}",
      "{\"valueType\":\"NuvValueInt\",\"value\":3,\"extra\":[1]}",
      "{\"valueType\":\"NuvValueInt\",\"value\":{\"a\":1}}",
      "{\"valueType\":\"NuvValue\\u0049nt\",\"value\":3}",
      "{\"value\\u0054ype\":\"NuvValueInt\",\"value\":3}",
      "{\"valueType\":\"NuvValueUndefined\"}",
      "{\"valueType\":\"NuvValueUnknown\"}",
      "{}",
      "{\"\":1,}",
      "{\"a\":1,}",
      // Strings: escapes, surrogates paired or not, raw control and
      // non-UTF-8 bytes, zero bytes.
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\ud83d\\ude00\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\ud83d\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\ud83dx\\u0041\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\ude00\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\u00zz\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"\\x\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"tab\there\\u0000gone\"}",
      std::string("{\"valueType\":\"NuvValueString\",\"value\":\"a\0b\"}", 43),
      "{\"valueType\":\"NuvValueString\",\"value\":\"\xff\xfe\xc3\"}",
      "{\"valueType\":\"NuvValueString\",\"value\":\"unterminated}",
      // Structure: white space, comments, trailing text, dropped values,
      // scalars where records go, deep nesting.
      " [ {\"valueType\" : \"NuvValueInt\" , \"value\" : 1 } ,\r\n\tnull ] ",
      "[1,2,\"x\",true,null]",
      "[1,]",
      "[,1]",
      "[1 2]",
      "[1] trailing",
      "[1] // comment",
      "/* c */ [1]",
      "[{\"valueType\":\"NuvValueInt\",\"value\":1}/* c */]",
      "truex",
      "nul",
      "\"root string\"",
      "42",
      "",
      "   ",
      std::string(127, '[') + std::string(127, ']'),
      std::string(128, '[') + std::string(128, ']'),
      std::string(129, '[') + "1" + std::string(129, ']'),
      std::string(2000, '['),
  };
  for (const std::string& text : texts)
    Check(text);
  // Records that make proxies or find functions take the full path, so
  // declining never leaves a proxy or a used identifier behind.
  EXPECT_FALSE(Check("[{\"valueType\":\"NuvValueComObject\",\"objectId\":3}]"));
  EXPECT_FALSE(Check("[{\"valueType\":\"NuvValueV8Function\",\"objectId\":3}]"));
  EXPECT_FALSE(Check("[1,{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"objectId\":3}]"));
}

// Argument lists (a command's arguments text) take the quick reader too:
// the elements of an accepted text are the ones Json::Reader's way makes,
// and a root that is not an array gives no arguments on either way.
TEST_F(RecordTextReaderTest, ArgumentListsTakeTheQuickPathAndMatch) {
  const std::vector<std::pair<std::string, bool>> texts = {
      {Encode(kMixed), true},
      {Encode("[1]"), true},
      {Encode("[[[]], 'x']"), true},
      {"[]", true},
      {"null\n", true},
      {"{\"browserId\":1,\"value\":5,\"valueType\":\"NuvValueInt\"}", true},
      {"[{\"valueType\":\"NuvValueComObject\",\"objectId\":3}]", false},
      {"[1,2", false},
      {"not json", false},
  };
  for (const auto& [text, quickTakes] : texts) {
    CefV8ValueList quick;
    EXPECT_EQ(CanonicalArrayTextToV8ValueList(context_, text, &quick), quickTakes) << text;
    Json::Value records;
    CefV8ValueList full;
    if (ParseJsonText(text, &records))
      full = JsonArrayToV8ValueList(0, context_, browser_, records);
    const CefV8ValueList made = JsonArrayTextToV8ValueList(0, context_, browser_, text);
    ASSERT_EQ(made.size(), full.size()) << text;
    if (quickTakes) {
      ASSERT_EQ(quick.size(), full.size()) << text;
    }
    for (size_t i = 0; i < full.size(); ++i) {
      EXPECT_EQ(nuv_test::PageValueDifference(made[i], full[i]), "") << i << " of " << text;
      if (quickTakes) {
        EXPECT_EQ(nuv_test::PageValueDifference(quick[i], full[i]), "") << i << " of " << text;
      }
    }
  }
}

// Random damage to texts of the compact form: whatever the quick reader
// still takes must match the reader.
TEST_F(RecordTextReaderTest, DamagedTextsNeverMakeTheReadersDisagree) {
  const std::string base = Encode(kMixed);
  const char kBytes[] = "[]{}\",:\\u0123456789-+.eEtrufalsn \t\r\n/\x80\xff";
  std::mt19937 random(7);
  int quick = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = base;
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const size_t at = random() % text.size();
      const char byte = kBytes[random() % (sizeof(kBytes) - 1)];
      switch (random() % 3) {
        case 0:
          text[at] = byte;
          break;
        case 1:
          text.insert(at, 1, byte);
          break;
        default:
          text.erase(at, 1);
      }
    }
    quick += Check(text);
  }
  // Many damaged texts stay well formed (a digit for a digit, ...).
  EXPECT_GT(quick, 100);
}

}  // namespace
