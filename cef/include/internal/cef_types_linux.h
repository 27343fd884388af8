// The POSIX form of the C structures whose contents differ per platform.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_
#pragma once

// What the process entry point hands to CefExecuteProcess.
typedef struct _cef_main_args_t {
  int argc;
  char** argv;
} cef_main_args_t;

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_LINUX_H_
