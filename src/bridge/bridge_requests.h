// The six bridge requests: what each sends to the client's host window and
// how its reply becomes a result. No request reports a failure: an empty,
// late or unparsable reply reads as the absence of a value.
#ifndef NUV_SRC_BRIDGE_BRIDGE_REQUESTS_H_
#define NUV_SRC_BRIDGE_BRIDGE_REQUESTS_H_

#include <cstdint>
#include <map>
#include <string>

#include "include/cef_v8.h"

using NuvNamedObjects = std::map<std::u16string, CefRefPtr<CefV8Value>>;

// Kind 1: the host objects that the browser's pages see, by name. An empty
// map when the request fails or the reply is not a JSON array; entries that
// are not objects or decode to nothing are left out; a later entry
// replaces an earlier one of the same name.
NuvNamedObjects RequestNamedObjects(uint32_t hostWindow,
                                    CefRefPtr<CefV8Context> context,
                                    int32_t browserId);

// Kind 2: tells the client that the page holds the host object no more.
// The reply is never read, so the browser's helper window is the reply
// address only when it still exists (its pages may have gone before the
// proxy was collected): none is created for a release. Never throws: a
// release that cannot even be built (out of memory) is logged and dropped.
// The deferred releases of bridge_transport.h go out through here.
void RequestReleaseObject(uint32_t hostWindow, int32_t browserId, int32_t objectId);

// Kind 3: the value of a host object property; the text is the raw UTF-8
// name. Null when the reply does not parse.
CefRefPtr<CefV8Value> RequestGetProperty(uint32_t hostWindow,
                                         CefRefPtr<CefV8Context> context,
                                         int32_t browserId,
                                         int32_t objectId,
                                         const std::string& name);

// Kind 4: writes a host object property ({"propertyName","value"}). True
// whatever the reply.
bool RequestSetProperty(uint32_t hostWindow,
                        CefRefPtr<CefV8Context> context,
                        int32_t browserId,
                        int32_t objectId,
                        const std::string& name,
                        CefRefPtr<CefV8Value> value);

// Kind 5: calls a host object method ({"arguments","methodName"}; the
// arguments are [] when there are none). Null when the reply does not parse.
CefRefPtr<CefV8Value> RequestCallMethod(uint32_t hostWindow,
                                        CefRefPtr<CefV8Context> context,
                                        int32_t browserId,
                                        int32_t objectId,
                                        const std::string& methodName,
                                        const CefV8ValueList& arguments);

// Kind 6: calls a function that lives in the page of browser `browserId`
// ({"arguments","browserId","methodName","objectId"}; the arguments are
// null when there are none). Null when the reply does not parse.
CefRefPtr<CefV8Value> RequestCallOtherBrowserFunction(uint32_t hostWindow,
                                                      CefRefPtr<CefV8Context> context,
                                                      int32_t browserId,
                                                      int32_t objectId,
                                                      const std::string& functionName,
                                                      const CefV8ValueList& arguments);

// Decodes an argument list sent as JSON text; an empty list when the text
// does not parse or is not an array.
CefV8ValueList JsonArrayTextToV8ValueList(uint32_t hostWindow,
                                          CefRefPtr<CefV8Context> context,
                                          int32_t browserId,
                                          const std::string& text);

// For the catch handler of a proxy's script callback: logs that the request
// of `kind` (BRIDGE_GET_PROPERTY ...) about object `objectId` of browser
// `browserId` failed with the exception being handled (an allocation that
// failed, typically). Never throws; the page then reads undefined.
void LogFailedBridgeCall(uint32_t kind, int32_t browserId, int32_t objectId, const CefString& name);

#endif  // NUV_SRC_BRIDGE_BRIDGE_REQUESTS_H_
