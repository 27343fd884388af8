#include "src/bridge/bridge_requests.h"

#include <exception>
#include <new>

#include "src/app/process_global.h"
#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "src/common/format_text.h"
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
void LogUnwrittenRequest(uint32_t kind,
                         int32_t browserId,
                         int32_t objectId,
                         const std::string& name,
                         const NuvEncodeFailure& failure) {
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
                           NuvEncodeFailure* failure) {
  if (arguments.empty()) {
    text->append(noneAsNull ? "null" : "[]");
    return true;
  }
  text->push_back('[');
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i)
      text->push_back(',');
    if (!AppendV8ValueRecordText(browserId, context, arguments[i], kMaxBridgeTextSize, text,
                                 failure))
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

// Sends a request whose reply is one value record and returns that value,
// made in `context`; an empty reference when the reply is not JSON.
CefRefPtr<CefV8Value> RequestValue(uint32_t hostWindow,
                                   const CefRefPtr<CefV8Context>& context,
                                   int32_t browserId,
                                   int32_t objectId,
                                   uint32_t kind,
                                   const std::string& body) {
  const std::string reply = SendBridgeRequest(hostWindow, kind, browserId, objectId, body);
  return JsonTextToV8Value(hostWindow, context, browserId, reply);
}

}  // namespace

NuvNamedObjects RequestNamedObjects(uint32_t hostWindow,
                                    CefRefPtr<CefV8Context> context,
                                    int32_t browserId) {
  GetHelperWindow(browserId);
  NuvNamedObjects objects;
  const std::string reply =
      SendBridgeRequest(hostWindow, BRIDGE_GET_NAMED_OBJECTS, browserId, 0, std::string());
  Json::Value entries;
  if (!ParseJsonText(reply, &entries) || !entries.isArray())
    return objects;
  for (const Json::Value& entry : entries) {
    if (!entry.isObject())
      continue;
    std::u16string name = Utf8ToWide(JsonString(JsonMember(entry, "name")));
    CefRefPtr<CefV8Value> value =
        JsonToV8Value(hostWindow, context, browserId, JsonMember(entry, "object"));
    if (value)
      objects[std::move(name)] = value;
  }
  return objects;
}

void RequestReleaseObject(uint32_t hostWindow, int32_t browserId, int32_t objectId) {
  SendBridgeRequest(hostWindow, BRIDGE_RELEASE_OBJECT, browserId, objectId, std::string());
}

CefRefPtr<CefV8Value> RequestGetProperty(uint32_t hostWindow,
                                         CefRefPtr<CefV8Context> context,
                                         int32_t browserId,
                                         int32_t objectId,
                                         const std::string& name) {
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_GET_PROPERTY, name);
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
  if (!AppendV8ValueRecordText(browserId, context, value, kMaxBridgeTextSize, &text, &failure) ||
      !FinishRequestText(&text, &failure)) {
    LogUnwrittenRequest(BRIDGE_SET_PROPERTY, browserId, objectId, name, failure);
    return true;
  }
  RequestValue(hostWindow, context, browserId, objectId, BRIDGE_SET_PROPERTY, text);
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
  if (!AppendArgumentRecords(browserId, context, arguments, false, &text, &failure)) {
    LogUnwrittenRequest(BRIDGE_CALL_METHOD, browserId, objectId, methodName, failure);
    return nullptr;
  }
  text.append(",\"methodName\":");
  AppendJsonString(methodName, &text);
  if (!FinishRequestText(&text, &failure)) {
    LogUnwrittenRequest(BRIDGE_CALL_METHOD, browserId, objectId, methodName, failure);
    return nullptr;
  }
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_METHOD, text);
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
  if (!AppendArgumentRecords(browserId, context, arguments, true, &text, &failure)) {
    LogUnwrittenRequest(BRIDGE_CALL_OTHER_BROWSER_FUNCTION, browserId, objectId, functionName,
                        failure);
    return nullptr;
  }
  text.append(",\"browserId\":");
  AppendJsonInt(browserId, &text);
  text.append(",\"methodName\":");
  AppendJsonString(functionName, &text);
  text.append(",\"objectId\":");
  AppendJsonInt(objectId, &text);
  if (!FinishRequestText(&text, &failure)) {
    LogUnwrittenRequest(BRIDGE_CALL_OTHER_BROWSER_FUNCTION, browserId, objectId, functionName,
                        failure);
    return nullptr;
  }
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_OTHER_BROWSER_FUNCTION,
                      text);
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
