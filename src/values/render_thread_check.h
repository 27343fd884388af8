// "Render thread only", checked: script values, contexts and the
// per-browser registries have no locks, so the functions that use them
// refuse any other thread (see src/common/contract_check.h for how a
// refusal shows). The render thread is where the runtime says it is
// (CefCurrentlyOn(TID_RENDERER)), as CEF's own code asks.
#ifndef NUV_SRC_VALUES_RENDER_THREAD_CHECK_H_
#define NUV_SRC_VALUES_RENDER_THREAD_CHECK_H_

#include "include/cef_task.h"
#include "src/common/contract_check.h"

#define NUV_WRONG_THREAD_TEXT "called on invalid thread (not the render thread)"

// Whether the caller runs on the render thread; reports the calling
// function when it does not.
#define NUV_ON_RENDER_THREAD() \
  NuvCheckContract(CefCurrentlyOn(TID_RENDERER), __func__, NUV_WRONG_THREAD_TEXT)

// Returns `failure` from the calling function off the render thread.
#define NUV_REQUIRE_RENDER_THREAD_RETURN(failure) \
  NUV_REQUIRE_RETURN(CefCurrentlyOn(TID_RENDERER), NUV_WRONG_THREAD_TEXT, failure)

#endif  // NUV_SRC_VALUES_RENDER_THREAD_CHECK_H_
