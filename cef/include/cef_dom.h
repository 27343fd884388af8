// DOM access. Not supported by this runtime: the types exist so signatures match.
#ifndef CEF_INCLUDE_CEF_DOM_H_
#define CEF_INCLUDE_CEF_DOM_H_
#pragma once

#include "include/cef_base.h"

class CefDOMNode : public virtual CefBase {};
class CefDOMVisitor : public virtual CefBase {};

#endif  // CEF_INCLUDE_CEF_DOM_H_
