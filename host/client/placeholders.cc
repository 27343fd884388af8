#include "host/client/placeholders.h"

#include <cstdlib>

#include "host/client/json_util.h"

namespace nuv {
namespace host {

void Placeholders::ScanText(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || (text[first] != '{' && text[first] != '['))
    return;
  Json::Value value;
  if (ParseJson(text, &value, nullptr))
    Scan(value, 0);
}

void Placeholders::ScanValue(const Json::Value& value) {
  Scan(value, 0);
}

void Placeholders::Scan(const Json::Value& value, int depth) {
  if (depth > 64)
    return;
  if (value.isArray()) {
    for (const Json::Value& element : value)
      Scan(element, depth + 1);
    return;
  }
  if (!value.isObject())
    return;
  const Json::Value& type = value["valueType"];
  const Json::Value& id = value["value"];
  if (type.isString() && type.asString() == "NuvValueV8Function" &&
      (id.type() == Json::intValue || id.type() == Json::uintValue)) {
    callbacks_.push_back(id.type() == Json::intValue ? id.asInt64()
                                                     : static_cast<int64_t>(id.asUInt64()));
  }
  for (const std::string& key : value.getMemberNames())
    Scan(value[key], depth + 1);
}

bool Placeholders::Expand(const std::string& text, std::string* out, std::string* error) const {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find("${", pos);
    if (open == std::string::npos) {
      out->append(text, pos, std::string::npos);
      break;
    }
    const size_t close = text.find('}', open);
    if (close == std::string::npos) {
      out->append(text, pos, std::string::npos);
      break;
    }
    out->append(text, pos, open - pos);
    const std::string name = text.substr(open + 2, close - open - 2);
    if (name == "hostWindow") {
      out->append(std::to_string(host_window_));
    } else if (name == "hostWindow+2^32") {
      out->append(std::to_string(int64_t{host_window_} + (int64_t{1} << 32)));
    } else if (name == "hostWindow-2^32") {
      out->append(std::to_string(int64_t{host_window_} - (int64_t{1} << 32)));
    } else if (name == "callback") {
      if (callbacks_.empty()) {
        *error = "${callback}: no page callback has been handed to the client yet";
        return false;
      }
      out->append(std::to_string(callbacks_.back()));
    } else if (name.rfind("callback:", 0) == 0) {
      const std::string number = name.substr(9);
      char* end = nullptr;
      const long n = std::strtol(number.c_str(), &end, 10);
      if (number.empty() || *end != '\0' || n < 1 || static_cast<size_t>(n) > callbacks_.size()) {
        *error = "${" + name + "}: only " + std::to_string(callbacks_.size()) +
                 " page callback(s) seen so far";
        return false;
      }
      out->append(std::to_string(callbacks_[static_cast<size_t>(n - 1)]));
    } else {
      *error = "unknown placeholder ${" + name +
               "} (known: ${callback}, ${callback:N}, ${hostWindow}, ${hostWindow+2^32}, "
               "${hostWindow-2^32})";
      return false;
    }
    pos = close + 1;
  }
  return true;
}

bool Placeholders::ExpandValue(const Json::Value& value,
                               Json::Value* out,
                               std::string* error) const {
  if (value.isString()) {
    std::string expanded;
    if (!Expand(value.asString(), &expanded, error))
      return false;
    *out = expanded;
    return true;
  }
  if (value.isArray()) {
    *out = Json::Value(Json::arrayValue);
    for (const Json::Value& element : value) {
      Json::Value expanded;
      if (!ExpandValue(element, &expanded, error))
        return false;
      out->append(expanded);
    }
    return true;
  }
  *out = value;
  return true;
}

}  // namespace host
}  // namespace nuv
