// One worker thread per process runs the callbacks of every delayed call in
// deadline order. It is started by the first Start and never ends. It
// sleeps until the earliest deadline it knows of, and is woken only when a
// call is armed with an earlier one: a call cancelled before it is due
// leaves the worker's wake-up time alone, so a stream of calls armed and
// cancelled in turn (the bridge's requests) wakes it about once per delay
// instead of once per call. A forked child starts afresh without the
// parent's calls.
#include "platform/delayed_call.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace nuv {
namespace platform {

using Clock = std::chrono::steady_clock;

struct DelayedCall::Impl {
  enum class State { kPending, kRunning, kDone, kCancelled };
  using Queue = std::multimap<Clock::time_point, std::shared_ptr<Impl>>;
  Callback callback = nullptr;
  void* context = nullptr;
  // Guarded by the worker's lock.
  State state = State::kPending;
  Clock::time_point deadline;
  Queue::iterator where;  // the entry's place in the queue while pending
};

namespace {

using Entry = std::shared_ptr<DelayedCall::Impl>;
using State = DelayedCall::Impl::State;
using Queue = DelayedCall::Impl::Queue;

class Worker {
 public:
  bool Add(const Entry& entry) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!started_ && !StartThread())
      return false;
    entry->where = pending_.emplace(entry->deadline, entry);
    if (entry->deadline < wake_at_)
      wake_.notify_one();
    return true;
  }

  // Removes a pending entry, or waits until a running one has returned.
  bool Cancel(const Entry& entry) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (entry->state == State::kPending) {
      pending_.erase(entry->where);
      entry->state = State::kCancelled;
      return false;
    }
    done_.wait(hold, [&] { return entry->state != State::kRunning; });
    return entry->state == State::kDone;
  }

  void ForkPrepare() { mutex_.lock(); }
  void ForkParent() { mutex_.unlock(); }
  // The worker thread does not exist in the child: drop the parent's calls
  // (they belong to threads that do not exist either).
  void ForkChild() {
    for (auto& pending : pending_)
      pending.second->state = State::kCancelled;
    pending_.clear();
    started_ = false;
    wake_at_ = Clock::time_point::max();
    mutex_.unlock();
  }

 private:
  bool StartThread() {
    try {
      std::thread([this] { Run(); }).detach();
    } catch (...) {
      return false;
    }
    started_ = true;
    return true;
  }

  void Run() {
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
      if (pending_.empty()) {
        wake_at_ = Clock::time_point::max();
        wake_.wait(hold);
        continue;
      }
      auto first = pending_.begin();
      if (Clock::now() < first->first) {
        wake_at_ = first->first;
        wake_.wait_until(hold, wake_at_);
        continue;
      }
      Entry entry = first->second;
      pending_.erase(first);
      entry->state = State::kRunning;
      hold.unlock();
      entry->callback(entry->context);
      hold.lock();
      entry->state = State::kDone;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Queue pending_;
  // When the worker wakes by itself; an earlier deadline must wake it.
  Clock::time_point wake_at_ = Clock::time_point::max();
  bool started_ = false;
};

// Never destroyed: its thread may outlive every static destructor.
Worker& TheWorker() {
  static Worker* worker = [] {
    auto* created = new Worker;
    pthread_atfork([] { TheWorker().ForkPrepare(); }, [] { TheWorker().ForkParent(); },
                   [] { TheWorker().ForkChild(); });
    return created;
  }();
  return *worker;
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
    Entry entry = std::make_shared<Impl>();
    entry->callback = callback;
    entry->context = context;
    entry->deadline = Clock::now() + std::chrono::milliseconds(delay_ms);
    if (!TheWorker().Add(entry))
      return false;
    impl_ = std::move(entry);
    return true;
  } catch (...) {
    return false;
  }
}

bool DelayedCall::Cancel() {
  if (!impl_)
    return false;
  Entry entry = std::move(impl_);
  return TheWorker().Cancel(entry);
}

}  // namespace platform
}  // namespace nuv
