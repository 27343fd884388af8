// CefMainArgs: what the process entry point hands to CefExecuteProcess.
// On Windows it is the module instance, elsewhere argc/argv, as in CEF.
#ifndef CEF_INCLUDE_INTERNAL_CEF_MAIN_ARGS_H_
#define CEF_INCLUDE_INTERNAL_CEF_MAIN_ARGS_H_
#pragma once

#if defined(_WIN32)
#include <windows.h>

typedef struct _cef_main_args_t {
  HINSTANCE instance;
} cef_main_args_t;

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() : cef_main_args_t() {}
  explicit CefMainArgs(const cef_main_args_t& r) : cef_main_args_t(r) {}
  explicit CefMainArgs(HINSTANCE hInstance) : cef_main_args_t() { instance = hInstance; }
};
#else
typedef struct _cef_main_args_t {
  int argc;
  char** argv;
} cef_main_args_t;

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() : cef_main_args_t() {}
  explicit CefMainArgs(const cef_main_args_t& r) : cef_main_args_t(r) {}
  CefMainArgs(int argc_arg, char** argv_arg) : cef_main_args_t() {
    argc = argc_arg;
    argv = argv_arg;
  }
};
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_MAIN_ARGS_H_
