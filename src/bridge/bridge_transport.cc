#include "src/bridge/bridge_transport.h"

#include <limits>
#include <vector>

#include "include/cef_task.h"
#include "platform/atomic.h"
#include "platform/message_window.h"
#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/helper_window.h"
#include "src/common/format_text.h"
#include "src/common/process_global.h"
#include "src/common/sync_object.h"

volatile int32_t requestCounter = 0;

namespace {

struct DeferredRelease {
  uint32_t hostWindow;
  int32_t browserId;
  int32_t objectId;
};

struct DeferredReleaseQueue {
  CNuvCriticalSectionObject lock;
  std::vector<DeferredRelease> pending;
  // A flush task is queued on the render thread and has not run yet.
  bool flushPosted = false;
};

DeferredReleaseQueue& Releases() {
  static DeferredReleaseQueue* queue = new DeferredReleaseQueue;
  return *queue;
}

thread_local bool t_flushing = false;

// Sends the queued releases once the render thread is idle again, so that a
// proxy collected by a bare garbage collection is released without waiting
// for the next page activity.
class CNuvReleaseFlushTask : public CefTask {
 public:
  void Execute() override {
    {
      DeferredReleaseQueue& queue = Releases();
      CNuvAutoLock hold(queue.lock);
      queue.flushPosted = false;
    }
    FlushDeferredReleases();
  }

 private:
  IMPLEMENT_REFCOUNTING(CNuvReleaseFlushTask);
};

// One exchange. `window` is the reply address; it is held for the whole
// exchange so that destroying the browser's helper window meanwhile frees
// nothing still in use (the reply is then simply gone).
void Exchange(uint32_t hostWindow,
              const std::string& text,
              const CNuvHelperWindowRef& window,
              NuvBridgeExchange* exchange) {
  const NuvBridgeRequestInfo& request = exchange->request;
  std::vector<uint8_t> packet =
      BuildRequestPacket(request.browserId, request.requestId, request.objectId, text);
  if (packet.size() > std::numeric_limits<uint32_t>::max()) {
    LogBridgeRequestFailure(request, u"the request is too large to send");
    return;
  }
  nuv::platform::CopyData data;
  data.dwData = request.kind;
  data.cbData = static_cast<uint32_t>(packet.size());
  data.lpData = packet.data();
  intptr_t result = 0;
  const nuv::platform::WindowHandle replyTo = window ? window->GetWindowHandle() : 0;
  {
    CNuvSlowRequestWatch watch(request);
    exchange->answered = nuv::platform::SendCopyData(hostWindow, replyTo, data, &result);
    watch.Finish(exchange->answered);
  }
  if (window)
    exchange->replied =
        window->TakeStoredReply(request.browserId, request.requestId, &exchange->reply);
  if (!exchange->answered) {
    const std::u16string why = u"the host window " + DecimalText(hostWindow) +
                               u" did not take it (not a window, gone, or the request was refused)";
    LogBridgeRequestFailure(request, why.c_str());
  } else if (!exchange->replied && request.kind != BRIDGE_RELEASE_OBJECT) {
    // (The reply to a release is never read, so its absence harms nothing.)
    LogBridgeRequestFailure(request, replyTo ? u"the host window returned without a reply"
                                             : u"there is no helper window to receive the reply");
  }
}

}  // namespace

NuvBridgeExchange ExchangeBridgeRequest(uint32_t hostWindow,
                                        uint32_t kind,
                                        int32_t browserId,
                                        int32_t objectId,
                                        const std::string& name,
                                        const std::string& text,
                                        NuvReplyAddress replyAddress) {
  NuvBridgeExchange exchange;
  exchange.request.kind = kind;
  exchange.request.browserId = browserId;
  exchange.request.objectId = objectId;
  exchange.request.name = name;
  if (!hostWindow) {
    LogBridgeRequestFailure(exchange.request, u"not sent: there is no host window");
    return exchange;
  }
  FlushDeferredReleases();
  exchange.request.requestId = nuv::platform::AtomicIncrement(&requestCounter);
  CNuvHelperWindowRef window = replyAddress == NuvReplyAddress::kHelperWindow
                                   ? GetHelperWindow(browserId)
                                   : FindHelperWindow(browserId);
  Exchange(hostWindow, text, window, &exchange);
  return exchange;
}

std::string SendBridgeRequest(uint32_t hostWindow,
                              uint32_t kind,
                              int32_t browserId,
                              int32_t objectId,
                              const std::string& text) {
  return ExchangeBridgeRequest(hostWindow, kind, browserId, objectId, std::string(), text).reply;
}

std::string TakeReply(int32_t browserId, int32_t requestId) {
  std::string reply;
  // Looking for a reply never makes a helper window for the browser.
  if (CNuvHelperWindowRef window = FindHelperWindow(browserId))
    window->TakeStoredReply(browserId, requestId, &reply);
  return reply;
}

void QueueObjectRelease(uint32_t hostWindow, int32_t browserId, int32_t objectId) {
  if (!hostWindow)
    return;
  DeferredReleaseQueue& queue = Releases();
  bool postFlush = false;
  {
    CNuvAutoLock hold(queue.lock);
    queue.pending.push_back(DeferredRelease{hostWindow, browserId, objectId});
    postFlush = !queue.flushPosted;
    queue.flushPosted = true;
  }
  // Off the render thread (or without a task queue) the release waits for
  // the next bridge request or render-process callback instead.
  if (postFlush && !CefPostTask(TID_RENDERER, new CNuvReleaseFlushTask())) {
    CNuvAutoLock hold(queue.lock);
    queue.flushPosted = false;
  }
}

size_t FlushDeferredReleases() {
  if (t_flushing)
    return 0;
  struct FlushingMark {
    FlushingMark() { t_flushing = true; }
    ~FlushingMark() { t_flushing = false; }
  } mark;
  size_t sent = 0;
  for (;;) {
    std::vector<DeferredRelease> batch;
    {
      DeferredReleaseQueue& queue = Releases();
      CNuvAutoLock hold(queue.lock);
      batch.swap(queue.pending);
    }
    if (batch.empty())
      break;
    for (const DeferredRelease& release : batch) {
      RequestReleaseObject(release.hostWindow, release.browserId, release.objectId);
      ++sent;
    }
  }
  return sent;
}

size_t GetDeferredReleaseCount() {
  DeferredReleaseQueue& queue = Releases();
  CNuvAutoLock hold(queue.lock);
  return queue.pending.size();
}
