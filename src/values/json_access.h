// Type-checked reads of jsoncpp values. jsoncpp's own conversions throw on
// the wrong type or range; these never do and give a defined value instead.
#ifndef NUV_SRC_VALUES_JSON_ACCESS_H_
#define NUV_SRC_VALUES_JSON_ACCESS_H_

#include <cstdint>
#include <string>

#include <json/value.h>

// The member `key` of an object; JSON null for a missing member and for a
// value that is not an object.
const Json::Value& JsonMember(const Json::Value& value, const char* key);

// A string's bytes; "" for every other type.
std::string JsonString(const Json::Value& value);

// A 32-bit identifier: an integer from -2^31 to 2^32-1 (unsigned values keep
// their 32 bits); 0 for everything else.
int32_t JsonId32(const Json::Value& value);

// A boolean; numbers are true when not zero; false for every other type.
bool JsonBool(const Json::Value& value);

// A number as a double (booleans as 0 and 1); 0.0 for every other type.
double JsonDouble(const Json::Value& value);

#endif  // NUV_SRC_VALUES_JSON_ACCESS_H_
