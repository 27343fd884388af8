#include "platform/date_format.h"

#include <windows.h>

namespace nuv {
namespace platform {

namespace {

SYSTEMTIME ToWindows(const SystemTime& time) {
  SYSTEMTIME st = {};
  st.wYear = time.year;
  st.wMonth = time.month;
  st.wDayOfWeek = time.day_of_week;
  st.wDay = time.day;
  st.wHour = time.hour;
  st.wMinute = time.minute;
  st.wSecond = time.second;
  st.wMilliseconds = time.milliseconds;
  return st;
}

}  // namespace

std::u16string FormatLongDate(const SystemTime& time) {
  SYSTEMTIME st = ToWindows(time);
  wchar_t buffer[260] = {};
  if (GetDateFormatW(GetThreadLocale(), DATE_LONGDATE, &st, nullptr, buffer, 260) == 0)
    return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

std::u16string FormatTime(const SystemTime& time) {
  SYSTEMTIME st = ToWindows(time);
  wchar_t buffer[260] = {};
  if (GetTimeFormatW(GetThreadLocale(), 0, &st, nullptr, buffer, 260) == 0)
    return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

}  // namespace platform
}  // namespace nuv
