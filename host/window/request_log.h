// Every bridge message the host window received, with the reply it sent:
// what tests and tools inspect. Thread-safe.
#ifndef NUV_HOST_WINDOW_REQUEST_LOG_H_
#define NUV_HOST_WINDOW_REQUEST_LOG_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace nuv {
namespace host {

struct LoggedRequest {
  uintptr_t kind = 0;          // dwData
  uint32_t helper_window = 0;  // wParam: where the reply went
  bool has_ids = false;        // the packet held browser and request id
  int32_t browser_id = 0;
  int32_t request_id = 0;
  int32_t object_id = 0;
  std::string text;                // the request text, up to its terminator
  std::vector<uint8_t> raw;        // the whole packet as received
  bool replied = false;            // a reply was delivered to helper_window
  std::string reply_text;          // the reply's text (without its zero byte)
  std::vector<uint8_t> reply_raw;  // the reply packet as built (sent unless no_reply)
  std::string problem;             // what was wrong, empty when nothing
  // A configured misbehaviour ("noReply, delayMs 200"), empty when none,
  // and what it made of the reply.
  std::string misbehaviour;
  uint64_t reply_kind = 0;       // dwData of the reply
  int32_t reply_browser_id = 0;  // the reply's header (replyTo may change it)
  int32_t reply_request_id = 0;
  uint32_t reply_window = 0;   // where the reply went (replyTo may change it)
  int replies_sent = 0;        // copies delivered (duplicateReply: more than 1)
  bool no_reply = false;       // the reply was withheld on purpose
  bool process_ended = false;  // exitOnRequest: the host window "died" here
  // When the request arrived and when its handling ended (reply sent,
  // withheld or the process "died"), in µs of std::chrono::steady_clock.
  int64_t received_us = 0;
  int64_t answered_us = 0;
};

// Now on the clock of received_us and answered_us.
int64_t RequestClockNowUs();

// Called on the host window's thread for each message as it is logged, while
// the sender still waits for the window to return.
using RequestObserver = std::function<void(const LoggedRequest& entry)>;

class RequestLog {
 public:
  void Add(LoggedRequest entry);
  // Replaces the observer; an empty one removes it.
  void SetObserver(RequestObserver observer);
  std::vector<LoggedRequest> Entries() const;
  // Moves every entry out of the log, oldest first: for readers that keep
  // up with a long run and must not hold every packet of it.
  std::vector<LoggedRequest> Take();
  size_t Count() const;
  // Waits until at least `count` messages are logged; false on timeout.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<LoggedRequest> entries_;
  RequestObserver observer_;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_REQUEST_LOG_H_
