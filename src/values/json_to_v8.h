// Wire to page value: builds page values from value records in a given
// script context. Host object records become host object proxies, foreign
// function records become function proxies, and callback records give back
// the page function that was registered under their identifier.
#ifndef NUV_SRC_VALUES_JSON_TO_V8_H_
#define NUV_SRC_VALUES_JSON_TO_V8_H_

#include <cstdint>
#include <string>

#include <json/value.h>

#include "include/cef_v8.h"

// `hostWindow` is the client's message window that the proxies made here
// send their requests to; `browserId` the browser the proxies belong to.
// Never empty while a context is usable: records that match no tag, and
// records that are not an object, an array or null, give null. Members of
// the wrong JSON type read as missing. Arrays nested deeper than
// kMaxArrayNesting give undefined.
CefRefPtr<CefV8Value> JsonToV8Value(uint32_t hostWindow,
                                    CefRefPtr<CefV8Context> context,
                                    int32_t browserId,
                                    const Json::Value& record);

// One page value per element of a JSON array, in order; an empty list for
// anything that is not an array.
CefV8ValueList JsonArrayToV8ValueList(uint32_t hostWindow,
                                      CefRefPtr<CefV8Context> context,
                                      int32_t browserId,
                                      const Json::Value& records);

// Parses `text` and decodes the record; an empty reference when the text is
// not JSON.
CefRefPtr<CefV8Value> JsonTextToV8Value(uint32_t hostWindow,
                                        CefRefPtr<CefV8Context> context,
                                        int32_t browserId,
                                        const std::string& text);

// The two ways JsonTextToV8Value takes, also held against each other by the
// tests: the quick reader of the compact form (an empty reference when it
// declines the text; it declines every record that makes a proxy or refers
// to a function, so declining never leaves anything behind), and
// Json::Reader followed by JsonToV8Value.
CefRefPtr<CefV8Value> CanonicalTextToV8Value(CefRefPtr<CefV8Context> context,
                                             const std::string& text);
// The quick reader's way for an argument list: one page value per element
// of the text's root array (none when the root is not an array). False,
// with nothing made, when the reader declines the text.
bool CanonicalArrayTextToV8ValueList(CefRefPtr<CefV8Context> context,
                                     const std::string& text,
                                     CefV8ValueList* list);
CefRefPtr<CefV8Value> ReaderTextToV8Value(uint32_t hostWindow,
                                          CefRefPtr<CefV8Context> context,
                                          int32_t browserId,
                                          const std::string& text);

#endif  // NUV_SRC_VALUES_JSON_TO_V8_H_
