// The synchronous request/reply exchange with the client's host window: a
// numbered request packet is sent to the host window with the browser's
// helper window as the reply address; the client files its reply in the
// helper window (delivered on this thread while the send is blocked) and the
// requester takes it out by (browser id, request id).
#ifndef NUV_SRC_BRIDGE_BRIDGE_TRANSPORT_H_
#define NUV_SRC_BRIDGE_BRIDGE_TRANSPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/message_window.h"
#include "src/bridge/bridge_packet.h"

// The longest request text a copy-data packet carries: the transport takes
// packets of at most kMaxCopyDataSize bytes, header and trailer included.
constexpr size_t kMaxBridgeTextSize =
    nuv::platform::kMaxCopyDataSize - kBridgeHeaderSize - kBridgeRequestTrailerSize;
#include "src/bridge/bridge_diagnostics.h"

// Where the client's reply to a request is filed.
enum class NuvReplyAddress {
  // The browser's helper window, created when it has none.
  kHelperWindow,
  // The browser's helper window only when it exists; none is created, and
  // without one the request goes out with no reply address. For requests
  // whose reply is never read (releases).
  kExistingHelperWindow,
};

// Process-wide request counter: 0 at start, changed only by an atomic
// increment; the first request has id 1.
extern volatile int32_t requestCounter;

// How one exchange went.
struct NuvBridgeExchange {
  NuvBridgeRequestInfo request;  // request id 0: nothing was sent
  bool answered = false;         // the host window took the request and returned
  bool replied = false;          // a reply was filed for it (its text may be empty)
  std::string reply;             // the reply text; empty when none came
};

// Sends one request of `kind` (BRIDGE_GET_NAMED_OBJECTS ..
// BRIDGE_CALL_OTHER_BROWSER_FUNCTION) and waits, without a time limit, for
// the host window to return. Nothing is sent to window 0: the exchange
// fails at once, without a request id being used. Releases deferred from
// the garbage collector go out first. `name` (UTF-8; the property, method
// or function) only serves the log lines: a request that is not answered,
// or answered without a reply, writes a debug line.
NuvBridgeExchange ExchangeBridgeRequest(
    uint32_t hostWindow,
    uint32_t kind,
    int32_t browserId,
    int32_t objectId,
    const std::string& name,
    const std::string& text,
    NuvReplyAddress replyAddress = NuvReplyAddress::kHelperWindow);

// The reply text alone, empty when no reply came.
std::string SendBridgeRequest(uint32_t hostWindow,
                              uint32_t kind,
                              int32_t browserId,
                              int32_t objectId,
                              const std::string& text);

// The reply filed for (browser id, request id) in the browser's helper
// window, removed from the store; empty when none is filed or the browser
// has no helper window (none is created for the look).
std::string TakeReply(int32_t browserId, int32_t requestId);

// Release requests of host object proxies whose last reference went away.
// A proxy may die inside the garbage collector, where calling out to the
// client is not safe, so its release request is queued here and sent at the
// next safe point: before the next bridge request, or when the embedder
// calls FlushDeferredReleases (the application does at the end of each of
// its render-process callbacks). Each queued release is sent exactly once,
// by RequestReleaseObject.
void QueueObjectRelease(uint32_t hostWindow, int32_t browserId, int32_t objectId);
// Sends every queued release; returns how many went out. Does nothing when
// called while a flush is already under way.
size_t FlushDeferredReleases();
size_t GetDeferredReleaseCount();

#endif  // NUV_SRC_BRIDGE_BRIDGE_TRANSPORT_H_
