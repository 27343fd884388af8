// Log lines about bridge requests. Every line names the request (kind,
// browser, request id, object, name) so that an operator can match it with
// the client's side. Failures of single requests can repeat with every call
// a page makes, so they are debug lines.
#ifndef NUV_SRC_BRIDGE_BRIDGE_DIAGNOSTICS_H_
#define NUV_SRC_BRIDGE_BRIDGE_DIAGNOSTICS_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/delayed_call.h"

struct NuvBridgeRequestInfo {
  uint32_t kind = 0;
  int32_t browserId = 0;
  int32_t requestId = 0;  // 0 while no number has been taken
  int32_t objectId = 0;
  std::string name;  // UTF-8: the property, method or function; empty for kinds 1 and 2
};

// "kind 3 (BRIDGE_GET_PROPERTY), browser 1, request 7, object 3, name "title""
std::u16string DescribeBridgeRequest(const NuvBridgeRequestInfo& info);

// Debug line "bridge request failed: <request>: <why>". Never throws.
void LogBridgeRequestFailure(const NuvBridgeRequestInfo& info, const char16_t* why) noexcept;

// Makes a request that keeps the render thread waiting visible. Blocking
// without a time limit is the bridge's contract; but once the request has
// waited `thresholdMs`, one line "bridge request still waiting after 5 s:
// <request>" is written from another thread (the render thread is blocked
// in the send), and when the request ends, one more line says after how
// long and whether it was answered. A request that ends in time writes
// nothing. The threshold is a parameter for the tests only; the bridge
// always uses kSlowRequestLogMs.
class CNuvSlowRequestWatch {
 public:
  static constexpr uint32_t kSlowRequestLogMs = 5000;

  explicit CNuvSlowRequestWatch(const NuvBridgeRequestInfo& info,
                                uint32_t thresholdMs = kSlowRequestLogMs);
  // Finish(false) when Finish was not called.
  ~CNuvSlowRequestWatch();
  CNuvSlowRequestWatch(const CNuvSlowRequestWatch&) = delete;
  CNuvSlowRequestWatch& operator=(const CNuvSlowRequestWatch&) = delete;

  // The request has ended; `answered`: the host window returned.
  void Finish(bool answered) noexcept;

 private:
  static void OnThreshold(void* self);

  const NuvBridgeRequestInfo& m_info;
  const uint32_t m_thresholdMs;
  const std::chrono::steady_clock::time_point m_start;
  nuv::platform::DelayedCall m_timer;
  bool m_finished = false;
};

#endif  // NUV_SRC_BRIDGE_BRIDGE_DIAGNOSTICS_H_
