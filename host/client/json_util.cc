#include "host/client/json_util.h"

#include <cstdint>
#include <limits>
#include <memory>

#include <json/reader.h>
#include <json/writer.h>

namespace nuv {
namespace host {

bool ParseJson(const std::string& text, Json::Value* value, std::string* error) {
  try {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string message;
    if (reader->parse(text.data(), text.data() + text.size(), value, &message))
      return true;
    if (error)
      *error = message;
  } catch (const std::exception& e) {
    if (error)
      *error = e.what();
  }
  *value = Json::Value();
  return false;
}

std::string WriteCompactJson(const Json::Value& value) {
  try {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
  } catch (const std::exception&) {
    return "null";
  }
}

bool IsInt32(const Json::Value& value) {
  // The JSON type, not isIntegral(): a real such as 1.0 stays a double.
  if (value.type() == Json::intValue)
    return value.asInt64() >= std::numeric_limits<int32_t>::min() &&
           value.asInt64() <= std::numeric_limits<int32_t>::max();
  if (value.type() == Json::uintValue)
    return value.asUInt64() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
  return false;
}

}  // namespace host
}  // namespace nuv
