#include "src/values/json_to_v8.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "include/internal/cef_time.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"
#include "src/values/json_access.h"
#include "src/values/json_text.h"
#include "src/values/object_id_counter.h"
#include "src/values/record_scalar.h"
#include "src/values/record_text_reader.h"
#include "src/values/scoped_context.h"
#include "src/values/value_bridge.h"
#include "src/values/value_record.h"

namespace {

CefRefPtr<CefV8Value> NullValue() {
  return CefV8Value::CreateNull();
}

// "NuvValueInt": whole numbers that fit 32 bits keep their exact value
// (2^31..2^32-1 as unsigned, as the encoder writes them); any other number
// keeps its value as a double; booleans are 0 or 1; other types are 0.
CefRefPtr<CefV8Value> IntValue(const CNuvScalar& scalar) {
  using Kind = CNuvScalar::Kind;
  switch (scalar.kind) {
    case Kind::kBool:
      return CefV8Value::CreateInt(scalar.boolValue ? 1 : 0);
    case Kind::kInt:
      if (scalar.intValue >= INT32_MIN && scalar.intValue <= INT32_MAX)
        return CefV8Value::CreateInt(static_cast<int32>(scalar.intValue));
      return CefV8Value::CreateDouble(static_cast<double>(scalar.intValue));
    case Kind::kUInt:
      if (scalar.uintValue <= UINT32_MAX)
        return CefV8Value::CreateUInt(static_cast<uint32>(scalar.uintValue));
      return CefV8Value::CreateDouble(static_cast<double>(scalar.uintValue));
    case Kind::kReal: {
      // Whole reals count as integers, as jsoncpp counts them.
      const double real = scalar.realValue;
      const bool whole = std::trunc(real) == real;
      if (whole && real >= INT32_MIN && real <= INT32_MAX)
        return CefV8Value::CreateInt(static_cast<int32>(real));
      if (whole && real >= 0 && real <= UINT32_MAX)
        return CefV8Value::CreateUInt(static_cast<uint32>(real));
      return CefV8Value::CreateDouble(real);
    }
    default:
      return CefV8Value::CreateInt(0);
  }
}

CefRefPtr<CefV8Value> DateFromText(const std::string& text) {
  const time_t seconds = ParseDateText(Utf8ToWide(text));
  cef_time_t date = {};
  if (!cef_time_from_timet(seconds, &date))
    cef_time_from_timet(0, &date);
  return CefV8Value::CreateDate(CefTime(date));
}

CefRefPtr<CefV8Value> StringFromText(const std::string& text) {
  return CefV8Value::CreateString(U16ToCef(Utf8ToWide(text)));
}

// A record's tag, compared in place without copying it out of the record.
class CNuvTag {
 public:
  explicit CNuvTag(const Json::Value& value) {
    if (!value.isString() || !value.getString(&m_begin, &m_end) || !m_begin)
      m_begin = m_end = nullptr;
  }
  CNuvTag(const char* begin, const char* end) : m_begin(begin), m_end(end) {}
  template <size_t N>
  bool operator==(const char (&tag)[N]) const {
    return static_cast<size_t>(m_end - m_begin) == N - 1 && std::memcmp(m_begin, tag, N - 1) == 0;
  }

 private:
  const char* m_begin = nullptr;
  const char* m_end = nullptr;
};

// The one reading of a record's tag, for both decoders. `record` gives
// what the tag asks for: Scalar() (the value as a scalar), Date() and
// String() (the value as text, empty when it is none), and HostObject(),
// RegisteredFunction() and OtherBrowserFunction() for the bridge's kinds.
// An unknown tag, a missing one and "NuvValueNull" are null.
template <class Record>
inline CefRefPtr<CefV8Value> DecodeTagged(const CNuvTag& tag, Record& record) {
  if (tag == kTagUnknown)
    return CefV8Value::CreateUndefined();
  if (tag == kTagBool)
    return CefV8Value::CreateBool(ScalarBool(record.Scalar()));
  if (tag == kTagDate)
    return record.Date();
  if (tag == kTagDouble)
    return CefV8Value::CreateDouble(ScalarDouble(record.Scalar()));
  if (tag == kTagInt)
    return IntValue(record.Scalar());
  if (tag == kTagString)
    return record.String();
  if (tag == kTagComObject)
    return record.HostObject();
  if (tag == kTagV8Function)
    return record.RegisteredFunction();
  if (tag == kTagV8FunctionOtherBrowser)
    return record.OtherBrowserFunction();
  return NullValue();
}

class CNuvRecordDecoder {
 public:
  CNuvRecordDecoder(uint32_t hostWindow, const CefRefPtr<CefV8Context>& context, int32_t browserId)
      : m_hostWindow(hostWindow), m_context(context), m_browserId(browserId) {}

  CefRefPtr<CefV8Value> Decode(const Json::Value& record, int depth) {
    CefRefPtr<CefV8Value> result =
        record.isArray() ? DecodeArray(record, depth) : DecodeSingle(record);
    return result ? result : NullValue();
  }

 private:
  CefRefPtr<CefV8Value> DecodeArray(const Json::Value& records, int depth) {
    if (depth >= kMaxArrayNesting || records.size() > static_cast<Json::ArrayIndex>(INT_MAX))
      return CefV8Value::CreateUndefined();
    const int length = static_cast<int>(records.size());
    CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(length);
    if (!array)
      return nullptr;
    for (int i = 0; i < length; ++i)
      array->SetValue(i, Decode(records[static_cast<Json::ArrayIndex>(i)], depth + 1));
    return array;
  }

  // One record of a Json::Value, as DecodeTagged reads it.
  class CNuvJsonRecord {
   public:
    CNuvJsonRecord(CNuvRecordDecoder* decoder, const Json::Value& record)
        : m_decoder(decoder), m_record(record), m_value(JsonMember(record, kKeyValue)) {}
    CNuvScalar Scalar() const { return ScalarOf(m_value); }
    CefRefPtr<CefV8Value> Date() const { return DateFromText(JsonString(m_value)); }
    CefRefPtr<CefV8Value> String() const { return StringFromText(JsonString(m_value)); }
    CefRefPtr<CefV8Value> HostObject() const { return m_decoder->HostObject(m_record); }
    CefRefPtr<CefV8Value> RegisteredFunction() const {
      return m_decoder->RegisteredFunction(m_record);
    }
    CefRefPtr<CefV8Value> OtherBrowserFunction() const {
      return m_decoder->OtherBrowserFunction(m_record);
    }

   private:
    CNuvRecordDecoder* const m_decoder;
    const Json::Value& m_record;
    const Json::Value& m_value;
  };

  CefRefPtr<CefV8Value> DecodeSingle(const Json::Value& record) {
    CNuvJsonRecord reading(this, record);
    return DecodeTagged(CNuvTag(JsonMember(record, kKeyValueType)), reading);
  }

  // A script object whose listed properties and methods all reach a new
  // host object proxy, made by the bridge.
  CefRefPtr<CefV8Value> HostObject(const Json::Value& record) {
    INuvValueBridge* bridge = GetValueBridge();
    if (!bridge)
      return nullptr;
    NuvHostObjectIdentity identity;
    identity.objectId = JsonId32(JsonMember(record, kKeyObjectId));
    identity.propertyNames = Utf8ToWide(JsonString(JsonMember(record, kKeyPropertyNames)));
    identity.methodNames = Utf8ToWide(JsonString(JsonMember(record, kKeyMethodNames)));
    return bridge->MakeHostObject(m_context, m_hostWindow, m_browserId, identity);
  }

  // The very page function that was handed to the client, or null when the
  // identifier is not (or no longer) registered for that browser.
  CefRefPtr<CefV8Value> RegisteredFunction(const Json::Value& record) {
    INuvValueBridge* bridge = GetValueBridge();
    CefRefPtr<CefV8Value> function =
        bridge ? bridge->FindPageCallback(JsonId32(JsonMember(record, kKeyBrowserId)),
                                          JsonId32(JsonMember(record, kKeyObjectId)))
               : nullptr;
    return function ? function : NullValue();
  }

  CefRefPtr<CefV8Value> OtherBrowserFunction(const Json::Value& record) {
    INuvValueBridge* bridge = GetValueBridge();
    if (!bridge)
      return nullptr;
    char name[40];
    std::snprintf(name, sizeof(name), "nuvAnonymouFunction%d", static_cast<int>(NextV8ObjectId()));
    return bridge->MakeOtherBrowserFunction(
        m_context, m_hostWindow, JsonId32(JsonMember(record, kKeyBrowserId)),
        JsonId32(JsonMember(record, kKeyObjectId)), CefString(name));
  }

  const uint32_t m_hostWindow;
  const CefRefPtr<CefV8Context> m_context;
  const int32_t m_browserId;
};

// Builds page values from the flat records of the quick reader. It sees
// only plain-value records (the reader declines the others) and reads them
// exactly as CNuvRecordDecoder reads the same records from a Json::Value.
class CNuvFlatDecoder {
 public:
  explicit CNuvFlatDecoder(const CNuvFlatRecords& records)
      : m_records(records), m_nodes(records.nodes) {}

  // The elements of the root array, one page value each; nothing when the
  // root is not an array (as for an argument list that is not one).
  CefV8ValueList DecodeRootElements() {
    CefV8ValueList list;
    const CNuvFlatNode& root = m_nodes[m_at++];
    if (root.type != CNuvFlatNode::Type::kArray)
      return list;
    list.reserve(root.count);
    for (uint32_t i = 0; i < root.count; ++i)
      list.push_back(Decode());
    return list;
  }

  CefRefPtr<CefV8Value> Decode() {
    const CNuvFlatNode& node = m_nodes[m_at++];
    CefRefPtr<CefV8Value> result;
    if (node.type == CNuvFlatNode::Type::kArray)
      result = DecodeArray(node);
    else if (node.type == CNuvFlatNode::Type::kRecord)
      result = DecodeSingle(node);
    return result ? result : NullValue();
  }

 private:
  CefRefPtr<CefV8Value> DecodeArray(const CNuvFlatNode& node) {
    const int length = static_cast<int>(node.count);
    CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(length);
    if (!array) {
      for (int i = 0; i < length; ++i)
        Skip();
      return nullptr;
    }
    for (int i = 0; i < length; ++i)
      array->SetValue(i, Decode());
    return array;
  }

  void Skip() {
    const CNuvFlatNode& node = m_nodes[m_at++];
    if (node.type == CNuvFlatNode::Type::kArray) {
      for (uint32_t i = 0; i < node.count; ++i)
        Skip();
    }
  }

  // A page string of the UTF-8 `text`, converted through one buffer kept
  // for the whole text instead of a new string for each value.
  CefRefPtr<CefV8Value> StringOf(std::string_view text) {
    MultiByteToWideInto(text.data(), text.size(), kCodePageUtf8, &m_wide);
    return CefV8Value::CreateString(CefString(
        reinterpret_cast<const CefString::char_type*>(m_wide.data()), m_wide.size(), false));
  }

  // One flat record, as DecodeTagged reads it. The quick reader declines
  // the bridge's kinds, so they never get here; they would read as null.
  class CNuvFlatRecord {
   public:
    CNuvFlatRecord(CNuvFlatDecoder* decoder, const CNuvFlatNode& node)
        : m_decoder(decoder), m_node(node) {}
    const CNuvScalar& Scalar() const { return m_node.value; }
    CefRefPtr<CefV8Value> Date() const {
      return DateFromText(IsText() ? std::string(m_decoder->m_records.TextOf(m_node))
                                   : std::string());
    }
    CefRefPtr<CefV8Value> String() const {
      return IsText() ? m_decoder->StringOf(m_decoder->m_records.TextOf(m_node))
                      : StringFromText(std::string());
    }
    CefRefPtr<CefV8Value> HostObject() const { return NullValue(); }
    CefRefPtr<CefV8Value> RegisteredFunction() const { return NullValue(); }
    CefRefPtr<CefV8Value> OtherBrowserFunction() const { return NullValue(); }

   private:
    bool IsText() const { return m_node.value.kind == CNuvScalar::Kind::kString; }

    CNuvFlatDecoder* const m_decoder;
    const CNuvFlatNode& m_node;
  };

  CefRefPtr<CefV8Value> DecodeSingle(const CNuvFlatNode& node) {
    const CNuvTag tag =
        node.hasTag ? CNuvTag(node.tagBegin, node.tagEnd) : CNuvTag(nullptr, nullptr);
    CNuvFlatRecord reading(this, node);
    return DecodeTagged(tag, reading);
  }

  const CNuvFlatRecords& m_records;
  const std::vector<CNuvFlatNode>& m_nodes;
  size_t m_at = 0;
  std::u16string m_wide;
};

}  // namespace

CefRefPtr<CefV8Value> JsonToV8Value(uint32_t hostWindow,
                                    CefRefPtr<CefV8Context> context,
                                    int32_t browserId,
                                    const Json::Value& record) {
  CNuvScopedContextEntry entry(context);
  CNuvRecordDecoder decoder(hostWindow, context, browserId);
  return decoder.Decode(record, 0);
}

CefV8ValueList JsonArrayToV8ValueList(uint32_t hostWindow,
                                      CefRefPtr<CefV8Context> context,
                                      int32_t browserId,
                                      const Json::Value& records) {
  CefV8ValueList list;
  if (!records.isArray())
    return list;
  CNuvScopedContextEntry entry(context);
  CNuvRecordDecoder decoder(hostWindow, context, browserId);
  list.reserve(records.size());
  for (const Json::Value& record : records)
    list.push_back(decoder.Decode(record, 1));
  return list;
}

namespace {

// Reads `text` with the quick reader and, when it takes the text, lets
// `decode` make page values from its records in `context`. Returns whether
// the reader took the text.
template <typename Decode>
bool ReadCanonical(const CefRefPtr<CefV8Context>& context, const std::string& text, Decode decode) {
  // The nodes of the last text read on this thread are kept with their
  // room, so that the next large text does not pay for fresh memory again
  // (page faults of tens of megabytes at a million values). Room beyond
  // kSmallRoom goes back once kShrinkAfter texts in a row have needed less
  // than a quarter of it. Taken out while in use, in case a decode ever
  // comes back here.
  static thread_local CNuvFlatRecords t_spare;
  static thread_local int t_smallTexts = 0;
  constexpr size_t kSmallRoom = size_t{8} << 20;
  constexpr size_t kKeptBytes = size_t{512} << 20;
  constexpr int kShrinkAfter = 4;
  CNuvFlatRecords records;
  std::swap(records, t_spare);
  const bool taken = ReadCanonicalRecordText(text, &records) && !records.nodes.empty();
  if (taken) {
    CNuvScopedContextEntry entry(context);
    CNuvFlatDecoder decoder(records);
    decode(decoder);
  }
  const size_t room =
      records.nodes.capacity() * sizeof(CNuvFlatNode) + records.unescaped.capacity();
  const size_t used = records.nodes.size() * sizeof(CNuvFlatNode) + records.unescaped.size();
  if (room > kSmallRoom && used < room / 4)
    ++t_smallTexts;
  else
    t_smallTexts = 0;
  if (room <= kKeptBytes && (room <= kSmallRoom || t_smallTexts < kShrinkAfter)) {
    records.source = nullptr;
    std::swap(records, t_spare);
  } else {
    t_smallTexts = 0;
  }
  return taken;
}

}  // namespace

CefRefPtr<CefV8Value> CanonicalTextToV8Value(CefRefPtr<CefV8Context> context,
                                             const std::string& text) {
  CefRefPtr<CefV8Value> value;
  ReadCanonical(context, text, [&value](CNuvFlatDecoder& decoder) { value = decoder.Decode(); });
  return value;
}

bool CanonicalArrayTextToV8ValueList(CefRefPtr<CefV8Context> context,
                                     const std::string& text,
                                     CefV8ValueList* list) {
  list->clear();
  return ReadCanonical(context, text,
                       [list](CNuvFlatDecoder& decoder) { *list = decoder.DecodeRootElements(); });
}

CefRefPtr<CefV8Value> JsonTextToV8Value(uint32_t hostWindow,
                                        CefRefPtr<CefV8Context> context,
                                        int32_t browserId,
                                        const std::string& text) {
  // Texts in the compact form that both sides write take the quick reader;
  // everything else (and anything it declines) Json::Reader.
  if (CefRefPtr<CefV8Value> value = CanonicalTextToV8Value(context, text))
    return value;
  return ReaderTextToV8Value(hostWindow, context, browserId, text);
}

CefRefPtr<CefV8Value> ReaderTextToV8Value(uint32_t hostWindow,
                                          CefRefPtr<CefV8Context> context,
                                          int32_t browserId,
                                          const std::string& text) {
  Json::Value record;
  if (!ParseJsonText(text, &record))
    return nullptr;
  return JsonToV8Value(hostWindow, context, browserId, record);
}
