// cef_time_t conversions, all in UTC, by civil-calendar arithmetic so that
// neither the local time zone nor the range of gmtime/timegm matters.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

#include "include/internal/cef_time.h"

namespace {

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

bool Valid(const cef_time_t* t) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t->month < 1 || t->month > 12 || t->day_of_month < 1)
    return false;
  int days = kDays[t->month - 1] + (t->month == 2 && IsLeap(t->year) ? 1 : 0);
  return t->day_of_month <= days && t->hour >= 0 && t->hour <= 23 && t->minute >= 0 &&
         t->minute <= 59 && t->second >= 0 && t->second <= 60 && t->millisecond >= 0 &&
         t->millisecond <= 999 && t->year >= -271820 && t->year <= 275759;
}

// Milliseconds since the epoch.
bool ToMs(const cef_time_t* t, std::int64_t* ms) {
  if (!t || !Valid(t))
    return false;
  std::int64_t days = DaysFromCivil(t->year, static_cast<unsigned>(t->month),
                                    static_cast<unsigned>(t->day_of_month));
  *ms = ((days * 24 + t->hour) * 60 + t->minute) * 60000 +
        static_cast<std::int64_t>(t->second) * 1000 + t->millisecond;
  return true;
}

bool FromMs(std::int64_t ms, cef_time_t* t) {
  if (!t)
    return false;
  const std::int64_t kMsPerDay = 86400000;
  std::int64_t days = ms / kMsPerDay;
  std::int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  t->year = static_cast<int>(y);
  t->month = static_cast<int>(m);
  t->day_of_month = static_cast<int>(d);
  std::int64_t wd = (days + 4) % 7;  // 1970-01-01 was a Thursday
  t->day_of_week = static_cast<int>(wd < 0 ? wd + 7 : wd);
  t->hour = static_cast<int>(rest / 3600000);
  t->minute = static_cast<int>(rest / 60000 % 60);
  t->second = static_cast<int>(rest / 1000 % 60);
  t->millisecond = static_cast<int>(rest % 1000);
  return true;
}

// The range a script Date can hold: +-8.64e15 ms.
const std::int64_t kMaxMs = 8640000000000000LL;

}  // namespace

extern "C" {

int cef_time_to_timet(const cef_time_t* cef_time, time_t* time) {
  std::int64_t ms;
  if (!time || !ToMs(cef_time, &ms))
    return 0;
  std::int64_t secs = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
  if (secs < std::numeric_limits<time_t>::min() || secs > std::numeric_limits<time_t>::max())
    return 0;
  *time = static_cast<time_t>(secs);
  return 1;
}

int cef_time_from_timet(time_t time, cef_time_t* cef_time) {
  std::int64_t secs = static_cast<std::int64_t>(time);
  if (secs > kMaxMs / 1000 || secs < -kMaxMs / 1000)
    return 0;
  return FromMs(secs * 1000, cef_time) ? 1 : 0;
}

int cef_time_to_doublet(const cef_time_t* cef_time, double* time) {
  std::int64_t ms;
  if (!time || !ToMs(cef_time, &ms))
    return 0;
  *time = static_cast<double>(ms) / 1000.0;
  return 1;
}

int cef_time_from_doublet(double time, cef_time_t* cef_time) {
  if (!std::isfinite(time))
    return 0;
  double ms = std::floor(time * 1000.0 + 0.5);
  if (ms > static_cast<double>(kMaxMs) || ms < -static_cast<double>(kMaxMs))
    return 0;
  return FromMs(static_cast<std::int64_t>(ms), cef_time) ? 1 : 0;
}

int cef_time_now(cef_time_t* cef_time) {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return FromMs(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(), cef_time) ? 1
                                                                                              : 0;
}

int cef_time_delta(const cef_time_t* cef_time1, const cef_time_t* cef_time2, long long* delta) {
  std::int64_t a, b;
  if (!delta || !ToMs(cef_time1, &a) || !ToMs(cef_time2, &b))
    return 0;
  *delta = b - a;
  return 1;
}

}  // extern "C"
