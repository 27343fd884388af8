// cef_time_t conversions as CEF 3.2623 makes them on Windows: every one goes
// through a UTC time of Chromium's base library, a count of microseconds
// since 1601-01-01, whose value 0 stands for "no time". Calendar fields go in
// and out the way Windows' SYSTEMTIME conversions take them. Consequences
// the product can see, all as in CEF:
//  - seconds and doubles of 0 give the "no time", whose fields read
//    1601-01-01 00:00:00.000, and that date converts back to 0;
//  - fields Windows refuses (month 13, 31 April, a year before 1601 or after
//    30827, second 60) convert as the "no time", to 0;
//  - conversion to whole seconds truncates toward zero (-0.5 s gives 0);
//  - every function returns 1 unless one of its pointers is null.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "include/internal/cef_time.h"

namespace {

constexpr std::int64_t kUsPerMs = 1000;
constexpr std::int64_t kUsPerSecond = 1000000;
constexpr std::int64_t kUsPerDay = 86400 * kUsPerSecond;
// Microseconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochUs = 11644473600LL * kUsPerSecond;
constexpr std::int64_t kMaxUs = std::numeric_limits<std::int64_t>::max();
// The last moment Windows breaks down: its file times count 100 ns units in
// a signed 64-bit number.
constexpr std::int64_t kLastExplodableUs = kMaxUs / 10;

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// What Windows accepts as a SYSTEMTIME (the day of the week is ignored).
bool Convertible(const cef_time_t& t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day_of_month < 1)
    return false;
  const int days = kDays[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
  return t.day_of_month <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 59 && t.millisecond >= 0 && t.millisecond <= 999;
}

// Fields to the base library's time; 0 ("no time") when Windows refuses them.
std::int64_t FromFields(const cef_time_t& t) {
  if (!Convertible(t))
    return 0;
  const std::int64_t days =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day_of_month));
  const std::int64_t seconds = ((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
  return seconds * kUsPerSecond + t.millisecond * kUsPerMs + kUnixEpochUs;
}

// The base library's time to fields; all zero where Windows cannot break
// it down.
void ToFields(std::int64_t us, cef_time_t* t) {
  std::memset(t, 0, sizeof(*t));
  if (us < 0 || us > kLastExplodableUs)
    return;
  const std::int64_t ms = us / kUsPerMs;
  const std::int64_t days = ms / (kUsPerDay / kUsPerMs) - kUnixEpochUs / kUsPerDay;
  const std::int64_t rest = ms % (kUsPerDay / kUsPerMs);
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  t->year = static_cast<int>(y);
  t->month = static_cast<int>(m);
  t->day_of_month = static_cast<int>(d);
  const std::int64_t weekday = (days + 4) % 7;  // 1970-01-01 was a Thursday
  t->day_of_week = static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
  t->hour = static_cast<int>(rest / 3600000);
  t->minute = static_cast<int>(rest / 60000 % 60);
  t->second = static_cast<int>(rest / 1000 % 60);
  t->millisecond = static_cast<int>(rest % 1000);
}

time_t ToTimeT(std::int64_t us) {
  if (us == 0)
    return 0;
  if (us >= kMaxUs - kUnixEpochUs)
    return std::numeric_limits<time_t>::max();
  return static_cast<time_t>((us - kUnixEpochUs) / kUsPerSecond);
}

std::int64_t FromTimeT(time_t time) {
  const std::int64_t seconds = static_cast<std::int64_t>(time);
  if (seconds == 0)
    return 0;
  if (seconds >= (kMaxUs - kUnixEpochUs) / kUsPerSecond)
    return kMaxUs;
  // Before 1601: nothing Windows can break down (and no overflow below).
  if (seconds < -(kUnixEpochUs / kUsPerSecond))
    return -1;
  return seconds * kUsPerSecond + kUnixEpochUs;
}

double ToDoubleT(std::int64_t us) {
  if (us == 0)
    return 0;
  if (us == kMaxUs)
    return std::numeric_limits<double>::infinity();
  return static_cast<double>(us - kUnixEpochUs) / static_cast<double>(kUsPerSecond);
}

std::int64_t FromDoubleT(double seconds) {
  if (seconds == 0 || std::isnan(seconds))
    return 0;
  // The same double arithmetic as the base library, kept inside int64.
  const double us = seconds * static_cast<double>(kUsPerSecond) + static_cast<double>(kUnixEpochUs);
  if (us >= 9.2e18)
    return kMaxUs;
  if (us <= -9.2e18)
    return -1;
  return static_cast<std::int64_t>(us);
}

}  // namespace

extern "C" {

int cef_time_to_timet(const cef_time_t* cef_time, time_t* time) {
  if (!cef_time || !time)
    return 0;
  *time = ToTimeT(FromFields(*cef_time));
  return 1;
}

int cef_time_from_timet(time_t time, cef_time_t* cef_time) {
  if (!cef_time)
    return 0;
  ToFields(FromTimeT(time), cef_time);
  return 1;
}

int cef_time_to_doublet(const cef_time_t* cef_time, double* time) {
  if (!cef_time || !time)
    return 0;
  *time = ToDoubleT(FromFields(*cef_time));
  return 1;
}

int cef_time_from_doublet(double time, cef_time_t* cef_time) {
  if (!cef_time)
    return 0;
  ToFields(FromDoubleT(time), cef_time);
  return 1;
}

int cef_time_now(cef_time_t* cef_time) {
  if (!cef_time)
    return 0;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  ToFields(std::chrono::duration_cast<std::chrono::microseconds>(now).count() + kUnixEpochUs,
           cef_time);
  return 1;
}

int cef_time_delta(const cef_time_t* cef_time1, const cef_time_t* cef_time2, long long* delta) {
  if (!cef_time1 || !cef_time2 || !delta)
    return 0;
  *delta = (FromFields(*cef_time2) - FromFields(*cef_time1)) / kUsPerMs;
  return 1;
}

}  // extern "C"
