// A process of its own for the host window, so that "exitOnRequest" can end
// it inside a request while the reference client lives on to watch what the
// sub-process does next. The relay owns a message window that forwards every
// copy-data message, with its wParam, to the client's host window; the
// sub-process is given the relay's handle. Replies go from the host window
// straight to the sub-process's helper window, so every packet is the same as
// without the relay. Killing the relay inside a request is what the
// sub-process would see if the client's host window process died there.
#ifndef NUV_HOST_CLIENT_HOST_WINDOW_RELAY_H_
#define NUV_HOST_CLIENT_HOST_WINDOW_RELAY_H_

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>

#include "host/browser/child_process.h"
#include "platform/message_window.h"

namespace nuv {
namespace host {

// The command-line switch that makes nuv_client run as a relay:
//   nuv_client --host-window-relay TARGET FD
constexpr char kHostWindowRelaySwitch[] = "--host-window-relay";

class HostWindowRelay {
 public:
  // Starts `executable` (nuv_client) as a relay to `target`. Null with
  // *error when it cannot be started or does not report its window in time.
  static std::unique_ptr<HostWindowRelay> Start(const std::string& executable,
                                                platform::WindowHandle target,
                                                std::string* error);
  // Ends the relay (closing its control socket) and reaps it.
  ~HostWindowRelay();
  HostWindowRelay(const HostWindowRelay&) = delete;
  HostWindowRelay& operator=(const HostWindowRelay&) = delete;

  platform::WindowHandle handle() const { return handle_; }
  pid_t pid() const { return child_->pid(); }
  // Kills the relay at once (SIGKILL); safe from any thread.
  void KillNow();
  bool killed() const { return killed_.load(); }

 private:
  HostWindowRelay(std::unique_ptr<ChildProcess> child, int control, platform::WindowHandle handle);

  std::unique_ptr<ChildProcess> child_;
  int control_ = -1;
  platform::WindowHandle handle_ = 0;
  std::atomic<bool> killed_{false};
};

// The relay's own main: forwards until the control socket `fd` closes.
// Returns the process's exit code.
int RunHostWindowRelay(const char* target, const char* fd);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_HOST_WINDOW_RELAY_H_
