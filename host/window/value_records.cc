#include "host/window/value_records.h"

#include <cstdlib>
#include <limits>

// jsoncpp's classic Reader and FastWriter are the formats of the bridge.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace nuv {
namespace host {
namespace {

std::string JoinLines(const std::vector<std::string>& names) {
  std::string joined;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i)
      joined += '\n';
    joined += names[i];
  }
  return joined;
}

}  // namespace

Json::Value NullRecord(int32_t browser_id) {
  Json::Value record(Json::objectValue);
  record["browserId"] = browser_id;
  record["valueType"] = "NuvValueNull";
  return record;
}

Json::Value ComObjectRecord(int32_t browser_id,
                            int32_t object_id,
                            const std::vector<std::string>& property_names,
                            const std::vector<std::string>& method_names) {
  Json::Value record(Json::objectValue);
  record["browserId"] = browser_id;
  record["objectId"] = object_id;
  record["propertyNames"] = JoinLines(property_names);
  record["methodNames"] = JoinLines(method_names);
  record["valueType"] = "NuvValueComObject";
  return record;
}

Json::Value ExpandShorthand(const Json::Value& value) {
  Json::Value record(Json::objectValue);
  switch (value.type()) {
    case Json::stringValue:
      record["valueType"] = "NuvValueString";
      record["value"] = value;
      return record;
    case Json::booleanValue:
      record["valueType"] = "NuvValueBool";
      record["value"] = value;
      return record;
    case Json::intValue:
    case Json::uintValue:
      if (value.isInt() || value.isUInt()) {
        record["valueType"] = "NuvValueInt";
      } else {
        record["valueType"] = "NuvValueDouble";
      }
      record["value"] = value;
      return record;
    case Json::realValue:
      record["valueType"] = "NuvValueDouble";
      record["value"] = value;
      return record;
    case Json::arrayValue: {
      Json::Value array(Json::arrayValue);
      for (Json::ArrayIndex i = 0; i < value.size(); ++i)
        array.append(ExpandShorthand(value[i]));
      return array;
    }
    default:
      return value;
  }
}

void StampBrowserId(int32_t browser_id, Json::Value* record) {
  if (record->isArray()) {
    for (Json::ArrayIndex i = 0; i < record->size(); ++i)
      StampBrowserId(browser_id, &(*record)[i]);
  } else if (record->isObject() && !record->isMember("browserId")) {
    (*record)["browserId"] = browser_id;
  }
}

void NormalizePageRecord(Json::Value* record) {
  if (record->isArray()) {
    for (Json::ArrayIndex i = 0; i < record->size(); ++i)
      NormalizePageRecord(&(*record)[i]);
    return;
  }
  if (!record->isObject())
    return;
  std::string type = StringMember(*record, "valueType", "");
  bool carries_id = type == "NuvValueComObject" || type == "NuvValueV8Function";
  const Json::Value& id = static_cast<const Json::Value&>(*record)["value"];
  if (carries_id && !record->isMember("objectId") && id.isInt())
    (*record)["objectId"] = id.asInt();
}

std::string WriteJson(const Json::Value& value) {
  try {
    Json::FastWriter writer;
    return writer.write(value);
  } catch (...) {
    return "null\n";
  }
}

bool ParseJson(const std::string& text, Json::Value* value) {
  *value = Json::Value();
  try {
    Json::Reader reader;
    if (reader.parse(text, *value, false))
      return true;
  } catch (...) {
  }
  *value = Json::Value();
  return false;
}

std::string StringMember(const Json::Value& object, const char* key, const std::string& fallback) {
  if (!object.isObject())
    return fallback;
  const Json::Value& member = object[key];
  return member.isString() ? member.asString() : fallback;
}

bool Int32Of(const Json::Value& value, int32_t* out) {
  if (value.isInt()) {
    *out = value.asInt();
    return true;
  }
  // Identifiers may come as strings (object keys in a configuration).
  if (value.isString()) {
    const std::string text = value.asString();
    if (text.empty() || text.size() > 11)
      return false;
    char* end = nullptr;
    long long parsed = strtoll(text.c_str(), &end, 10);
    if (*end || parsed < std::numeric_limits<int32_t>::min() ||
        parsed > std::numeric_limits<int32_t>::max())
      return false;
    *out = static_cast<int32_t>(parsed);
    return true;
  }
  return false;
}

}  // namespace host
}  // namespace nuv
