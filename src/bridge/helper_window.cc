#include "src/bridge/helper_window.h"

#include "src/bridge/bridge_packet.h"
#include "src/bridge/callback_holder.h"
#include "src/common/sync_object.h"

namespace {

// The process-wide table of helper windows and its lock. Built on first use
// and deliberately never destroyed: at process exit the listed windows are
// not torn down (their callbacks hold script values the runtime has already
// disposed of).
struct HelperWindowTable {
  CNuvCriticalSectionObject lock;
  std::map<int32_t, CNuvHelperWindowRef> windows;
};

HelperWindowTable& Table() {
  static HelperWindowTable* table = new HelperWindowTable;
  return *table;
}

}  // namespace

CNuvChromeBrowserComHelperWindow_RendererSide::CNuvChromeBrowserComHelperWindow_RendererSide() =
    default;

CNuvChromeBrowserComHelperWindow_RendererSide::~CNuvChromeBrowserComHelperWindow_RendererSide() {
  // Listed windows are closed before their last reference goes; this only
  // matters for objects that never made it into the table.
  if (m_hWnd)
    nuv::platform::DestroyMessageWindow(m_hWnd);
}

bool CNuvChromeBrowserComHelperWindow_RendererSide::CreateHelperWindow() {
  if (m_hWnd || m_closed)
    return m_hWnd != 0;
  m_hWnd = nuv::platform::CreateMessageWindow(this);
  return m_hWnd != 0;
}

void CNuvChromeBrowserComHelperWindow_RendererSide::CloseHelperWindow() {
  m_closed = true;
  const nuv::platform::WindowHandle window = m_hWnd;
  m_hWnd = 0;
  if (window && nuv::platform::IsMessageWindow(window))
    nuv::platform::DestroyMessageWindow(window);
  // Swapped out first: releasing a callback releases script values, and
  // nothing may find half-emptied maps meanwhile.
  std::map<ReplyKey, std::string> replies;
  replies.swap(m_replies);
  CallbackMap callbacks;
  callbacks.swap(m_callbacks);
}

bool CNuvChromeBrowserComHelperWindow_RendererSide::ProcessWindowMessage(
    nuv::platform::WindowHandle /*window*/,
    uint32_t message,
    uintptr_t /*wparam*/,
    intptr_t lparam,
    intptr_t* result) {
  if (message == nuv::platform::kWmCopyData) {
    *result = lparam ? OnCopyData(*reinterpret_cast<const nuv::platform::CopyData*>(lparam)) : 0;
    return true;
  }
  if (message == nuv::platform::kWmDestroy) {
    *result = 0;
    return true;
  }
  return false;
}

intptr_t CNuvChromeBrowserComHelperWindow_RendererSide::OnCopyData(
    const nuv::platform::CopyData& copyData) {
  if (copyData.dwData != BRIDGE_REPLY || m_closed)
    return 0;
  NuvBridgeReply reply;
  if (!ReadReplyPacket(copyData.lpData, copyData.cbData, &reply))
    return 0;
  const ReplyKey key(reply.browserId, reply.requestId);
  auto found = m_replies.find(key);
  if (found != m_replies.end()) {
    found->second.swap(reply.text);
    return 0;
  }
  if (m_replies.size() >= kMaxStoredReplies)
    m_replies.erase(m_replies.begin());
  m_replies.emplace(key, std::move(reply.text));
  return 0;
}

bool CNuvChromeBrowserComHelperWindow_RendererSide::TakeStoredReply(int32_t browserId,
                                                                    int32_t requestId,
                                                                    std::string* text) {
  auto found = m_replies.find(ReplyKey(browserId, requestId));
  if (found == m_replies.end())
    return false;
  text->swap(found->second);
  m_replies.erase(found);
  return true;
}

CNuvHelperWindowRef GetHelperWindow(int32_t browserId) {
  HelperWindowTable& table = Table();
  CNuvAutoLock hold(table.lock);
  CNuvHelperWindowRef& window = table.windows[browserId];
  if (!window) {
    window = new CNuvChromeBrowserComHelperWindow_RendererSide();
    window->CreateHelperWindow();
  }
  return window;
}

CNuvHelperWindowRef FindHelperWindow(int32_t browserId) {
  HelperWindowTable& table = Table();
  CNuvAutoLock hold(table.lock);
  auto found = table.windows.find(browserId);
  return found == table.windows.end() ? nullptr : found->second;
}

void DestroyHelperWindow(int32_t browserId) {
  CNuvHelperWindowRef window;
  {
    HelperWindowTable& table = Table();
    CNuvAutoLock hold(table.lock);
    auto found = table.windows.find(browserId);
    if (found == table.windows.end())
      return;
    window = found->second;
    table.windows.erase(found);
  }
  // Outside the lock: closing releases callbacks and so script values.
  window->CloseHelperWindow();
}
