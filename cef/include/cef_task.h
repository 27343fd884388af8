// Tasks posted to a thread. In a render process only the render thread
// exists for them: a task posted there runs when the render loop is next
// idle, after the callback that posted it has returned.
#ifndef CEF_INCLUDE_CEF_TASK_H_
#define CEF_INCLUDE_CEF_TASK_H_
#pragma once

#include "include/cef_base.h"
#include "include/internal/cef_types.h"

typedef cef_thread_id_t CefThreadId;

class CefTask : public virtual CefBase {
 public:
  virtual void Execute() = 0;
};

class CefTaskRunner : public virtual CefBase {};

// True when called on the thread |threadId| names.
bool CefCurrentlyOn(CefThreadId threadId);

// Queues |task| for the thread |threadId|; false when that thread does not
// exist in this process or cannot take tasks from the caller.
bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task);

#endif  // CEF_INCLUDE_CEF_TASK_H_
