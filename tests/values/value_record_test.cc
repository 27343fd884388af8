// The value record's text pieces: date texts both ways, name lists, the
// JSON reader and writer, and the type-checked member reads.
#include <stdlib.h>
#include <time.h>

#include <gtest/gtest.h>

#include "src/values/json_access.h"
#include "src/values/json_text.h"
#include "src/values/value_record.h"

namespace {

// A fixed zone with daylight saving, independent of the machine's.
class LocalTimeZone : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
};

time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  struct tm fields = {};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return timegm(&fields);
}

using DateTextTest = LocalTimeZone;

TEST_F(DateTextTest, WritesLocalTimeInSeventeenCharacters) {
  // 14:03:09 in summer time is 12:03:09 UTC.
  EXPECT_EQ(u"20170315T14:03:09", FormatDateText(Utc(2017, 3, 15, 13, 3, 9)));
  EXPECT_EQ(u"20170715T14:03:09", FormatDateText(Utc(2017, 7, 15, 12, 3, 9)));
  // Before 1970 the true local time is written as well.
  EXPECT_EQ(u"19500101T01:00:00", FormatDateText(Utc(1950, 1, 1, 0, 0, 0)));
  EXPECT_EQ(u"19700101T01:00:00", FormatDateText(0));
  // A year that does not fit four digits is written as the epoch.
  EXPECT_EQ(u"19700101T01:00:00", FormatDateText(Utc(12000, 1, 1, 0, 0, 0)));
}

TEST_F(DateTextTest, ReadsTheFixedFieldsAsLocalTime) {
  EXPECT_EQ(Utc(1999, 12, 31, 22, 59, 59), ParseDateText(u"19991231T23:59:59"));
  EXPECT_EQ(Utc(2017, 7, 15, 12, 3, 9), ParseDateText(u"20170715T14:03:09"));
  // Whatever stands in place of the T and the colons is not examined.
  EXPECT_EQ(Utc(1999, 12, 31, 22, 59, 59), ParseDateText(u"19991231x23-59+59"));
  // Round trip of a written text.
  const time_t instant = Utc(2021, 10, 31, 3, 30, 0);
  EXPECT_EQ(instant, ParseDateText(FormatDateText(instant)));
  // 1900..1969 are real instants before the epoch.
  EXPECT_EQ(Utc(1950, 1, 1, 0, 0, 0), ParseDateText(u"19500101T01:00:00"));
}

TEST_F(DateTextTest, WrongLengthIsTheEpochAndOutOfRangeIsNow) {
  EXPECT_EQ(0, ParseDateText(u""));
  EXPECT_EQ(0, ParseDateText(u"1999-12-31"));
  EXPECT_EQ(0, ParseDateText(u"19991231T23:59:599"));
  const time_t before = time(nullptr);
  for (const char16_t* text :
       {u"19991331T23:59:59", u"18991231T23:59:59", u"23010101T00:00:00", u"19990001T00:00:00",
        u"19991200T00:00:00", u"19991232T00:00:00", u"19991231T24:00:00", u"19991231T23:60:00",
        u"19991231T23:59:60", u"abcdefghijklmnopq", u"1999\u00e9231T23:59:59"}) {
    const time_t read = ParseDateText(text);
    EXPECT_GE(read, before);
    EXPECT_LE(read, time(nullptr) + 1);
  }
}

TEST_F(DateTextTest, FieldsAreReadLikeWtoi) {
  // Leading blanks and a sign are accepted; reading stops at a non-digit.
  EXPECT_EQ(Utc(1999, 2, 3, 3, 4, 5), ParseDateText(u"1999 2 3T04:04:05"));
  EXPECT_EQ(Utc(1999, 2, 3, 3, 4, 5), ParseDateText(u"1999+2+3T04:04:05"));
  // A day past the end of its month rolls into the next month.
  EXPECT_EQ(Utc(2017, 3, 2, 11, 0, 0), ParseDateText(u"20170230T12:00:00"));
  EXPECT_EQ(Utc(2016, 3, 1, 11, 0, 0), ParseDateText(u"20160230T12:00:00"));
  // Digits where the colons are make long numbers: out of range, not
  // overflow.
  const time_t before = time(nullptr);
  EXPECT_GE(ParseDateText(u"20170101T99999999"), before);
}

TEST(NameListTest, SplitsAtLineFeeds) {
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(Names{}, SplitNameList(u""));
  EXPECT_EQ((Names{u"Title", u"Author"}), SplitNameList(u"Title\nAuthor"));
  EXPECT_EQ((Names{u"Title", u"Author"}), SplitNameList(u"Title\r\nAuthor\r\n"));
  EXPECT_EQ((Names{u"Title"}), SplitNameList(u"\nTitle"));
  EXPECT_EQ((Names{u""}), SplitNameList(u"\n"));
  EXPECT_EQ((Names{u"a", u"", u"b"}), SplitNameList(u"a\n\nb"));
  EXPECT_EQ((Names{u"", u"a"}), SplitNameList(u"\n\na"));
  EXPECT_EQ((Names{u"a\r"}), SplitNameList(u"a\r\r"));
}

TEST(JsonTextTest, CompactWriterOutput) {
  Json::Value record(Json::objectValue);
  record["valueType"] = "NuvValueComObject";
  record["value"] = 12;
  record["propertyNames"] = "Title\nAuthor";
  record["methodNames"] = "Save";
  record["browserId"] = 1;
  EXPECT_EQ(
      "{\"browserId\":1,\"methodNames\":\"Save\",\"propertyNames\":\"Title\\nAuthor\","
      "\"value\":12,\"valueType\":\"NuvValueComObject\"}\n",
      WriteJsonText(record));
  EXPECT_EQ("null\n", WriteJsonText(Json::Value()));
  EXPECT_EQ("3000000000\n", WriteJsonText(Json::Value(3000000000u)));
  EXPECT_EQ("2.5\n", WriteJsonText(Json::Value(2.5)));
}

TEST(JsonTextTest, ParseFailuresNeverThrow) {
  Json::Value value;
  EXPECT_TRUE(ParseJsonText("[1]", &value));
  EXPECT_TRUE(value.isArray());
  EXPECT_FALSE(ParseJsonText("", &value));
  EXPECT_TRUE(value.isNull());
  EXPECT_FALSE(ParseJsonText("plain text", &value));
  EXPECT_FALSE(ParseJsonText("{\"a\":", &value));
  // Nesting beyond the reader's limit is a parse failure, not a stack
  // overflow or an exception.
  EXPECT_TRUE(ParseJsonText(std::string(1000, '[') + std::string(1000, ']'), &value));
  EXPECT_FALSE(ParseJsonText(std::string(100000, '[') + std::string(100000, ']'), &value));
  EXPECT_FALSE(ParseJsonText(std::string(100000, '['), &value));
  EXPECT_FALSE(ParseJsonText(std::string(50000, '{'), &value));
}

TEST(JsonAccessTest, WrongTypesReadAsDefinedValues) {
  Json::Value record;
  ASSERT_TRUE(ParseJsonText(
      "{\"s\":\"x\",\"i\":-5,\"u\":4294967295,\"big\":5000000000,\"r\":2.5,\"t\":true,"
      "\"o\":{},\"a\":[1]}",
      &record));
  EXPECT_EQ("x", JsonString(JsonMember(record, "s")));
  EXPECT_EQ("", JsonString(JsonMember(record, "i")));
  EXPECT_EQ("", JsonString(JsonMember(record, "missing")));
  EXPECT_EQ(-5, JsonId32(JsonMember(record, "i")));
  EXPECT_EQ(-1, JsonId32(JsonMember(record, "u")));
  EXPECT_EQ(0, JsonId32(JsonMember(record, "big")));
  EXPECT_EQ(0, JsonId32(JsonMember(record, "s")));
  EXPECT_EQ(0, JsonId32(JsonMember(record, "o")));
  EXPECT_EQ(0, JsonId32(JsonMember(record, "r")));
  EXPECT_TRUE(JsonBool(JsonMember(record, "t")));
  EXPECT_TRUE(JsonBool(JsonMember(record, "r")));
  EXPECT_FALSE(JsonBool(JsonMember(record, "s")));
  EXPECT_DOUBLE_EQ(2.5, JsonDouble(JsonMember(record, "r")));
  EXPECT_DOUBLE_EQ(0.0, JsonDouble(JsonMember(record, "a")));
  // Members of values that are not objects are missing.
  for (const char* text : {"5", "\"s\"", "true", "null", "[1,2]"}) {
    Json::Value other;
    ASSERT_TRUE(ParseJsonText(text, &other));
    EXPECT_TRUE(JsonMember(other, "valueType").isNull()) << text;
  }
}

}  // namespace
