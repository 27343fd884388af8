// Network requests. Not supported by this runtime: the type exists so signatures match.
#ifndef CEF_INCLUDE_CEF_REQUEST_H_
#define CEF_INCLUDE_CEF_REQUEST_H_
#pragma once

#include "include/cef_base.h"

class CefRequest : public virtual CefBase {};

#endif  // CEF_INCLUDE_CEF_REQUEST_H_
