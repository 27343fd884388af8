#include "src/bridge/bridge_requests.h"

#include <exception>
#include <new>
#include <vector>

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/callback_holder.h"
#include "src/bridge/helper_window.h"
#include "src/common/exception_text.h"
#include "src/common/format_text.h"
#include "src/common/process_global.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"
#include "src/values/json_access.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"
#include "src/values/record_text_writer.h"
#include "src/values/v8_to_json.h"

namespace {

const char* KindName(uint32_t kind) {
  switch (kind) {
    case BRIDGE_GET_PROPERTY:
      return "BRIDGE_GET_PROPERTY";
    case BRIDGE_SET_PROPERTY:
      return "BRIDGE_SET_PROPERTY";
    case BRIDGE_CALL_METHOD:
      return "BRIDGE_CALL_METHOD";
    case BRIDGE_CALL_OTHER_BROWSER_FUNCTION:
      return "BRIDGE_CALL_OTHER_BROWSER_FUNCTION";
  }
  return "bridge request";
}

// "BRIDGE_CALL_METHOD of browser 1 for object 7", for log lines.
std::string RequestText(uint32_t kind, int32_t browserId, int32_t objectId) {
  return std::string(KindName(kind)) + " of browser " + std::to_string(browserId) + " for object " +
         std::to_string(objectId);
}

// A request whose text could not be written is not sent; the page reads the
// absence of a value, as for any failed exchange, and the log says why.
void DropUnwrittenRequest(uint32_t kind,
                          int32_t browserId,
                          int32_t objectId,
                          const std::string& name,
                          const NuvEncodeFailure& failure,
                          const std::vector<int32_t>& filedCallbacks) {
  // Page functions of the arguments that did fit are never seen by the
  // client either: they must not stay alive in the registry.
  for (int32_t id : filedCallbacks)
    ForgetCallback(browserId, id);
  INuvGlobal* global = GetProcessGlobal();
  if (!global)
    return;
  const std::string what = RequestText(kind, browserId, objectId);
  const std::string why = DescribeEncodeFailure(failure, kMaxBridgeTextSize);
  global->WriteLog(FormatText(std::u16string(u"Bridge request %1 \"%2\" not sent: %3"),
                              Utf8ToWide(what), Utf8ToWide(name), Utf8ToWide(why))
                       .c_str(),
                   0);
}

// Appends the record texts of `arguments` in brackets, separated by commas
// ("[]" for none, or "null" when `noneAsNull`). False when the text would
// pass the bridge's limit.
bool AppendArgumentRecords(int32_t browserId,
                           const CefRefPtr<CefV8Context>& context,
                           const CefV8ValueList& arguments,
                           bool noneAsNull,
                           std::string* text,
                           NuvEncodeFailure* failure,
                           std::vector<int32_t>* filedCallbacks) {
  if (arguments.empty()) {
    text->append(noneAsNull ? "null" : "[]");
    return true;
  }
  text->push_back('[');
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i)
      text->push_back(',');
    if (!AppendV8ValueRecordText(browserId, context, arguments[i], kMaxBridgeTextSize, text,
                                 failure, filedCallbacks))
      return false;
  }
  text->push_back(']');
  return true;
}

// Ends a request text: closing brace and line feed, within the limit.
bool FinishRequestText(std::string* text, NuvEncodeFailure* failure) {
  text->append("}\n");
  if (text->size() <= kMaxBridgeTextSize)
    return true;
  failure->reason = NuvEncodeFailure::Reason::kTooLarge;
  failure->detail = "a request text of " + std::to_string(text->size()) + " bytes";
  return false;
}

// Whether `text` is what a reply of one value record may hold: a record
// (an object with a "valueType" text), an array of records, or JSON null.
bool IsValueRecordText(const std::string& text) {
  Json::Value reply;
  if (!ParseJsonText(text, &reply))
    return false;
  return reply.isNull() || reply.isArray() ||
         (reply.isObject() && JsonMember(reply, "valueType").isString());
}

// The debug line for a reply that gives the page no value, or only the null
// that stands for a reply that is not a record. Only worked out when debug
// lines are written: it parses the reply a second time.
void CheckValueReply(const NuvBridgeExchange& exchange, const CefRefPtr<CefV8Value>& value) {
  if (!exchange.replied || !IsDebugLogOn())
    return;
  if (!value) {
    // Only a text that is not JSON gives no value at all.
    LogBridgeRequestFailure(exchange.request, exchange.reply.empty() ? u"the reply is empty"
                                                                     : u"the reply is not JSON");
  } else if (value->IsNull() && !IsValueRecordText(exchange.reply)) {
    LogBridgeRequestFailure(exchange.request, u"the reply is not a value record");
  }
}

// Sends a request whose reply is one value record and returns that value,
// made in `context`; an empty reference when the reply is not JSON.
// `checkReply`: whether a reply that is not a record is worth a log line
// (the reply to a property write may be anything).
CefRefPtr<CefV8Value> RequestValue(uint32_t hostWindow,
                                   const CefRefPtr<CefV8Context>& context,
                                   int32_t browserId,
                                   int32_t objectId,
                                   uint32_t kind,
                                   const std::string& name,
                                   const std::string& body,
                                   bool checkReply = true) {
  const NuvBridgeExchange exchange =
      ExchangeBridgeRequest(hostWindow, kind, browserId, objectId, name, body);
  CefRefPtr<CefV8Value> value = JsonTextToV8Value(hostWindow, context, browserId, exchange.reply);
  if (checkReply)
    CheckValueReply(exchange, value);
  return value;
}

}  // namespace

NuvNamedObjects RequestNamedObjects(uint32_t hostWindow,
                                    CefRefPtr<CefV8Context> context,
                                    int32_t browserId) {
  GetHelperWindow(browserId);
  NuvNamedObjects objects;
  const NuvBridgeExchange exchange = ExchangeBridgeRequest(
      hostWindow, BRIDGE_GET_NAMED_OBJECTS, browserId, 0, std::string(), std::string());
  Json::Value entries;
  if (!ParseJsonText(exchange.reply, &entries) || !entries.isArray()) {
    if (exchange.replied)
      LogBridgeRequestFailure(exchange.request, u"the reply is not a JSON array");
    return objects;
  }
  Json::ArrayIndex leftOut = 0;
  for (const Json::Value& entry : entries) {
    CefRefPtr<CefV8Value> value;
    if (entry.isObject()) {
      std::u16string name = Utf8ToWide(JsonString(JsonMember(entry, "name")));
      value = JsonToV8Value(hostWindow, context, browserId, JsonMember(entry, "object"));
      if (value)
        objects[std::move(name)] = value;
    }
    leftOut += value ? 0 : 1;
  }
  if (leftOut) {
    const std::u16string why = DecimalText(leftOut) + u" of " + DecimalText(entries.size()) +
                               u" entries left out (not an object, or no value)";
    LogBridgeRequestFailure(exchange.request, why.c_str());
  }
  return objects;
}

void RequestReleaseObject(uint32_t hostWindow, int32_t browserId, int32_t objectId) {
  try {
    ExchangeBridgeRequest(hostWindow, BRIDGE_RELEASE_OBJECT, browserId, objectId, std::string(),
                          std::string(), NuvReplyAddress::kExistingHelperWindow);
  } catch (...) {
    const std::u16string why = CurrentExceptionText();
    NuvBridgeRequestInfo request;
    request.kind = BRIDGE_RELEASE_OBJECT;
    request.browserId = browserId;
    request.objectId = objectId;
    WriteLogNoThrow([&] {
      return FormatText(std::u16string(u"bridge request failed: %1: %2"),
                        DescribeBridgeRequest(request), why);
    });
  }
}

CefRefPtr<CefV8Value> RequestGetProperty(uint32_t hostWindow,
                                         CefRefPtr<CefV8Context> context,
                                         int32_t browserId,
                                         int32_t objectId,
                                         const std::string& name) {
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_GET_PROPERTY, name, name);
}

bool RequestSetProperty(uint32_t hostWindow,
                        CefRefPtr<CefV8Context> context,
                        int32_t browserId,
                        int32_t objectId,
                        const std::string& name,
                        CefRefPtr<CefV8Value> value) {
  // Written as the compact writer writes {"propertyName","value"}.
  std::string text = "{\"propertyName\":";
  AppendJsonString(name, &text);
  text.append(",\"value\":");
  NuvEncodeFailure failure;
  std::vector<int32_t> filed;
  if (AppendV8ValueRecordText(browserId, context, value, kMaxBridgeTextSize, &text, &failure,
                              &filed) &&
      FinishRequestText(&text, &failure)) {
    RequestValue(hostWindow, context, browserId, objectId, BRIDGE_SET_PROPERTY, name, text, false);
  } else {
    DropUnwrittenRequest(BRIDGE_SET_PROPERTY, browserId, objectId, name, failure, filed);
  }
  return true;
}

CefRefPtr<CefV8Value> RequestCallMethod(uint32_t hostWindow,
                                        CefRefPtr<CefV8Context> context,
                                        int32_t browserId,
                                        int32_t objectId,
                                        const std::string& methodName,
                                        const CefV8ValueList& arguments) {
  // {"arguments":[...],"methodName":...}
  std::string text = "{\"arguments\":";
  NuvEncodeFailure failure;
  std::vector<int32_t> filed;
  bool written =
      AppendArgumentRecords(browserId, context, arguments, false, &text, &failure, &filed);
  if (written) {
    text.append(",\"methodName\":");
    AppendJsonString(methodName, &text);
    written = FinishRequestText(&text, &failure);
  }
  if (!written) {
    DropUnwrittenRequest(BRIDGE_CALL_METHOD, browserId, objectId, methodName, failure, filed);
    return nullptr;
  }
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_METHOD, methodName,
                      text);
}

CefRefPtr<CefV8Value> RequestCallOtherBrowserFunction(uint32_t hostWindow,
                                                      CefRefPtr<CefV8Context> context,
                                                      int32_t browserId,
                                                      int32_t objectId,
                                                      const std::string& functionName,
                                                      const CefV8ValueList& arguments) {
  // {"arguments":[...] or null,"browserId":N,"methodName":...,"objectId":N}
  std::string text = "{\"arguments\":";
  NuvEncodeFailure failure;
  std::vector<int32_t> filed;
  bool written =
      AppendArgumentRecords(browserId, context, arguments, true, &text, &failure, &filed);
  if (written) {
    text.append(",\"browserId\":");
    AppendJsonInt(browserId, &text);
    text.append(",\"methodName\":");
    AppendJsonString(functionName, &text);
    text.append(",\"objectId\":");
    AppendJsonInt(objectId, &text);
    written = FinishRequestText(&text, &failure);
  }
  if (!written) {
    DropUnwrittenRequest(BRIDGE_CALL_OTHER_BROWSER_FUNCTION, browserId, objectId, functionName,
                         failure, filed);
    return nullptr;
  }
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_OTHER_BROWSER_FUNCTION,
                      functionName, text);
}

CefV8ValueList JsonArrayTextToV8ValueList(uint32_t hostWindow,
                                          CefRefPtr<CefV8Context> context,
                                          int32_t browserId,
                                          const std::string& text) {
  // Lists in the compact form both sides write take the quick reader, as
  // single records do; everything else (and what it declines) Json::Reader.
  CefV8ValueList list;
  if (CanonicalArrayTextToV8ValueList(context, text, &list))
    return list;
  Json::Value records;
  if (!ParseJsonText(text, &records))
    return CefV8ValueList();
  return JsonArrayToV8ValueList(hostWindow, context, browserId, records);
}

void LogFailedBridgeCall(uint32_t kind,
                         int32_t browserId,
                         int32_t objectId,
                         const CefString& name) {
  try {
    std::string why = "an unknown exception";
    try {
      throw;
    } catch (const std::bad_alloc& e) {
      why = std::string("out of memory (") + e.what() + ")";
    } catch (const std::exception& e) {
      why = e.what();
    } catch (...) {
    }
    INuvGlobal* global = GetProcessGlobal();
    if (!global)
      return;
    global->WriteLog(FormatText(std::u16string(u"Bridge request %1 \"%2\" failed: %3"),
                                Utf8ToWide(RequestText(kind, browserId, objectId)), CefToU16(name),
                                Utf8ToWide(why))
                         .c_str(),
                     0);
  } catch (...) {
    // Nothing more can be done without memory.
  }
}
