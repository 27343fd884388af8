// The value record: the JSON form in which one page value crosses between a
// page and the client. Its keys and type tags, the date text, the splitting
// of a host object's name lists, and the limits that keep conversions finite.
#ifndef NUV_SRC_VALUES_VALUE_RECORD_H_
#define NUV_SRC_VALUES_VALUE_RECORD_H_

#include <time.h>

#include <string>
#include <vector>

// Keys of an object record.
constexpr char kKeyValueType[] = "valueType";
constexpr char kKeyBrowserId[] = "browserId";
constexpr char kKeyValue[] = "value";
constexpr char kKeyObjectId[] = "objectId";
constexpr char kKeyPropertyNames[] = "propertyNames";
constexpr char kKeyMethodNames[] = "methodNames";
constexpr char kKeyKeys[] = "keys";

// Type tags ("valueType").
constexpr char kTagUnknown[] = "NuvValueUnknown";
constexpr char kTagUndefined[] = "NuvValueUndefined";
constexpr char kTagNull[] = "NuvValueNull";
constexpr char kTagBool[] = "NuvValueBool";
constexpr char kTagInt[] = "NuvValueInt";
constexpr char kTagDouble[] = "NuvValueDouble";
constexpr char kTagString[] = "NuvValueString";
constexpr char kTagDate[] = "NuvValueDate";
constexpr char kTagV8Function[] = "NuvValueV8Function";
constexpr char kTagComObject[] = "NuvValueComObject";
constexpr char kTagV8FunctionOtherBrowser[] = "NuvValueV8FunctionOtherBrowser";

// Page arrays nest at most this deep in a record, in both directions. A
// deeper array, and an array that contains itself, is carried as a
// "NuvValueUnknown" record (which reads back as undefined).
constexpr int kMaxArrayNesting = 128;

// The date text of a local time: "%04d%02d%02dT%02d:%02d:%02d", 17
// characters, e.g. 20170315T14:03:09. Dates before 1970 are written as
// their true local time too. An instant whose local year does not fit four
// digits, or that the C runtime cannot break down, is written as the text of
// the epoch (which reads back as the epoch).
std::u16string FormatDateText(time_t seconds);

// Reads a date text into seconds since the epoch:
//  - a text that is not exactly 17 UTF-16 units reads as 0 (the epoch);
//  - the fields are read at their fixed positions the way _wtoi reads them;
//    the separators are not examined;
//  - a field out of range (year 1900..2300, month 1..12, day 1..31, hour
//    0..23, minute and second 0..59) reads as the current time;
//  - a day past the end of its month rolls into the next month (20170230
//    is 2 March 2017);
//  - the fields are local time; years 1900 to 1969 give negative seconds.
time_t ParseDateText(const std::u16string& text);

// Splits a host object's property or method list at line feeds: an empty
// text gives no names; one line feed at the very start is skipped; every
// later line feed ends a name (two in a row give an empty name); a line
// feed at the very end adds no empty name; a name ending in a carriage
// return loses that one character. A lone line feed is one empty name.
std::vector<std::u16string> SplitNameList(const std::u16string& names);

#endif  // NUV_SRC_VALUES_VALUE_RECORD_H_
