#include "host/window/request_log.h"

#include <chrono>
#include <utility>

namespace nuv {
namespace host {

int64_t RequestClockNowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RequestLog::Add(LoggedRequest entry) {
  RequestObserver observer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    observer = observer_;
    entries_.push_back(entry);
  }
  changed_.notify_all();
  if (observer)
    observer(entry);
}

void RequestLog::SetObserver(RequestObserver observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  observer_ = std::move(observer);
}

std::vector<LoggedRequest> RequestLog::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

std::vector<LoggedRequest> RequestLog::Take() {
  std::vector<LoggedRequest> taken;
  std::lock_guard<std::mutex> lock(mutex_);
  taken.swap(entries_);
  return taken;
}

size_t RequestLog::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

bool RequestLog::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return entries_.size() >= count; });
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

}  // namespace host
}  // namespace nuv
