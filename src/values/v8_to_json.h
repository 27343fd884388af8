// Page value to wire: turns a page value into its value record (and the
// record's compact JSON text). Page functions are filed in the browser's
// callback registry and sent as their identifier; host object proxies are
// sent back as their host object identifier.
#ifndef NUV_SRC_VALUES_V8_TO_JSON_H_
#define NUV_SRC_VALUES_V8_TO_JSON_H_

#include <cstdint>
#include <string>
#include <vector>

#include <json/value.h>

#include "include/cef_v8.h"
#include "src/values/encode_limit.h"

// An empty reference encodes as "NuvValueNull", a value of no known kind (a
// plain page object, an array nested deeper than kMaxArrayNesting or
// containing itself) as "NuvValueUnknown". A value whose record text would
// pass kMaxRecordTextSize bytes, or whose encoding runs out of memory, gives
// JSON null. Render thread only: elsewhere every form fails (JSON null,
// empty text, false with an error). `context` is entered for the conversion
// when it is not the current one.
Json::Value V8ValueToJson(int32_t browserId,
                          CefRefPtr<CefV8Context> context,
                          CefRefPtr<CefV8Value> value);

// The record of V8ValueToJson as compact JSON text ending in a line feed;
// empty where V8ValueToJson gives null for a value too large.
std::string V8ValueToJsonText(int32_t browserId,
                              CefRefPtr<CefV8Context> context,
                              CefRefPtr<CefV8Value> value);

// Appends the compact record text of `value` (no line feed) to *out and
// stops as soon as *out would pass `limit` bytes: the work done is bounded by
// the limit, whatever the value (a sparse array of length 2^31 - 1 fails at
// once). False, with *out as it was and *failure (optional) saying why,
// when the text does not fit or an allocation fails; page functions the
// failed walk filed in the callback registry are taken out again (their
// identifiers never reach the client). On success the identifiers of the
// functions filed are added to *filedCallbacks (optional), for a caller
// that may still drop the text.
bool AppendV8ValueRecordText(int32_t browserId,
                             CefRefPtr<CefV8Context> context,
                             CefRefPtr<CefV8Value> value,
                             size_t limit,
                             std::string* out,
                             NuvEncodeFailure* failure,
                             std::vector<int32_t>* filedCallbacks = nullptr);

// The record text with its line feed in *text, at most `limit` bytes in
// all; false (and *text empty) as AppendV8ValueRecordText.
bool V8ValueToJsonTextWithin(int32_t browserId,
                             CefRefPtr<CefV8Context> context,
                             CefRefPtr<CefV8Value> value,
                             size_t limit,
                             std::string* text,
                             NuvEncodeFailure* failure);

#endif  // NUV_SRC_VALUES_V8_TO_JSON_H_
