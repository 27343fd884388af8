// How a thread of the IPC waits for its socket. The render loop and the
// client must keep dispatching messages sent to the windows their thread
// owns while they wait (bridge replies and requests), so every wait goes
// through WaitForInput, which is the message-window layer's WaitAndDispatch
// when that layer is linked, and a plain poll() otherwise. Tests may replace
// the function.
#ifndef CEF_IPC_IDLE_WAIT_H_
#define CEF_IPC_IDLE_WAIT_H_

namespace cefipc {

enum class WaitResult { kReadable, kTimeout, kError };

// Waits until `fd` is readable (fd < 0: only waits) or `timeout_ms` passes
// (< 0: no limit), dispatching this thread's window messages if possible.
using IdleWaitFunction = WaitResult (*)(int fd, int timeout_ms);

WaitResult WaitForInput(int fd, int timeout_ms);

// Replaces the wait; nullptr restores the default. Not thread-safe: call it
// before any IPC thread runs.
void SetIdleWaitFunction(IdleWaitFunction wait);

// The plain poll() wait, dispatching nothing.
WaitResult PollWait(int fd, int timeout_ms);

// Runs `hook(context)` on this thread right before it blocks in a
// synchronous copy-data send of the message-window layer (a bridge
// request), so that output held back by the caller leaves first. Does
// nothing when that layer is not linked. nullptr removes the hook.
void SetBlockingSendHook(void (*hook)(void* context), void* context);

// Whether the default wait dispatches message windows (the message-window
// layer was linked in).
bool DefaultWaitDispatchesWindows();

}  // namespace cefipc

#endif  // CEF_IPC_IDLE_WAIT_H_
