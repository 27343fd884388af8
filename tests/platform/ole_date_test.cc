// OLE automation dates <-> calendar fields.
#include "platform/ole_date.h"

#include <gtest/gtest.h>

namespace nuv {
namespace platform {
namespace {

SystemTime Fields(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  SystemTime t;
  t.year = static_cast<uint16_t>(year);
  t.month = static_cast<uint16_t>(month);
  t.day = static_cast<uint16_t>(day);
  t.hour = static_cast<uint16_t>(hour);
  t.minute = static_cast<uint16_t>(minute);
  t.second = static_cast<uint16_t>(second);
  return t;
}

void ExpectFields(double date,
                  int year,
                  int month,
                  int day,
                  int hour,
                  int minute,
                  int second,
                  int day_of_week) {
  SystemTime t;
  ASSERT_TRUE(OleDateToSystemTime(date, &t)) << date;
  EXPECT_EQ(t.year, year) << date;
  EXPECT_EQ(t.month, month) << date;
  EXPECT_EQ(t.day, day) << date;
  EXPECT_EQ(t.hour, hour) << date;
  EXPECT_EQ(t.minute, minute) << date;
  EXPECT_EQ(t.second, second) << date;
  EXPECT_EQ(t.day_of_week, day_of_week) << date;
  EXPECT_EQ(t.milliseconds, 0) << date;
}

TEST(OleDateTest, KnownDates) {
  ExpectFields(0.0, 1899, 12, 30, 0, 0, 0, 6);
  ExpectFields(2.5, 1900, 1, 1, 12, 0, 0, 1);
  ExpectFields(-1.25, 1899, 12, 29, 6, 0, 0, 5);  // fraction counts forward in the day
  ExpectFields(-0.5, 1899, 12, 30, 12, 0, 0, 6);
  ExpectFields(25569.0, 1970, 1, 1, 0, 0, 0, 4);
  ExpectFields(36526.0, 2000, 1, 1, 0, 0, 0, 6);
  ExpectFields(kMinOleDate, 100, 1, 1, 0, 0, 0, 5);
  ExpectFields(2958465.0 + 86399.0 / 86400.0, 9999, 12, 31, 23, 59, 59, 5);
}

TEST(OleDateTest, RoundsToTheNearestSecond) {
  ExpectFields(1.0 + 0.4 / 86400.0, 1899, 12, 31, 0, 0, 0, 0);
  ExpectFields(1.0 + 0.6 / 86400.0, 1899, 12, 31, 0, 0, 1, 0);
  ExpectFields(2.0 - 0.2 / 86400.0, 1900, 1, 1, 0, 0, 0, 1);  // rounds into the next day
}

TEST(OleDateTest, RejectsOutOfRange) {
  SystemTime t;
  EXPECT_FALSE(OleDateToSystemTime(kMinOleDate - 1, &t));
  EXPECT_FALSE(OleDateToSystemTime(2958466.0, &t));
  EXPECT_FALSE(OleDateToSystemTime(std::numeric_limits<double>::quiet_NaN(), &t));
  double d;
  EXPECT_FALSE(SystemTimeToOleDate(Fields(2020, 13, 1), &d));
  EXPECT_FALSE(SystemTimeToOleDate(Fields(2020, 0, 1), &d));
  EXPECT_FALSE(SystemTimeToOleDate(Fields(2020, 1, 32), &d));
  EXPECT_FALSE(SystemTimeToOleDate(Fields(2020, 1, 1, 24), &d));
  EXPECT_FALSE(SystemTimeToOleDate(Fields(10000, 1, 1), &d));
}

TEST(OleDateTest, FieldsToDate) {
  double d = 0;
  ASSERT_TRUE(SystemTimeToOleDate(Fields(1899, 12, 29, 6), &d));
  EXPECT_DOUBLE_EQ(d, -1.25);
  ASSERT_TRUE(SystemTimeToOleDate(Fields(2026, 12, 8, 14, 44, 32), &d));
  SystemTime back;
  ASSERT_TRUE(OleDateToSystemTime(d, &back));
  EXPECT_EQ(back.year, 2026);
  EXPECT_EQ(back.second, 32);
  // Two-digit years and a day past the end of its month.
  ASSERT_TRUE(SystemTimeToOleDate(Fields(29, 1, 1), &d));
  EXPECT_DOUBLE_EQ(d, 47119.0);  // 2029-01-01
  ASSERT_TRUE(SystemTimeToOleDate(Fields(30, 1, 1), &d));
  EXPECT_DOUBLE_EQ(d, 10959.0);  // 1930-01-01
  ASSERT_TRUE(SystemTimeToOleDate(Fields(2021, 2, 31), &d));
  ASSERT_TRUE(OleDateToSystemTime(d, &back));
  EXPECT_EQ(back.month, 3);
  EXPECT_EQ(back.day, 3);
}

TEST(OleDateTest, EverySecondOfADayRoundTrips) {
  for (int second = 0; second < 86400; second += 7) {
    SystemTime in = Fields(1815, 6, 18, second / 3600, second / 60 % 60, second % 60);
    double d;
    SystemTime out;
    ASSERT_TRUE(SystemTimeToOleDate(in, &d));
    ASSERT_TRUE(OleDateToSystemTime(d, &out));
    ASSERT_EQ(out.hour * 3600 + out.minute * 60 + out.second, second);
    ASSERT_EQ(out.day, 18);
  }
}

}  // namespace
}  // namespace platform
}  // namespace nuv
