#include "src/values/v8_to_json.h"

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>
#include <vector>

#include "include/internal/cef_time.h"
#include "src/common/process_global.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"
#include "src/values/encode_limit.h"
#include "src/values/object_id_counter.h"
#include "src/values/record_text_writer.h"
#include "src/values/render_thread_check.h"
#include "src/values/scoped_context.h"
#include "src/values/value_bridge.h"
#include "src/values/value_record.h"

namespace {

// One object record before it is written: its tag and what goes under
// "value", "keys", "propertyNames" and "methodNames".
struct RecordData {
  enum class Kind { kNone, kBool, kInt, kUInt, kDouble, kString, kFunction, kComObject, kTooLarge };
  const char* tag = kTagUnknown;
  Kind kind = Kind::kNone;
  // Bytes the record text may still take; a string that cannot fit is not
  // converted at all (kTooLarge).
  size_t room = std::string::npos;
  bool boolValue = false;
  int64_t intValue = 0;
  double doubleValue = 0.0;
  std::string text;  // string value, date text, or property names
  std::string methodNames;
};

time_t DateSeconds(const CefRefPtr<CefV8Value>& value) {
  const CefTime date = value->GetDateValue();
  time_t seconds = 0;
  // An invalid date (one the runtime cannot break down) counts as the epoch.
  if (!cef_time_to_timet(&date, &seconds))
    seconds = 0;
  return seconds;
}

// The kind tests, in their fixed order: the first that holds decides.
void Classify(int32_t browserId,
              const CefRefPtr<CefV8Context>& context,
              const CefRefPtr<CefV8Value>& value,
              RecordData* record) {
  using Kind = RecordData::Kind;
  if (value->IsBool()) {
    record->tag = kTagBool;
    record->kind = Kind::kBool;
    record->boolValue = value->GetBoolValue();
  } else if (value->IsDate()) {
    record->tag = kTagDate;
    record->kind = Kind::kString;
    record->text = WideToUtf8(FormatDateText(DateSeconds(value)));
  } else if (value->IsFunction()) {
    // Filed in the browser's callback registry under a new identifier; the
    // registry keeps the holder alive from now on.
    record->tag = kTagV8Function;
    record->kind = Kind::kFunction;
    record->intValue = NextV8ObjectId();
    if (INuvValueBridge* bridge = GetValueBridge())
      bridge->RegisterPageCallback(context, value, browserId,
                                   static_cast<int32_t>(record->intValue));
  } else if (value->IsInt()) {
    // CEF answers IsInt for every 32-bit integer, unsigned ones included,
    // and GetIntValue gives their bits as signed: the number itself tells
    // which reading keeps the value.
    record->tag = kTagInt;
    if (value->GetDoubleValue() > 2147483647.0) {
      record->kind = Kind::kUInt;
      record->intValue = value->GetUIntValue();
    } else {
      record->kind = Kind::kInt;
      record->intValue = value->GetIntValue();
    }
  } else if (value->IsNull()) {
    record->tag = kTagNull;
  } else if (value->IsObject()) {
    INuvValueBridge* bridge = GetValueBridge();
    NuvHostObjectIdentity identity;
    if (!bridge || !bridge->GetHostObjectIdentity(value, &identity)) {
      // Page objects are never walked: only host objects travel, by identity.
      if (INuvGlobal* global = GetProcessGlobal())
        global->WriteLog(u"Can't convert object to json", 0);
      return;
    }
    record->tag = kTagComObject;
    record->kind = Kind::kComObject;
    record->intValue = identity.objectId;
    record->text = WideToUtf8(identity.propertyNames);
    record->methodNames = WideToUtf8(identity.methodNames);
  } else if (value->IsString()) {
    record->tag = kTagString;
    record->kind = Kind::kString;
    const CefString text = value->GetStringValue();
    // intValue: the length in units, for what a log line says of it.
    record->intValue = static_cast<int64_t>(text.length());
    if (!WideToUtf8Within(reinterpret_cast<const char16_t*>(text.c_str()), text.length(),
                          record->room, &record->text))
      record->kind = Kind::kTooLarge;
  } else if (value->IsUInt()) {
    record->tag = kTagInt;
    record->kind = Kind::kUInt;
    record->intValue = value->GetUIntValue();
  } else if (value->IsUndefined()) {
    record->tag = kTagUndefined;
  } else if (value->IsDouble()) {
    record->tag = kTagDouble;
    record->kind = Kind::kDouble;
    record->doubleValue = value->GetDoubleValue();
  }
}

// The fewest bytes the text of an array of `length` elements can take: its
// brackets, and "null" (an empty inner array) and a comma per element.
uint64_t MinimumArrayText(int length) {
  return 2 + 5 * static_cast<uint64_t>(length);
}

// Walks a page value: arrays element by element (an empty one is null), an
// array that contains itself or nests too deeply as a "NuvValueUnknown"
// record, everything else as one record. The emitter builds the output. The
// walk stops as soon as the output passes `limit` bytes (Stopped(), with
// what did not fit in *failure).
template <class Emitter>
class CNuvRecordWalker {
 public:
  CNuvRecordWalker(int32_t browserId,
                   const CefRefPtr<CefV8Context>& context,
                   Emitter* emitter,
                   size_t limit,
                   NuvEncodeFailure* failure)
      : m_browserId(browserId),
        m_context(context),
        m_emitter(emitter),
        m_limit(limit),
        m_failure(failure) {}

  bool Stopped() const { return m_failure->failed(); }
  // The identifiers of the page functions this walk filed.
  const std::vector<int32_t>& FiledCallbacks() const { return m_filedCallbacks; }

  void Walk(const CefRefPtr<CefV8Value>& value) {
    if (!value) {
      RecordData record;
      record.tag = kTagNull;
      m_emitter->Record(m_browserId, record);
    } else if (value->IsArray()) {
      WalkArray(value);
    } else {
      RecordData record;
      record.room = Room();
      Classify(m_browserId, m_context, value, &record);
      if (record.kind == RecordData::Kind::kTooLarge) {
        Stop(StringText(record.intValue));
        return;
      }
      if (record.kind == RecordData::Kind::kFunction)
        m_filedCallbacks.push_back(static_cast<int32_t>(record.intValue));
      m_emitter->Record(m_browserId, record);
      if (record.tag == kTagString && Passed())
        Stop(StringText(record.intValue));
    }
    // Inside an array, the array loop says which array did not fit.
    if (m_ancestors.empty() && Passed())
      Stop("a value record of more than " + std::to_string(m_limit) + " bytes");
  }

 private:
  void WalkArray(const CefRefPtr<CefV8Value>& array) {
    if (!Enterable(array)) {
      m_emitter->Record(m_browserId, RecordData());
      return;
    }
    const int length = array->GetArrayLength();
    if (length <= 0) {
      m_emitter->Null();
      return;
    }
    if (MinimumArrayText(length) > Room()) {
      Stop(ArrayText(length));
      return;
    }
    m_ancestors.push_back(array.get());
    m_emitter->BeginArray(length);
    for (int i = 0; i < length && !Stopped(); ++i) {
      m_emitter->BeginElement(i);
      CefRefPtr<CefV8Value> element = array->GetValue(i);
      Walk(element ? element : CefV8Value::CreateNull());
      m_emitter->EndElement();
      if (Passed())
        Stop(ArrayText(length));
    }
    m_emitter->EndArray();
    m_ancestors.pop_back();
  }

  static std::string StringText(int64_t length) {
    return "a string of " + std::to_string(length) + " characters";
  }
  static std::string ArrayText(int length) {
    return "an array of " + std::to_string(length) + " elements";
  }

  size_t Room() const {
    const size_t size = m_emitter->Size();
    return size < m_limit ? m_limit - size : 0;
  }
  bool Passed() const { return m_emitter->Overflowed() || m_emitter->Size() > m_limit; }

  // Records the innermost value that did not fit; the walk unwinds from here.
  void Stop(const std::string& what) {
    if (Stopped())
      return;
    m_failure->reason = NuvEncodeFailure::Reason::kTooLarge;
    m_failure->detail = what;
  }

  bool Enterable(const CefRefPtr<CefV8Value>& array) {
    if (m_ancestors.size() >= static_cast<size_t>(kMaxArrayNesting))
      return false;
    for (CefV8Value* ancestor : m_ancestors) {
      if (array->IsSame(ancestor))
        return false;
    }
    return true;
  }

  const int32_t m_browserId;
  const CefRefPtr<CefV8Context> m_context;
  Emitter* m_emitter;
  const size_t m_limit;
  NuvEncodeFailure* m_failure;
  // The arrays being walked, outermost first; each is held by a caller.
  std::vector<CefV8Value*> m_ancestors;
  std::vector<int32_t> m_filedCallbacks;
};

// Builds the record as a Json::Value, counting the bytes its compact text
// would take at least (the walk's limit applies to that count).
class CNuvJsonEmitter {
 public:
  Json::Value TakeResult() { return std::move(m_root); }
  size_t Size() const { return m_size; }
  bool Overflowed() const { return false; }

  void Null() {
    *Current() = Json::Value();
    m_size += 4;
  }
  void Record(int32_t browserId, const RecordData& data) {
    using Kind = RecordData::Kind;
    // {"browserId":N,"valueType":"NuvValueNull"} is the shortest record.
    m_size += 41 + data.text.size() + data.methodNames.size();
    Json::Value& record = *Current();
    record = Json::Value(Json::objectValue);
    record[kKeyBrowserId] = browserId;
    record[kKeyValueType] = data.tag;
    switch (data.kind) {
      case Kind::kNone:
      case Kind::kTooLarge:
        break;
      case Kind::kBool:
        record[kKeyValue] = data.boolValue;
        break;
      case Kind::kInt:
        record[kKeyValue] = static_cast<Json::Int>(data.intValue);
        break;
      case Kind::kUInt:
        record[kKeyValue] = static_cast<Json::UInt>(data.intValue);
        break;
      case Kind::kDouble:
        record[kKeyValue] = data.doubleValue;
        break;
      case Kind::kString:
        record[kKeyValue] = data.text;
        break;
      case Kind::kFunction:
        record[kKeyValue] = static_cast<Json::Int>(data.intValue);
        record[kKeyKeys] = "";
        break;
      case Kind::kComObject:
        record[kKeyValue] = static_cast<Json::Int>(data.intValue);
        record[kKeyPropertyNames] = data.text;
        record[kKeyMethodNames] = data.methodNames;
        break;
    }
  }
  void BeginArray(int length) {
    Json::Value& array = *Current();
    array = Json::Value(Json::arrayValue);
    array.resize(static_cast<Json::ArrayIndex>(length));
    m_arrays.push_back(&array);
    m_size += 2;
  }
  void BeginElement(int index) {
    m_element = &(*m_arrays.back())[static_cast<Json::ArrayIndex>(index)];
    m_size += index ? 1 : 0;
  }
  void EndElement() { m_element = nullptr; }
  void EndArray() { m_arrays.pop_back(); }

 private:
  Json::Value* Current() { return m_element ? m_element : &m_root; }

  Json::Value m_root;
  std::vector<Json::Value*> m_arrays;
  Json::Value* m_element = nullptr;
  size_t m_size = 0;
};

// Writes the record's compact text straight away, members in ascending key
// order as the compact writer puts them.
class CNuvTextEmitter {
 public:
  CNuvTextEmitter(std::string* out, size_t limit) : m_out(out), m_limit(limit) {}
  size_t Size() const { return m_out->size(); }
  // A string did not fit within the limit (and was left out).
  bool Overflowed() const { return m_overflowed; }

  void Null() { m_out->append("null"); }
  void Record(int32_t browserId, const RecordData& data) {
    using Kind = RecordData::Kind;
    // Every record of a walk starts the same way: written once, copied after.
    if (m_head.empty() || browserId != m_headBrowserId) {
      m_head = "{\"browserId\":";
      AppendJsonInt(browserId, &m_head);
      m_headBrowserId = browserId;
    }
    m_out->append(m_head);
    switch (data.kind) {
      case Kind::kNone:
      case Kind::kTooLarge:
        break;
      case Kind::kBool:
        m_out->append(data.boolValue ? ",\"value\":true" : ",\"value\":false");
        break;
      case Kind::kInt:
        m_out->append(",\"value\":");
        AppendJsonInt(data.intValue, m_out);
        break;
      case Kind::kUInt:
        m_out->append(",\"value\":");
        AppendJsonUInt(static_cast<uint64_t>(data.intValue), m_out);
        break;
      case Kind::kDouble:
        m_out->append(",\"value\":");
        AppendJsonReal(data.doubleValue, m_out);
        break;
      case Kind::kString:
        m_out->append(",\"value\":");
        AppendString(data.text);
        break;
      case Kind::kFunction:
        m_out->append(",\"keys\":\"\",\"value\":");
        AppendJsonInt(data.intValue, m_out);
        break;
      case Kind::kComObject:
        m_out->append(",\"methodNames\":");
        AppendString(data.methodNames);
        m_out->append(",\"propertyNames\":");
        AppendString(data.text);
        m_out->append(",\"value\":");
        AppendJsonInt(data.intValue, m_out);
        break;
    }
    m_out->append(",\"valueType\":\"");
    m_out->append(data.tag);
    m_out->append("\"}");
  }
  void BeginArray(int length) {
    // Records of plain values take 42 to some 70 bytes: room for the
    // elements at once instead of growing (and copying) the text on the way,
    // never more than the limit allows.
    const size_t needed = std::min(m_out->size() + static_cast<size_t>(length) * 64,
                                   std::max(m_limit, m_out->size()));
    if (needed > m_out->capacity())
      m_out->reserve(std::max(needed, 2 * m_out->capacity()));
    m_out->push_back('[');
  }
  void BeginElement(int index) {
    if (index)
      m_out->push_back(',');
  }
  void EndElement() {}
  void EndArray() { m_out->push_back(']'); }

 private:
  void AppendString(const std::string& text) {
    if (!AppendJsonStringWithin(text.data(), text.size(), m_limit, m_out))
      m_overflowed = true;
  }

  std::string* m_out;
  const size_t m_limit;
  bool m_overflowed = false;
  std::string m_head;
  int32_t m_headBrowserId = 0;
};

// Runs one walk of `value` with `emitter` inside its context; false (with
// *failure) when it stopped at the limit or something was thrown.
template <class Emitter>
bool WalkWithin(int32_t browserId,
                const CefRefPtr<CefV8Context>& context,
                CefRefPtr<CefV8Value> value,
                Emitter* emitter,
                size_t limit,
                NuvEncodeFailure* failure,
                std::vector<int32_t>* filedCallbacks = nullptr) {
  *failure = NuvEncodeFailure();
  CNuvRecordWalker<Emitter> walker(browserId, context, emitter, limit, failure);
  try {
    CNuvScopedContextEntry entry(context);
    // The substitution table is looked for once per record, not per string.
    CNuvCharacterTableScope table;
    if (!value)
      value = CefV8Value::CreateNull();
    walker.Walk(value);
  } catch (...) {
    NoteCurrentException(failure);
  }
  if (!failure->failed()) {
    if (filedCallbacks) {
      filedCallbacks->insert(filedCallbacks->end(), walker.FiledCallbacks().begin(),
                             walker.FiledCallbacks().end());
    }
    return true;
  }
  // The record never reaches the client: the functions it filed go again.
  if (INuvValueBridge* bridge = GetValueBridge()) {
    for (int32_t id : walker.FiledCallbacks())
      bridge->ForgetPageCallback(browserId, id);
  }
  return false;
}

}  // namespace

Json::Value V8ValueToJson(int32_t browserId,
                          CefRefPtr<CefV8Context> context,
                          CefRefPtr<CefV8Value> value) {
  NUV_REQUIRE_RENDER_THREAD_RETURN(Json::Value());
  NuvEncodeFailure failure;
  CNuvJsonEmitter emitter;
  if (!WalkWithin(browserId, context, value, &emitter, kMaxRecordTextSize, &failure))
    return Json::Value();
  return emitter.TakeResult();
}

bool AppendV8ValueRecordText(int32_t browserId,
                             CefRefPtr<CefV8Context> context,
                             CefRefPtr<CefV8Value> value,
                             size_t limit,
                             std::string* out,
                             NuvEncodeFailure* failure,
                             std::vector<int32_t>* filedCallbacks) {
  NuvEncodeFailure ignored;
  if (!failure)
    failure = &ignored;
  if (!NUV_ON_RENDER_THREAD()) {
    *failure = NuvEncodeFailure();
    failure->reason = NuvEncodeFailure::Reason::kError;
    failure->detail = NUV_WRONG_THREAD_TEXT;
    return false;
  }
  const size_t start = out->size();
  CNuvTextEmitter emitter(out, limit);
  if (WalkWithin(browserId, context, value, &emitter, limit, failure, filedCallbacks))
    return true;
  // What was written is given back at once, not when the caller is done.
  out->resize(start);
  out->shrink_to_fit();
  return false;
}

bool V8ValueToJsonTextWithin(int32_t browserId,
                             CefRefPtr<CefV8Context> context,
                             CefRefPtr<CefV8Value> value,
                             size_t limit,
                             std::string* text,
                             NuvEncodeFailure* failure) {
  std::string().swap(*text);
  // The line feed counts too.
  if (limit == 0 || !AppendV8ValueRecordText(browserId, context, value, limit - 1, text, failure))
    return false;
  text->push_back('\n');
  return true;
}

std::string V8ValueToJsonText(int32_t browserId,
                              CefRefPtr<CefV8Context> context,
                              CefRefPtr<CefV8Value> value) {
  std::string text;
  V8ValueToJsonTextWithin(browserId, context, value, kMaxRecordTextSize, &text, nullptr);
  return text;
}
