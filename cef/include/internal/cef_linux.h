// CefMainArgs on POSIX: argc/argv of the process, as the entry point got them.
// Reached through include/cef_base.h, as in CEF.
#ifndef CEF_INCLUDE_INTERNAL_CEF_LINUX_H_
#define CEF_INCLUDE_INTERNAL_CEF_LINUX_H_
#pragma once

#include "include/internal/cef_types_linux.h"

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() : cef_main_args_t() {}
  explicit CefMainArgs(const cef_main_args_t& r) : cef_main_args_t(r) {}
  CefMainArgs(int argc_arg, char** argv_arg) : cef_main_args_t() {
    argc = argc_arg;
    argv = argv_arg;
  }
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_LINUX_H_
