// The Windows form of the C structures whose contents differ per platform.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_WIN_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_WIN_H_
#pragma once

#include <windows.h>

// What the process entry point hands to CefExecuteProcess.
typedef struct _cef_main_args_t {
  HINSTANCE instance;
} cef_main_args_t;

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_WIN_H_
