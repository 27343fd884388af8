// Long date and time texts of the current locale, as GetDateFormatW with
// DATE_LONGDATE and GetTimeFormatW without flags produce them.
#ifndef NUV_PLATFORM_DATE_FORMAT_H_
#define NUV_PLATFORM_DATE_FORMAT_H_

#include <string>

#include "platform/ole_date.h"

namespace nuv {
namespace platform {

// Empty when the fields cannot be formatted.
std::u16string FormatLongDate(const SystemTime& time);
std::u16string FormatTime(const SystemTime& time);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_DATE_FORMAT_H_
