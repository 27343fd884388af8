#include "platform/ole_date.h"

#include <cmath>

namespace nuv {
namespace platform {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day number of 1899-12-30 (OLE day 0) counted from 1970-01-01.
constexpr int64_t kOleEpochDays = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12); a day
// past the end of the month simply counts on.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468 + (day - 1);
}

void CivilFromDays(int64_t days, int64_t* year, int64_t* month, int64_t* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  *day = day_of_year - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = year_of_era + era * 400 + (*month <= 2);
}

}  // namespace

// The integer part counts days from 1899-12-30; the fraction is the time of
// that day, also for negative dates (-1.25 is 1899-12-29 06:00).
bool OleDateToSystemTime(double date, SystemTime* out) {
  if (!out || std::isnan(date) || date < kMinOleDate || date > kMaxOleDate + 1e-9)
    return false;
  double whole = std::trunc(date);
  double fraction = std::fabs(date - whole);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = static_cast<int64_t>(std::llround(fraction * kSecondsPerDay));
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    days += 1;
  }
  int64_t year, month, day;
  CivilFromDays(days + kOleEpochDays, &year, &month, &day);
  if (year > 9999)
    return false;
  out->year = static_cast<uint16_t>(year);
  out->month = static_cast<uint16_t>(month);
  out->day = static_cast<uint16_t>(day);
  out->day_of_week = static_cast<uint16_t>(((days + 6) % 7 + 7) % 7);  // day 0: Saturday
  out->hour = static_cast<uint16_t>(seconds / 3600);
  out->minute = static_cast<uint16_t>(seconds / 60 % 60);
  out->second = static_cast<uint16_t>(seconds % 60);
  out->milliseconds = 0;
  return true;
}

bool SystemTimeToOleDate(const SystemTime& time, double* out) {
  if (!out || time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 ||
      time.hour > 23 || time.minute > 59 || time.second > 59 || time.year > 9999)
    return false;
  int64_t year = time.year;
  if (year < 30)
    year += 2000;
  else if (year < 100)
    year += 1900;
  int64_t days = DaysFromCivil(year, time.month, time.day) - kOleEpochDays;
  double fraction =
      static_cast<double>(time.hour * 3600 + time.minute * 60 + time.second) / kSecondsPerDay;
  double date =
      days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
  if (date < kMinOleDate || date > kMaxOleDate + 1e-9)
    return false;
  *out = date;
  return true;
}

}  // namespace platform
}  // namespace nuv
