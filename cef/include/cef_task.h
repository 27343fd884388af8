// Task runners. This runtime runs everything on the render thread and offers none.
#ifndef CEF_INCLUDE_CEF_TASK_H_
#define CEF_INCLUDE_CEF_TASK_H_
#pragma once

#include "include/cef_base.h"

class CefTaskRunner : public virtual CefBase {};

#endif  // CEF_INCLUDE_CEF_TASK_H_
