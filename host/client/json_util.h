// Small jsoncpp helpers of the reference client: exception-free parsing and
// the compact one-line writer of the transcript.
#ifndef NUV_HOST_CLIENT_JSON_UTIL_H_
#define NUV_HOST_CLIENT_JSON_UTIL_H_

#include <string>

#include <json/value.h>

namespace nuv {
namespace host {

// Parses `text` (comments allowed); false with jsoncpp's message otherwise.
bool ParseJson(const std::string& text, Json::Value* value, std::string* error);

// One line, no spaces, UTF-8 kept as is, no line feed at the end.
std::string WriteCompactJson(const Json::Value& value);

// Whether `value` is an integer that fits a signed 32-bit int.
bool IsInt32(const Json::Value& value);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_JSON_UTIL_H_
