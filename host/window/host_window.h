// The client's host window: a message window on a thread of its own that
// answers every bridge request of the render processes from the configured
// automation objects. Before its handler returns it sends exactly one reply
// (kind 0, the request's browser id and request id, a text) to the helper
// window named in wParam, and it never waits for a render thread.
#ifndef NUV_HOST_WINDOW_HOST_WINDOW_H_
#define NUV_HOST_WINDOW_HOST_WINDOW_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <json/json.h>

#include "host/window/bridge_packet.h"
#include "host/window/object_registry.h"
#include "host/window/request_log.h"
#include "platform/message_window.h"

namespace nuv {
namespace host {

// A call of a page function that lives in another browser, as the calling
// page asked for it. The host window has already answered the caller with
// the configured result; the client may now run the function in its owning
// browser (e.g. "NuvChromeBrowser_CallDefaultFunction").
struct OtherBrowserCall {
  int32_t browser_id = 0;  // the browser that owns the function
  int32_t object_id = 0;   // its callback identifier in that browser
  std::string function_name;
  Json::Value arguments{Json::arrayValue};  // records, identifiers normalised
  uint32_t helper_window = 0;               // where the answer went
};

using OtherBrowserCallHandler = std::function<void(const OtherBrowserCall& call)>;
using HostLogHandler = std::function<void(const std::string& line)>;
// Called inside a request configured with "exitOnRequest", on the host
// window's thread, before the request returns without a reply. It stands for
// the death of the host window's process; the default ends this process at
// once with kExitOnRequestCode.
using ExitOnRequestHandler = std::function<void()>;
constexpr int kExitOnRequestCode = 70;

class HostWindow {
 public:
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Starts the thread and creates the window on it. False when the window
  // cannot be created.
  bool Start();
  // Destroys the window and ends the thread; also done by the destructor.
  void Stop();

  // The handle to pass as "browser-message-window-handle"; 0 before Start.
  platform::WindowHandle handle() const { return handle_.load(); }

  ObjectRegistry& objects() { return objects_; }
  RequestLog& requests() { return requests_; }

  // Loads objects from a JSON configuration text (docs/host-window.md).
  bool Configure(const std::string& json_text, std::string* error);

  // Called on the host window's thread after the window procedure that
  // answered a kind 6 request has returned (the calling render thread runs
  // again by then). The handler must not block that thread for long.
  void SetOtherBrowserCallHandler(OtherBrowserCallHandler handler);
  // Where problems with requests are reported; default: standard error.
  void SetLogHandler(HostLogHandler handler);
  void SetExitOnRequestHandler(ExitOnRequestHandler handler);

  // Runs `task` on the host window's thread, outside any window procedure.
  void Post(std::function<void()> task);

 private:
  class Delegate;
  friend class Delegate;

  void ThreadMain();
  void RunTasks();
  void OnCopyData(uintptr_t wparam, const platform::CopyData& data);
  std::string Answer(const BridgeRequest& request, LoggedRequest* entry, Misbehaviour* how);
  void Reply(const BridgeRequest& request, const Misbehaviour& how, LoggedRequest* entry);
  void EndProcessInsideRequest(LoggedRequest* entry);
  // Sleeps up to `ms`; returns early when the window stops.
  void Delay(int ms);
  void Log(const std::string& line);

  ObjectRegistry objects_;
  RequestLog requests_;
  std::atomic<platform::WindowHandle> handle_{0};
  std::thread thread_;
  int wake_read_ = -1;
  int wake_write_ = -1;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;  // guards the members below
  std::deque<std::function<void()>> tasks_;
  OtherBrowserCallHandler other_browser_handler_;
  HostLogHandler log_handler_;
  ExitOnRequestHandler exit_handler_;
  // The helper window each browser's requests came from last (wParam);
  // used on the host window's thread only.
  std::map<int32_t, platform::WindowHandle> helper_windows_;
  std::condition_variable stop_requested_;  // wakes Delay
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_HOST_WINDOW_H_
