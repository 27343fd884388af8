// The direct record writer must write exactly what jsoncpp's compact writer
// writes for the same strings and numbers.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "src/values/json_text.h"
#include "src/values/record_text_writer.h"

namespace {

std::string Direct(const std::string& text) {
  std::string out;
  AppendJsonString(text, &out);
  return out + "\n";
}

std::string Direct(double value) {
  std::string out;
  AppendJsonReal(value, &out);
  return out + "\n";
}

TEST(RecordTextWriterTest, StringsMatchTheCompactWriter) {
  const std::string samples[] = {
      "",
      "plain",
      "quote\" backslash\\ slash/",
      "\b\f\n\r\t\x01\x1f\x7f",
      "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",  // e-acute, euro sign, an emoji
      "\xc3",                                  // truncated
      "\xe2\x82",                              // truncated
      "\xc0\x80",                              // over-long
      "\xed\xa0\x80",                          // an encoded surrogate
      "\xf8\x88\x80\x80\x80",                  // five-byte form
      "\x80\xbf",                              // stray continuation bytes
      "\xef\xbf\xbd",
  };
  for (const std::string& sample : samples)
    EXPECT_EQ(WriteJsonText(Json::Value(sample)), Direct(sample)) << sample;

  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string sample(random() % 12, '\0');
    for (char& c : sample)
      c = static_cast<char>(random() % 4 == 0 ? 0x80 + random() % 0x80 : random() % 0x100);
    ASSERT_EQ(WriteJsonText(Json::Value(sample)), Direct(sample));
  }
}

TEST(RecordTextWriterTest, RealsAndIntegersMatchTheCompactWriter) {
  const double samples[] = {0.0,
                            -0.0,
                            0.1,
                            2.5,
                            -1.5e-7,
                            1e21,
                            1e300,
                            5000000000.0,
                            123456789012345678.0,
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::nan("")};
  for (double sample : samples)
    EXPECT_EQ(WriteJsonText(Json::Value(sample)), Direct(sample)) << sample;

  std::mt19937_64 random(99);
  for (int round = 0; round < 20000; ++round) {
    uint64_t bits = random();
    double sample;
    static_assert(sizeof(sample) == sizeof(bits), "IEEE double");
    std::memcpy(&sample, &bits, sizeof(sample));
    ASSERT_EQ(WriteJsonText(Json::Value(sample)), Direct(sample));
  }

  for (int64_t value : {int64_t{0}, int64_t{-1}, int64_t{INT32_MIN}, int64_t{INT32_MAX}}) {
    std::string out;
    AppendJsonInt(value, &out);
    EXPECT_EQ(WriteJsonText(Json::Value(static_cast<Json::Int>(value))), out + "\n");
  }
  std::string out;
  AppendJsonUInt(UINT32_MAX, &out);
  EXPECT_EQ(WriteJsonText(Json::Value(static_cast<Json::UInt>(UINT32_MAX))), out + "\n");
}

}  // namespace
