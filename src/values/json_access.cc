#include "src/values/json_access.h"

#include "src/values/record_scalar.h"

const Json::Value& JsonMember(const Json::Value& value, const char* key) {
  static const Json::Value kNull;
  if (!value.isObject())
    return kNull;
  const Json::Value* member = value.find(key, key + std::char_traits<char>::length(key));
  return member ? *member : kNull;
}

std::string JsonString(const Json::Value& value) {
  if (!value.isString())
    return std::string();
  const char* begin = nullptr;
  const char* end = nullptr;
  if (!value.getString(&begin, &end) || !begin)
    return std::string();
  return std::string(begin, end);
}

int32_t JsonId32(const Json::Value& value) {
  if (value.isInt())
    return value.asInt();
  if (value.isUInt())
    return static_cast<int32_t>(value.asUInt());
  return 0;
}

bool JsonBool(const Json::Value& value) {
  return ScalarBool(ScalarOf(value));
}

double JsonDouble(const Json::Value& value) {
  return ScalarDouble(ScalarOf(value));
}
