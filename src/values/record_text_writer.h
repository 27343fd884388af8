// Writes value records as text directly, byte for byte as jsoncpp's compact
// writer would write the same records (members in ascending key order,
// strings escaped the same way, reals with 17 significant digits), without
// building a Json::Value first. Used for the record texts of large values.
#ifndef NUV_SRC_VALUES_RECORD_TEXT_WRITER_H_
#define NUV_SRC_VALUES_RECORD_TEXT_WRITER_H_

#include <cstdint>
#include <string>

// Appends a JSON string literal of the UTF-8 `text`: quotes, \" \\ \b \f
// \n \r \t, other control characters and every non-ASCII character as
// \uXXXX (lower-case hex, surrogate pairs beyond the first plane), invalid
// UTF-8 as \ufffd.
void AppendJsonString(const char* text, size_t length, std::string* out);
inline void AppendJsonString(const std::string& text, std::string* out) {
  AppendJsonString(text.data(), text.size(), out);
}

// The same, unless *out would pass `limit` bytes: then false, with *out as
// it was. Stops at the first escape or plain run that does not fit.
bool AppendJsonStringWithin(const char* text, size_t length, size_t limit, std::string* out);

// Appends a real number: "%.17g", with ".0" added when that has neither a
// point nor an exponent; NaN as null, infinities as -1e+9999 and 1e+9999.
void AppendJsonReal(double value, std::string* out);

void AppendJsonInt(int64_t value, std::string* out);
void AppendJsonUInt(uint64_t value, std::string* out);

#endif  // NUV_SRC_VALUES_RECORD_TEXT_WRITER_H_
