#include "src/values/v8_to_json.h"

#include <vector>

#include "include/internal/cef_time.h"
#include "src/app/process_global.h"
#include "src/bridge/callback_holder.h"
#include "src/bridge/com_v8_object.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"
#include "src/values/json_text.h"
#include "src/values/object_id_counter.h"
#include "src/values/scoped_context.h"
#include "src/values/value_record.h"

namespace {

class CNuvRecordEncoder {
 public:
  CNuvRecordEncoder(int32_t browserId, const CefRefPtr<CefV8Context>& context)
      : m_browserId(browserId), m_context(context) {}

  Json::Value Encode(const CefRefPtr<CefV8Value>& value) {
    if (value->IsArray())
      return EncodeArray(value);
    return EncodeSingle(value);
  }

 private:
  Json::Value TaggedRecord(const char* tag) const {
    Json::Value record(Json::objectValue);
    record[kKeyBrowserId] = m_browserId;
    record[kKeyValueType] = tag;
    return record;
  }

  // Null for length zero, else one record per element. An array already
  // being encoded further up (it contains itself) or one nested too deeply
  // becomes a "NuvValueUnknown" record instead of being walked.
  Json::Value EncodeArray(const CefRefPtr<CefV8Value>& array) {
    if (m_ancestors.size() >= static_cast<size_t>(kMaxArrayNesting))
      return TaggedRecord(kTagUnknown);
    for (CefV8Value* ancestor : m_ancestors) {
      if (array->IsSame(ancestor))
        return TaggedRecord(kTagUnknown);
    }
    const int length = array->GetArrayLength();
    Json::Value result;
    if (length <= 0)
      return result;
    result.resize(static_cast<Json::ArrayIndex>(length));
    m_ancestors.push_back(array.get());
    for (int i = 0; i < length; ++i) {
      CefRefPtr<CefV8Value> element = array->GetValue(i);
      if (!element)
        element = CefV8Value::CreateNull();
      result[static_cast<Json::ArrayIndex>(i)] = element ? Encode(element) : TaggedRecord(kTagNull);
    }
    m_ancestors.pop_back();
    return result;
  }

  Json::Value EncodeSingle(const CefRefPtr<CefV8Value>& value) {
    Json::Value record = TaggedRecord(kTagUnknown);
    if (value->IsBool()) {
      record[kKeyValueType] = kTagBool;
      record[kKeyValue] = value->GetBoolValue();
    } else if (value->IsDate()) {
      record[kKeyValueType] = kTagDate;
      record[kKeyValue] = WideToUtf8(FormatDateText(DateSeconds(value)));
    } else if (value->IsFunction()) {
      record[kKeyValueType] = kTagV8Function;
      record[kKeyValue] = RegisterFunction(value);
      record[kKeyKeys] = "";
    } else if (value->IsInt()) {
      record[kKeyValueType] = kTagInt;
      record[kKeyValue] = value->GetIntValue();
    } else if (value->IsNull()) {
      record[kKeyValueType] = kTagNull;
    } else if (value->IsObject()) {
      EncodeObject(value, &record);
    } else if (value->IsString()) {
      record[kKeyValueType] = kTagString;
      record[kKeyValue] = WideToUtf8(CefToU16(value->GetStringValue()));
    } else if (value->IsUInt()) {
      record[kKeyValueType] = kTagInt;
      record[kKeyValue] = value->GetUIntValue();
    } else if (value->IsUndefined()) {
      record[kKeyValueType] = kTagUndefined;
    } else if (value->IsDouble()) {
      record[kKeyValueType] = kTagDouble;
      record[kKeyValue] = value->GetDoubleValue();
    }
    return record;
  }

  static time_t DateSeconds(const CefRefPtr<CefV8Value>& value) {
    const CefTime date = value->GetDateValue();
    time_t seconds = 0;
    // An invalid date (one the runtime cannot break down) counts as the
    // epoch.
    if (!cef_time_to_timet(&date, &seconds))
      seconds = 0;
    return seconds;
  }

  // Files the function in the browser's callback registry under a new
  // identifier; the registry keeps the holder alive from now on.
  int32_t RegisterFunction(const CefRefPtr<CefV8Value>& function) {
    const int32_t id = NextV8ObjectId();
    CefRefPtr<CNuvV8CallbackObjectHolder> holder =
        new CNuvV8CallbackObjectHolder(m_context, function, m_browserId, id);
    return id;
  }

  void EncodeObject(const CefRefPtr<CefV8Value>& value, Json::Value* record) {
    CefRefPtr<CefBase> userData = value->GetUserData();
    CNuvComV8Object* proxy = dynamic_cast<CNuvComV8Object*>(userData.get());
    if (!proxy) {
      // Page objects are never walked: only host objects travel by identity.
      if (INuvGlobal* global = GetProcessGlobal())
        global->WriteLog(u"Can't convert object to json", 0);
      return;
    }
    (*record)[kKeyValueType] = kTagComObject;
    (*record)[kKeyValue] = proxy->GetObjectId();
    (*record)[kKeyPropertyNames] = WideToUtf8(proxy->GetPropertyNames());
    (*record)[kKeyMethodNames] = WideToUtf8(proxy->GetMethodNames());
  }

  const int32_t m_browserId;
  const CefRefPtr<CefV8Context> m_context;
  // The arrays being encoded, outermost first; each is held by a caller.
  std::vector<CefV8Value*> m_ancestors;
};

}  // namespace

Json::Value V8ValueToJson(int32_t browserId,
                          CefRefPtr<CefV8Context> context,
                          CefRefPtr<CefV8Value> value) {
  CNuvScopedContextEntry entry(context);
  if (!value)
    value = CefV8Value::CreateNull();
  if (!value) {
    Json::Value record(Json::objectValue);
    record[kKeyBrowserId] = browserId;
    record[kKeyValueType] = kTagNull;
    return record;
  }
  CNuvRecordEncoder encoder(browserId, context);
  return encoder.Encode(value);
}

std::string V8ValueToJsonText(int32_t browserId,
                              CefRefPtr<CefV8Context> context,
                              CefRefPtr<CefV8Value> value) {
  return WriteJsonText(V8ValueToJson(browserId, context, std::move(value)));
}
