#include "cef/runtime/task_queue.h"

#include <cstdio>
#include <deque>
#include <utility>

#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_recursion.h"
#include "include/cef_task.h"

namespace cefrt {
namespace {

// Tasks are posted and run on the render thread only, so the queue needs no
// lock; a post from any other thread is refused.
std::deque<CefRefPtr<CefTask>>& Queue() {
  static std::deque<CefRefPtr<CefTask>>* queue = new std::deque<CefRefPtr<CefTask>>;
  return *queue;
}

bool OnRenderThread() {
  return internal::CurrentIsolate() != nullptr;
}

// More than this many tasks in one idle turn means a task keeps posting
// itself; the rest wait for the next turn.
constexpr size_t kMaxTasksPerTurn = 10000;

}  // namespace

size_t RunPendingTasks() {
  if (!OnRenderThread())
    return 0;
  size_t ran = 0;
  std::deque<CefRefPtr<CefTask>>& queue = Queue();
  while (!queue.empty() && ran < kMaxTasksPerTurn) {
    CefRefPtr<CefTask> task = std::move(queue.front());
    queue.pop_front();
    ++ran;
    try {
      task->Execute();
    } catch (...) {
      std::fprintf(stderr, "[cef] a posted task failed with an exception; it was dropped\n");
    }
    // The end of a task: what its script queued runs now.
    internal::MicrotaskCheckpoint();
  }
  return ran;
}

void DropPendingTasks() {
  Queue().clear();
}

}  // namespace cefrt

bool CefCurrentlyOn(CefThreadId threadId) {
  return threadId == TID_RENDERER && cefrt::OnRenderThread();
}

bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task) {
  if (!task || threadId != TID_RENDERER || !CefCurrentlyOn(TID_RENDERER))
    return false;
  cefrt::Queue().push_back(task);
  return true;
}
