// The render thread's task queue behind CefPostTask(TID_RENDERER, ...): the
// render loop runs the queued tasks whenever it is idle, so work that must
// not happen where it was started (calling out to the client from inside the
// garbage collector, say) runs at a safe point soon after.
#ifndef CEF_RUNTIME_TASK_QUEUE_H_
#define CEF_RUNTIME_TASK_QUEUE_H_

#include <cstddef>

namespace cefrt {

// Runs every queued task in posting order, including tasks those tasks post,
// up to a bound that keeps a task re-posting itself from starving the loop.
// Returns how many ran. Only on the render thread.
size_t RunPendingTasks();

// Drops queued tasks without running them (the runtime is going away).
void DropPendingTasks();

}  // namespace cefrt

#endif  // CEF_RUNTIME_TASK_QUEUE_H_
