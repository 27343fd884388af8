#include "host/client/host_window_relay.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace nuv {
namespace host {
namespace {

// How long the relay may take to report its window.
constexpr int kStartTimeoutMs = 10000;

class ForwardingDelegate : public platform::MessageWindowDelegate {
 public:
  explicit ForwardingDelegate(platform::WindowHandle target) : target_(target) {}

  bool ProcessWindowMessage(platform::WindowHandle /*window*/,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != platform::kWmCopyData)
      return message == platform::kWmDestroy;
    *result = 0;
    if (lparam) {
      platform::SendCopyData(target_, static_cast<platform::WindowHandle>(wparam),
                             *reinterpret_cast<const platform::CopyData*>(lparam), result);
    }
    return true;
  }

 private:
  platform::WindowHandle target_;
};

bool ParseNumber(const char* text, long long low, long long high, long long* out) {
  char* end = nullptr;
  *out = std::strtoll(text, &end, 10);
  return text[0] && !*end && *out >= low && *out <= high;
}

}  // namespace

std::unique_ptr<HostWindowRelay> HostWindowRelay::Start(const std::string& executable,
                                                        platform::WindowHandle target,
                                                        std::string* error) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    *error = "cannot create the host window relay's control socket";
    return nullptr;
  }
  ChildProcess::Options options;
  options.executable = executable;
  options.args = {kHostWindowRelaySwitch, std::to_string(target), std::to_string(fds[1])};
  options.inherit_fd = fds[1];
  std::unique_ptr<ChildProcess> child = ChildProcess::Start(options, error);
  close(fds[1]);
  if (!child) {
    close(fds[0]);
    *error = "cannot start the host window relay: " + *error;
    return nullptr;
  }
  uint32_t handle = 0;
  size_t got = 0;
  pollfd wait = {fds[0], POLLIN, 0};
  while (got < sizeof(handle) && poll(&wait, 1, kStartTimeoutMs) == 1) {
    const ssize_t n = read(fds[0], reinterpret_cast<char*>(&handle) + got, sizeof(handle) - got);
    if (n <= 0)
      break;
    got += static_cast<size_t>(n);
  }
  if (got != sizeof(handle) || handle == 0) {
    close(fds[0]);
    *error = "the host window relay did not report its window";
    return nullptr;
  }
  return std::unique_ptr<HostWindowRelay>(new HostWindowRelay(std::move(child), fds[0], handle));
}

HostWindowRelay::HostWindowRelay(std::unique_ptr<ChildProcess> child,
                                 int control,
                                 platform::WindowHandle handle)
    : child_(std::move(child)), control_(control), handle_(handle) {}

HostWindowRelay::~HostWindowRelay() {
  close(control_);  // the relay ends when it sees the socket close
  if (child_->WaitForExit(2000).running())
    child_->Kill(SIGKILL);
  child_->WaitForExit(2000);
}

void HostWindowRelay::KillNow() {
  killed_ = true;
  kill(child_->pid(), SIGKILL);
}

int RunHostWindowRelay(const char* target_text, const char* fd_text) {
  long long target = 0, fd = 0;
  if (!ParseNumber(target_text, 1, 0xFFFFFFFFll, &target) || !ParseNumber(fd_text, 0, 65535, &fd)) {
    fprintf(stderr, "nuv_client: %s TARGET FD: bad arguments\n", kHostWindowRelaySwitch);
    return 64;
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  ForwardingDelegate delegate(static_cast<platform::WindowHandle>(target));
  const uint32_t handle = platform::CreateMessageWindow(&delegate);
  if (!handle || write(static_cast<int>(fd), &handle, sizeof(handle)) != sizeof(handle))
    return 69;
  // Until the client closes the control socket (or dies).
  platform::WaitAndDispatch(static_cast<int>(fd), -1);
  platform::DestroyMessageWindow(handle);
  return 0;
}

}  // namespace host
}  // namespace nuv
