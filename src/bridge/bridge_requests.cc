#include "src/bridge/bridge_requests.h"

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "src/common/text_conv.h"
#include "src/values/json_access.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"

namespace {

Json::Value ArgumentRecords(int32_t browserId,
                            const CefRefPtr<CefV8Context>& context,
                            const CefV8ValueList& arguments,
                            Json::Value records) {
  Json::ArrayIndex index = 0;
  for (const CefRefPtr<CefV8Value>& argument : arguments)
    records[index++] = V8ValueToJson(browserId, context, argument);
  return records;
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
  Json::Value request(Json::objectValue);
  request["propertyName"] = name;
  request["value"] = V8ValueToJson(browserId, context, value);
  RequestValue(hostWindow, context, browserId, objectId, BRIDGE_SET_PROPERTY,
               WriteJsonText(request));
  return true;
}

CefRefPtr<CefV8Value> RequestCallMethod(uint32_t hostWindow,
                                        CefRefPtr<CefV8Context> context,
                                        int32_t browserId,
                                        int32_t objectId,
                                        const std::string& methodName,
                                        const CefV8ValueList& arguments) {
  Json::Value request(Json::objectValue);
  request["arguments"] =
      ArgumentRecords(browserId, context, arguments, Json::Value(Json::arrayValue));
  request["methodName"] = methodName;
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_METHOD,
                      WriteJsonText(request));
}

CefRefPtr<CefV8Value> RequestCallOtherBrowserFunction(uint32_t hostWindow,
                                                      CefRefPtr<CefV8Context> context,
                                                      int32_t browserId,
                                                      int32_t objectId,
                                                      const std::string& functionName,
                                                      const CefV8ValueList& arguments) {
  Json::Value request(Json::objectValue);
  request["arguments"] = ArgumentRecords(browserId, context, arguments, Json::Value());
  request["browserId"] = browserId;
  request["methodName"] = functionName;
  request["objectId"] = objectId;
  return RequestValue(hostWindow, context, browserId, objectId, BRIDGE_CALL_OTHER_BROWSER_FUNCTION,
                      WriteJsonText(request));
}

CefV8ValueList JsonArrayTextToV8ValueList(uint32_t hostWindow,
                                          CefRefPtr<CefV8Context> context,
                                          int32_t browserId,
                                          const std::string& text) {
  Json::Value records;
  if (!ParseJsonText(text, &records))
    return CefV8ValueList();
  return JsonArrayToV8ValueList(hostWindow, context, browserId, records);
}
