// A call made once, after a delay, on a thread other than the caller's: the
// process's timer queue on Windows (CreateTimerQueueTimer), one shared
// worker thread on POSIX. For work that must be done while the thread that
// armed it is blocked, such as noting in the log that it has been waiting
// too long. Callbacks of all delayed calls of the process run one at a time
// on POSIX; on Windows possibly side by side, so they must not share state
// without a lock.
#ifndef NUV_PLATFORM_DELAYED_CALL_H_
#define NUV_PLATFORM_DELAYED_CALL_H_

#include <cstdint>
#include <memory>

namespace nuv {
namespace platform {

class DelayedCall {
 public:
  using Callback = void (*)(void* context);

  DelayedCall();
  // Cancels (see Cancel).
  ~DelayedCall();
  DelayedCall(const DelayedCall&) = delete;
  DelayedCall& operator=(const DelayedCall&) = delete;

  // Arms the call: `callback(context)` runs once, `delay_ms` from now,
  // unless it is cancelled first. False when it cannot be armed (no timer
  // or thread could be had, or it is armed already); it then never runs.
  bool Start(uint32_t delay_ms, Callback callback, void* context);

  // Once this returns the callback is not running and never will; a
  // callback that is running is waited for. Returns whether it ran. Never
  // call it from the callback itself.
  bool Cancel();

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_DELAYED_CALL_H_
