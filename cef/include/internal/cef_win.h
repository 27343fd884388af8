// CefMainArgs on Windows: the module instance of the process. Reached through
// include/cef_base.h, as in CEF.
#ifndef CEF_INCLUDE_INTERNAL_CEF_WIN_H_
#define CEF_INCLUDE_INTERNAL_CEF_WIN_H_
#pragma once

#include "include/internal/cef_types_win.h"

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() : cef_main_args_t() {}
  explicit CefMainArgs(const cef_main_args_t& r) : cef_main_args_t(r) {}
  explicit CefMainArgs(HINSTANCE hInstance) : cef_main_args_t() { instance = hInstance; }
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_WIN_H_
