// Plain enumerations and basic types shared by the CEF interface.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_H_
#pragma once

#include "include/base/cef_basictypes.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_time.h"

// Access control flags of a V8 accessor property.
typedef enum {
  V8_ACCESS_CONTROL_DEFAULT = 0,
  V8_ACCESS_CONTROL_ALL_CAN_READ = 1,
  V8_ACCESS_CONTROL_ALL_CAN_WRITE = 1 << 1,
  V8_ACCESS_CONTROL_PROHIBITS_OVERWRITING = 1 << 2
} cef_v8_accesscontrol_t;

// Attribute flags of a V8 property.
typedef enum {
  V8_PROPERTY_ATTRIBUTE_NONE = 0,             // writable, enumerable, configurable
  V8_PROPERTY_ATTRIBUTE_READONLY = 1 << 0,    // not writable
  V8_PROPERTY_ATTRIBUTE_DONTENUM = 1 << 1,    // not enumerable
  V8_PROPERTY_ATTRIBUTE_DONTDELETE = 1 << 2,  // not configurable
} cef_v8_propertyattribute_t;

// The processes a message can be sent to.
typedef enum {
  PID_BROWSER,
  PID_RENDERER,
} cef_process_id_t;

// Thread identifiers (only TID_RENDERER exists in this runtime).
typedef enum {
  TID_UI,
  TID_DB,
  TID_FILE,
  TID_FILE_USER_BLOCKING,
  TID_PROCESS_LAUNCHER,
  TID_CACHE,
  TID_IO,
  TID_RENDERER,
} cef_thread_id_t;

// Kinds of value held by CefValue, CefListValue and CefDictionaryValue.
typedef enum {
  VTYPE_INVALID = 0,
  VTYPE_NULL,
  VTYPE_BOOL,
  VTYPE_INT,
  VTYPE_DOUBLE,
  VTYPE_STRING,
  VTYPE_BINARY,
  VTYPE_DICTIONARY,
  VTYPE_LIST,
} cef_value_type_t;

// How a navigation was started.
typedef enum {
  NAVIGATION_LINK_CLICKED = 0,
  NAVIGATION_FORM_SUBMITTED,
  NAVIGATION_BACK_FORWARD,
  NAVIGATION_RELOAD,
  NAVIGATION_FORM_RESUBMITTED,
  NAVIGATION_OTHER,
} cef_navigation_type_t;

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_H_
