// The hidden helper window of one browser: the endpoint that receives the
// client's replies to bridge requests (its reply store) and the home of the
// browser's page-callback registry. One per browser id, listed in a
// process-wide table.
#ifndef NUV_SRC_BRIDGE_HELPER_WINDOW_H_
#define NUV_SRC_BRIDGE_HELPER_WINDOW_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "include/cef_base.h"
#include "platform/message_window.h"

class CNuvV8CallbackObjectHolder;

// Reference-counted so that a request that is waiting for its reply keeps
// the window object alive even when the browser's window is destroyed
// meanwhile; the table holds one reference per listed window.
class CNuvChromeBrowserComHelperWindow_RendererSide : public CefBase,
                                                      public nuv::platform::MessageWindowDelegate {
 public:
  using ReplyKey = std::pair<int32_t, int32_t>;  // browser id, request id
  using CallbackMap = std::map<int32_t, CefRefPtr<CNuvV8CallbackObjectHolder>>;

  // Replies nobody takes (late replies, wrong keys) are kept up to this
  // many; beyond it the smallest key is dropped (for the one browser of a
  // window, the oldest request), so a faulty client cannot grow the store
  // without bound.
  static constexpr size_t kMaxStoredReplies = 1024;

  CNuvChromeBrowserComHelperWindow_RendererSide();

  // Creates the hidden window on the calling thread; false when it cannot.
  bool CreateHelperWindow();
  // Destroys the window, then drops every stored reply and callback. The
  // object stays usable (with handle 0) for whoever still holds it.
  void CloseHelperWindow();

  nuv::platform::WindowHandle GetWindowHandle() const { return m_hWnd; }
  bool IsClosed() const { return m_closed; }

  // The window procedure: WM_COPYDATA goes to OnCopyData, WM_DESTROY is
  // handled, everything else gets the default handling. Always 0.
  bool ProcessWindowMessage(nuv::platform::WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override;

  // Files a reply (dwData 0, at least 12 bytes) under its browser id and
  // request id, replacing an earlier one; ignores every other packet.
  intptr_t OnCopyData(const nuv::platform::CopyData& copyData);

  // The reply filed under the key, removed from the store; false when none.
  bool TakeStoredReply(int32_t browserId, int32_t requestId, std::string* text);
  size_t GetStoredReplyCount() const { return m_replies.size(); }

  // The browser's page callbacks, by identifier. Render thread only: the
  // registry functions of callback_holder.h check it before they get here.
  CallbackMap& GetCallbacks() { return m_callbacks; }

 private:
  ~CNuvChromeBrowserComHelperWindow_RendererSide() override;

  std::map<ReplyKey, std::string> m_replies;
  CallbackMap m_callbacks;
  nuv::platform::WindowHandle m_hWnd = 0;
  bool m_closed = false;

  IMPLEMENT_REFCOUNTING(CNuvChromeBrowserComHelperWindow_RendererSide);
};

using CNuvHelperWindowRef = CefRefPtr<CNuvChromeBrowserComHelperWindow_RendererSide>;

// The helper window of the browser, created (and listed) when there is
// none. A window whose creation failed is listed too, with handle 0.
CNuvHelperWindowRef GetHelperWindow(int32_t browserId);

// The listed helper window of the browser, or null; never creates one.
CNuvHelperWindowRef FindHelperWindow(int32_t browserId);

// Removes the browser's helper window from the table and destroys it with
// its stored replies and callbacks. Nothing happens when none is listed.
void DestroyHelperWindow(int32_t browserId);

#endif  // NUV_SRC_BRIDGE_HELPER_WINDOW_H_
