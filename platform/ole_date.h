// OLE automation dates (days since 1899-12-30, time as the fraction) and
// their calendar fields, as VariantTimeToSystemTime / SystemTimeToVariantTime.
#ifndef NUV_PLATFORM_OLE_DATE_H_
#define NUV_PLATFORM_OLE_DATE_H_

#include <cstdint>

namespace nuv {
namespace platform {

// SYSTEMTIME.
struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;        // 1..12
  uint16_t day_of_week = 0;  // 0 = Sunday
  uint16_t day = 0;          // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// Smallest and largest OLE dates: 0100-01-01 and 9999-12-31 23:59:59.
constexpr double kMinOleDate = -657434.0;
constexpr double kMaxOleDate = 2958465.99999;

// VariantTimeToSystemTime: rounded to the nearest second, milliseconds 0.
// False outside the range above or for a NaN.
bool OleDateToSystemTime(double date, SystemTime* out);

// SystemTimeToVariantTime: milliseconds are ignored; years below 100 are
// read with the two-digit window (0-29 -> 2000s, 30-99 -> 1900s); a day past
// the end of its month rolls into the next month. False for fields out of
// range (month not 1..12, day not 1..31, hour > 23, minute or second > 59,
// year > 9999).
bool SystemTimeToOleDate(const SystemTime& time, double* out);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_OLE_DATE_H_
