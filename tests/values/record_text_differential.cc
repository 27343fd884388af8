#include "tests/values/record_text_differential.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <json/value.h>

#include "include/internal/cef_time.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"

namespace nuv_test {

namespace {

std::string Kind(const CefRefPtr<CefV8Value>& v) {
  if (!v)
    return "empty";
  if (v->IsUndefined())
    return "undefined";
  if (v->IsNull())
    return "null";
  if (v->IsBool())
    return "bool";
  if (v->IsDate())
    return "date";
  if (v->IsString())
    return "string";
  if (v->IsArray())
    return "array";
  if (v->IsFunction())
    return "function";
  if (v->IsObject())
    return "object";
  if (v->IsInt())
    return "int";
  if (v->IsUInt())
    return "uint";
  if (v->IsDouble())
    return "double";
  return "other";
}

time_t DateSeconds(const CefRefPtr<CefV8Value>& v) {
  const CefTime date = v->GetDateValue();
  time_t seconds = 0;
  cef_time_to_timet(&date, &seconds);
  return seconds;
}

}  // namespace

std::string PageValueDifference(const CefRefPtr<CefV8Value>& a, const CefRefPtr<CefV8Value>& b) {
  const std::string kind = Kind(a);
  if (kind != Kind(b))
    return "kinds " + kind + " and " + Kind(b);
  if (kind == "bool" && a->GetBoolValue() != b->GetBoolValue())
    return "booleans";
  if (kind == "int" || kind == "uint" || kind == "double") {
    const double x = a->GetDoubleValue();
    const double y = b->GetDoubleValue();
    if (std::memcmp(&x, &y, sizeof(x)) != 0 && !(x != x && y != y))
      return "numbers " + std::to_string(x) + " and " + std::to_string(y);
  }
  if (kind == "string" && a->GetStringValue() != b->GetStringValue())
    return "strings";
  if (kind == "date" && std::llabs(static_cast<long long>(DateSeconds(a) - DateSeconds(b))) > 2)
    return "dates";
  if (kind == "array") {
    const int length = a->GetArrayLength();
    if (length != b->GetArrayLength())
      return "array lengths";
    for (int i = 0; i < length; ++i) {
      std::string difference = PageValueDifference(a->GetValue(i), b->GetValue(i));
      if (!difference.empty())
        return "element " + std::to_string(i) + ": " + difference;
    }
  }
  return std::string();
}

DifferentialOutcome CompareRecordTextReaders(const CefRefPtr<CefV8Context>& context,
                                             int browserId,
                                             const std::string& text) {
  DifferentialOutcome outcome;
  CefRefPtr<CefV8Value> quick = CanonicalTextToV8Value(context, text);
  outcome.quickAccepted = quick != nullptr;
  if (!quick)
    return outcome;
  Json::Value record;
  if (!ParseJsonText(text, &record)) {
    outcome.agrees = false;
    outcome.why = "the quick reader accepts a text Json::Reader rejects";
    return outcome;
  }
  CefRefPtr<CefV8Value> full = JsonToV8Value(0, context, browserId, record);
  outcome.why = PageValueDifference(quick, full);
  outcome.agrees = outcome.why.empty();
  return outcome;
}

}  // namespace nuv_test
