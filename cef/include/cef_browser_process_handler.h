// Browser-process callbacks. Never used in a render process.
#ifndef CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_
#define CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_
#pragma once

#include "include/cef_base.h"

class CefBrowserProcessHandler : public virtual CefBase {};

#endif  // CEF_INCLUDE_CEF_BROWSER_PROCESS_HANDLER_H_
