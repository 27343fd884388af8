// The encoder's byte limit: a record text that fits is written exactly as
// without a limit, one byte more fails and leaves the output as it was, and
// values that cannot fit (huge sparse arrays) fail without walking them.
#include <gtest/gtest.h>

#include <vector>

#include "src/bridge/callback_holder.h"
#include "src/values/encode_limit.h"
#include "src/values/object_id_counter.h"
#include "src/values/record_text_writer.h"
#include "src/values/v8_to_json.h"
#include "tests/values/script_runtime.h"

namespace {

using nuv_test::Eval;

class EncodeLimitTest : public nuv_test::PageTest {
 protected:
  // The record text of `code` within `limit` bytes; "<failed: detail>" when
  // it does not fit.
  std::string Within(const std::string& code, size_t limit) {
    std::string text;
    NuvEncodeFailure failure;
    if (V8ValueToJsonTextWithin(browser_, context_, Eval(context_, code), limit, &text, &failure))
      return text;
    EXPECT_TRUE(text.empty());
    return "<failed: " + failure.detail + ">";
  }
  std::string Whole(const std::string& code) {
    return V8ValueToJsonText(browser_, context_, Eval(context_, code));
  }
};

TEST_F(EncodeLimitTest, ATextThatFitsIsWrittenExactlyAndOneByteLessFails) {
  for (const char* code :
       {"'x'.repeat(1000)", "'\\u00e9\\u4e2d\\ud83d\\ude00\"\\\\\\n'.repeat(100)",
        "[1, 'two', [3.5, null], true, undefined, new Date(2017, 2, 15)]", "(function(){})",
        "[[],[[]]]"}) {
    const std::string whole = Whole(code);
    ASSERT_FALSE(whole.empty()) << code;
    // Function records take a new identifier each time: compare the shapes.
    const std::string fits = Within(code, whole.size());
    EXPECT_EQ(whole.size(), fits.size()) << code;
    if (std::string(code).find("function") == std::string::npos) {
      EXPECT_EQ(whole, fits) << code;
    }
    EXPECT_EQ("<failed: ", Within(code, whole.size() - 1).substr(0, 9)) << code;
  }
}

TEST_F(EncodeLimitTest, TheFailureNamesTheValueThatDidNotFit) {
  EXPECT_EQ("<failed: a string of 1000 characters>", Within("'x'.repeat(1000)", 500));
  EXPECT_EQ("<failed: a string of 1000 characters>", Within("['x'.repeat(1000)]", 500));
  EXPECT_EQ("<failed: an array of 100 elements>", Within("[[1], new Array(100).fill(7)]", 500));
  // A sparse array of any length fails before its first element.
  EXPECT_EQ("<failed: an array of 2147483647 elements>",
            Within("var s = []; s.length = 2147483647; s", kMaxRecordTextSize));
  EXPECT_EQ("<failed: an array of 4000000 elements>",
            Within("var s = []; s.length = 4e6; s", kMaxRecordTextSize));
  // Without a limit of their own the conversions keep kMaxRecordTextSize.
  EXPECT_EQ("", Whole("var s = []; s.length = 2147483647; s"));
  EXPECT_TRUE(V8ValueToJson(browser_, context_, Eval(context_, "s")).isNull());
}

TEST_F(EncodeLimitTest, OnlyTheTextBeforeAZeroUnitCounts) {
  // Strings travel up to their first zero unit; what follows does not count.
  EXPECT_EQ("{\"browserId\":" + std::to_string(browser_) +
                ",\"value\":\"ab\",\"valueType\":\"NuvValueString\"}\n",
            Within("'ab\\0' + 'x'.repeat(10000)", 100));
}

TEST_F(EncodeLimitTest, AFailedAppendLeavesTheOutputAsItWas) {
  std::string text = "{\"arguments\":[";
  NuvEncodeFailure failure;
  EXPECT_FALSE(AppendV8ValueRecordText(browser_, context_, Eval(context_, "'y'.repeat(100)"), 60,
                                       &text, &failure));
  EXPECT_EQ("{\"arguments\":[", text);
  EXPECT_EQ(NuvEncodeFailure::Reason::kTooLarge, failure.reason);
  EXPECT_EQ("its value record passes the limit of 60 bytes (a string of 100 characters)",
            DescribeEncodeFailure(failure, 60));
  EXPECT_TRUE(
      AppendV8ValueRecordText(browser_, context_, Eval(context_, "7"), 100, &text, &failure));
  EXPECT_FALSE(failure.failed());
}

TEST_F(EncodeLimitTest, FunctionsOfARecordThatDidNotFitAreNotKeptAlive) {
  const int32_t before = V8ObjectIdCounter;
  EXPECT_EQ("<failed: a string of 1000 characters>",
            Within("var f = function() {}; [f, [f], 'x'.repeat(1000)]", 500));
  ASSERT_EQ(before + 2, V8ObjectIdCounter);
  EXPECT_FALSE(FindCallback(browser_, before + 1));
  EXPECT_FALSE(FindCallback(browser_, before + 2));

  // Those of a record that fits stay, and the caller learns their numbers.
  std::string text;
  std::vector<int32_t> filed;
  ASSERT_TRUE(AppendV8ValueRecordText(browser_, context_, Eval(context_, "[f, f]"), 500, &text,
                                      nullptr, &filed));
  EXPECT_EQ((std::vector<int32_t>{before + 3, before + 4}), filed);
  EXPECT_TRUE(FindCallback(browser_, before + 3));
  ForgetCallback(browser_, before + 3);
  EXPECT_FALSE(FindCallback(browser_, before + 3));
  EXPECT_TRUE(FindCallback(browser_, before + 4));
}

TEST(RecordTextWriterLimitTest, StringsStopAtTheLimitAndLeaveTheOutputAsItWas) {
  for (const std::string& sample : {std::string("plain text"), std::string("\xc3\xa9\n\"\x01"),
                                    std::string("\xf0\x9f\x98\x80 and \xff")}) {
    std::string whole = "head";
    AppendJsonString(sample, &whole);
    std::string out = "head";
    EXPECT_TRUE(AppendJsonStringWithin(sample.data(), sample.size(), whole.size(), &out));
    EXPECT_EQ(whole, out);
    out = "head";
    EXPECT_FALSE(AppendJsonStringWithin(sample.data(), sample.size(), whole.size() - 1, &out));
    EXPECT_EQ("head", out);
  }
}

}  // namespace
