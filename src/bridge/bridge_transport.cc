#include "src/bridge/bridge_transport.h"

#include <limits>
#include <vector>

#include "include/cef_task.h"
#include "platform/atomic.h"
#include "platform/message_window.h"
#include "src/bridge/bridge_packet.h"
#include "src/bridge/helper_window.h"
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
std::string Exchange(uint32_t hostWindow,
                     uint32_t kind,
                     int32_t browserId,
                     int32_t objectId,
                     const std::string& text,
                     const CNuvHelperWindowRef& window,
                     int32_t requestId) {
  std::vector<uint8_t> packet = BuildRequestPacket(browserId, requestId, objectId, text);
  if (packet.size() > std::numeric_limits<uint32_t>::max())
    return std::string();
  nuv::platform::CopyData data;
  data.dwData = kind;
  data.cbData = static_cast<uint32_t>(packet.size());
  data.lpData = packet.data();
  intptr_t result = 0;
  nuv::platform::SendCopyData(hostWindow, window ? window->GetWindowHandle() : 0, data, &result);
  std::string reply;
  if (window)
    window->TakeStoredReply(browserId, requestId, &reply);
  return reply;
}

}  // namespace

std::string SendBridgeRequest(uint32_t hostWindow,
                              uint32_t kind,
                              int32_t browserId,
                              int32_t objectId,
                              const std::string& text) {
  if (!hostWindow)
    return std::string();
  FlushDeferredReleases();
  const int32_t requestId = nuv::platform::AtomicIncrement(&requestCounter);
  CNuvHelperWindowRef window = GetHelperWindow(browserId);
  return Exchange(hostWindow, kind, browserId, objectId, text, window, requestId);
}

std::string TakeReply(int32_t browserId, int32_t requestId) {
  std::string reply;
  GetHelperWindow(browserId)->TakeStoredReply(browserId, requestId, &reply);
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
  t_flushing = true;
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
      // The reply to a release is never read. A browser whose helper
      // window is gone (its pages were released before the proxy was
      // collected) gets no new window just for this: the request goes out
      // without a reply address.
      const int32_t requestId = nuv::platform::AtomicIncrement(&requestCounter);
      Exchange(release.hostWindow, BRIDGE_RELEASE_OBJECT, release.browserId, release.objectId,
               std::string(), FindHelperWindow(release.browserId), requestId);
      ++sent;
    }
  }
  t_flushing = false;
  return sent;
}

size_t GetDeferredReleaseCount() {
  DeferredReleaseQueue& queue = Releases();
  CNuvAutoLock hold(queue.lock);
  return queue.pending.size();
}
