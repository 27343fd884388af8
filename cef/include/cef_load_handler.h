// Load notifications. Not supported by this runtime: the type exists so signatures match.
#ifndef CEF_INCLUDE_CEF_LOAD_HANDLER_H_
#define CEF_INCLUDE_CEF_LOAD_HANDLER_H_
#pragma once

#include "include/cef_base.h"

class CefLoadHandler : public virtual CefBase {};

#endif  // CEF_INCLUDE_CEF_LOAD_HANDLER_H_
