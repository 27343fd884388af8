#include "src/values/value_record.h"

#include <cstdio>

#include "platform/ole_date.h"

// Date records reach the year 2300: seconds since 1970 need more than 32 bits,
// also in the 32-bit Windows build.
static_assert(sizeof(time_t) >= 8, "date records past January 2038 need a 64-bit time_t");

namespace {

bool LocalTimeOf(time_t seconds, struct tm* out) {
#if defined(_WIN32)
  return localtime_s(out, &seconds) == 0;
#else
  return localtime_r(&seconds, out) != nullptr;
#endif
}

bool FormatFields(const struct tm& fields, char (&buffer)[32]) {
  const long long year = static_cast<long long>(fields.tm_year) + 1900;
  if (year < 0 || year > 9999)
    return false;
  const int written = std::snprintf(buffer, sizeof(buffer), "%04d%02d%02dT%02d:%02d:%02d",
                                    static_cast<int>(year), fields.tm_mon + 1, fields.tm_mday,
                                    fields.tm_hour, fields.tm_min, fields.tm_sec);
  return written == 17;
}

// Reads an integer the way _wtoi does: leading white space, an optional
// sign, then decimal digits up to the first other character; no digits give
// 0. Values are clamped far outside every accepted range instead of
// overflowing.
int ReadField(const std::u16string& text, size_t position) {
  size_t i = position;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  long long number = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (number < 1000000000)
      number = number * 10 + (text[i] - u'0');
  }
  return static_cast<int>(negative ? -number : number);
}

time_t LocalFieldsToSeconds(const nuv::platform::SystemTime& time) {
  struct tm fields = {};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  fields.tm_isdst = -1;
  const time_t seconds = mktime(&fields);
  return seconds == static_cast<time_t>(-1) && fields.tm_year != time.year - 1900 ? 0 : seconds;
}

}  // namespace

std::u16string FormatDateText(time_t seconds) {
  struct tm fields = {};
  char buffer[32] = {};
  if (!LocalTimeOf(seconds, &fields) || !FormatFields(fields, buffer)) {
    if (!LocalTimeOf(0, &fields) || !FormatFields(fields, buffer))
      return u"19700101T00:00:00";
  }
  return std::u16string(buffer, buffer + 17);
}

time_t ParseDateText(const std::u16string& text) {
  if (text.size() != 17)
    return 0;
  // The 19-character form "2017-03-15 14:03:09" that the fields are read
  // from: a hyphen before characters 4 and 6, a space instead of the T.
  std::u16string form = text;
  form[8] = u' ';
  form.insert(6, 1, u'-');
  form.insert(4, 1, u'-');
  const int year = ReadField(form, 0);
  const int month = ReadField(form, 5);
  const int day = ReadField(form, 8);
  const int hour = ReadField(form, 11);
  const int minute = ReadField(form, 14);
  const int second = ReadField(form, 17);
  if (year < 1900 || year > 2300 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return time(nullptr);

  // Through the automation date as the client's side of the format does, so
  // that a day past the end of its month rolls over the same way.
  nuv::platform::SystemTime fields;
  fields.year = static_cast<uint16_t>(year);
  fields.month = static_cast<uint16_t>(month);
  fields.day = static_cast<uint16_t>(day);
  fields.hour = static_cast<uint16_t>(hour);
  fields.minute = static_cast<uint16_t>(minute);
  fields.second = static_cast<uint16_t>(second);
  double oleDate = 0.0;
  nuv::platform::SystemTime normalised;
  if (!nuv::platform::SystemTimeToOleDate(fields, &oleDate) ||
      !nuv::platform::OleDateToSystemTime(oleDate, &normalised) || normalised.year < 1900)
    return 0;
  return LocalFieldsToSeconds(normalised);
}

std::vector<std::u16string> SplitNameList(const std::u16string& names) {
  std::vector<std::u16string> result;
  if (names.empty())
    return result;
  // A non-empty list always has a first name, even when it is only the
  // skipped leading line feed: "\n" is one empty name.
  size_t start = names[0] == u'\n' ? 1 : 0;
  do {
    size_t end = names.find(u'\n', start);
    if (end == std::u16string::npos)
      end = names.size();
    std::u16string name = names.substr(start, end - start);
    if (!name.empty() && name.back() == u'\r')
      name.pop_back();
    result.push_back(std::move(name));
    start = end + 1;
  } while (start < names.size());
  return result;
}
