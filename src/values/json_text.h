// Reading and writing JSON texts of value records. Every jsoncpp parse and
// write of the program goes through these two functions, so that no jsoncpp
// exception leaves them and the reader's nesting limit always applies.
#ifndef NUV_SRC_VALUES_JSON_TEXT_H_
#define NUV_SRC_VALUES_JSON_TEXT_H_

#include <string>

#include <json/value.h>

// Parses `text` with jsoncpp's Reader in its default features. False (and
// `out` null) when the text is not JSON, or nests deeper than the reader's
// limit of 1000 levels.
bool ParseJsonText(const std::string& text, Json::Value* out);

// Writes `value` with jsoncpp's compact writer: no spaces, members in
// ascending byte order of their keys, one line feed at the end.
std::string WriteJsonText(const Json::Value& value);

#endif  // NUV_SRC_VALUES_JSON_TEXT_H_
