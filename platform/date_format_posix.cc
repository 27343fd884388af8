#include "platform/date_format.h"

#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

#include "platform/locale_id.h"

namespace nuv {
namespace platform {

namespace {

// The ICU locale of the user: "de_AT.UTF-8@euro" -> "de_AT".
icu::Locale UserLocale() {
  std::string name = GetUserLocaleName();
  name = name.substr(0, name.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX")
    name = "en_US";
  return icu::Locale(name.c_str());
}

// The fields are already local time: format them in a zone without offset so
// ICU shows them unchanged. ICU's narrow no-break spaces become plain spaces.
std::u16string Format(const SystemTime& time, bool date) {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale = UserLocale();
  std::unique_ptr<icu::DateFormat> format(
      date ? icu::DateFormat::createDateInstance(icu::DateFormat::kFull, locale)
           : icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
  if (!format)
    return std::u16string();
  icu::GregorianCalendar calendar(icu::TimeZone::getGMT()->clone(), locale, status);
  if (U_FAILURE(status))
    return std::u16string();
  calendar.clear();
  calendar.set(time.year, time.month - 1, time.day, time.hour, time.minute, time.second);
  UDate moment = calendar.getTime(status);
  if (U_FAILURE(status))
    return std::u16string();
  format->setTimeZone(*icu::TimeZone::getGMT());
  icu::UnicodeString text;
  format->format(moment, text);
  std::u16string result(text.getBuffer(), static_cast<size_t>(text.length()));
  for (char16_t& c : result) {
    if (c == 0x202F || c == 0x00A0)
      c = u' ';
  }
  return result;
}

}  // namespace

std::u16string FormatLongDate(const SystemTime& time) {
  return Format(time, true);
}

std::u16string FormatTime(const SystemTime& time) {
  return Format(time, false);
}

}  // namespace platform
}  // namespace nuv
