// Delayed calls on the process's default timer queue: the system runs each
// callback on one of its pool threads.
#include "platform/delayed_call.h"

#include <windows.h>

#include <atomic>
#include <chrono>

namespace nuv {
namespace platform {

struct DelayedCall::Impl {
  Callback callback = nullptr;
  void* context = nullptr;
  HANDLE timer = nullptr;
  std::atomic<bool> ran{false};
  // When the call is due by the steady clock: the timer queue counts in
  // system ticks and may fire a fraction of a tick before it.
  std::chrono::steady_clock::time_point due;
};

namespace {

VOID CALLBACK RunDelayedCall(PVOID parameter, BOOLEAN /*timer_fired*/) {
  auto* impl = static_cast<DelayedCall::Impl*>(parameter);
  // Never sooner than asked: wait out what is left of a fired-early tick.
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      impl->due - std::chrono::steady_clock::now() + std::chrono::microseconds(999));
  if (left.count() > 0)
    Sleep(static_cast<DWORD>(left.count()));
  impl->ran.store(true);
  impl->callback(impl->context);
}

}  // namespace

DelayedCall::DelayedCall() = default;

DelayedCall::~DelayedCall() {
  Cancel();
}

bool DelayedCall::Start(uint32_t delay_ms, Callback callback, void* context) {
  if (impl_ || !callback)
    return false;
  try {
    auto impl = std::make_shared<Impl>();
    impl->callback = callback;
    impl->context = context;
    impl->due = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
    if (!CreateTimerQueueTimer(&impl->timer, nullptr, &RunDelayedCall, impl.get(), delay_ms, 0,
                               WT_EXECUTEONLYONCE))
      return false;
    impl_ = std::move(impl);
    return true;
  } catch (...) {
    return false;
  }
}

bool DelayedCall::Cancel() {
  if (!impl_)
    return false;
  std::shared_ptr<Impl> impl = std::move(impl_);
  // INVALID_HANDLE_VALUE: returns only once a running callback has ended.
  while (!DeleteTimerQueueTimer(nullptr, impl->timer, INVALID_HANDLE_VALUE) &&
         GetLastError() == ERROR_IO_PENDING) {
  }
  return impl->ran.load();
}

}  // namespace platform
}  // namespace nuv
