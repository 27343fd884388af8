#include "src/values/json_text.h"

#include <exception>

// Json::Reader and Json::FastWriter are the reader and writer whose output
// the client relies on; this jsoncpp marks them deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <json/reader.h>
#include <json/writer.h>

bool ParseJsonText(const std::string& text, Json::Value* out) {
  Json::Value parsed;
  bool ok = false;
  try {
    Json::Reader reader;
    ok = reader.parse(text, parsed, false);
  } catch (const std::exception&) {
    // The reader throws when the text nests beyond its stack limit.
    ok = false;
  }
  *out = ok ? std::move(parsed) : Json::Value();
  return ok;
}

std::string WriteJsonText(const Json::Value& value) {
  try {
    Json::FastWriter writer;
    return writer.write(value);
  } catch (const std::exception&) {
    return "null\n";
  }
}

#pragma GCC diagnostic pop
