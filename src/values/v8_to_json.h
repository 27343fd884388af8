// Page value to wire: turns a page value into its value record (and the
// record's compact JSON text). Page functions are filed in the browser's
// callback registry and sent as their identifier; host object proxies are
// sent back as their host object identifier.
#ifndef NUV_SRC_VALUES_V8_TO_JSON_H_
#define NUV_SRC_VALUES_V8_TO_JSON_H_

#include <cstdint>
#include <string>

#include <json/value.h>

#include "include/cef_v8.h"

// Never fails: an empty reference encodes as "NuvValueNull", a value of no
// known kind (a plain page object, an array nested deeper than
// kMaxArrayNesting or containing itself) as "NuvValueUnknown". Must run on
// the render thread; `context` is entered for the conversion when it is not
// the current one.
Json::Value V8ValueToJson(int32_t browserId,
                          CefRefPtr<CefV8Context> context,
                          CefRefPtr<CefV8Value> value);

// The record of V8ValueToJson as compact JSON text ending in a line feed.
std::string V8ValueToJsonText(int32_t browserId,
                              CefRefPtr<CefV8Context> context,
                              CefRefPtr<CefV8Value> value);

#endif  // NUV_SRC_VALUES_V8_TO_JSON_H_
