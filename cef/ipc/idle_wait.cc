#include "cef/ipc/idle_wait.h"

#include <poll.h>
#include <time.h>

#include <cerrno>

#if defined(NUV_HAVE_MESSAGE_WINDOW)
#include "platform/message_window.h"
#endif

namespace cefipc {

namespace {

#if defined(NUV_HAVE_MESSAGE_WINDOW)
WaitResult DispatchingWait(int fd, int timeout_ms) {
  switch (nuv::platform::WaitAndDispatch(fd, timeout_ms)) {
    case nuv::platform::WaitResult::kFdReadable:
      return WaitResult::kReadable;
    case nuv::platform::WaitResult::kTimeout:
      return WaitResult::kTimeout;
    case nuv::platform::WaitResult::kError:
      break;
  }
  return WaitResult::kError;
}
constexpr IdleWaitFunction kDefaultWait = &DispatchingWait;
#else
constexpr IdleWaitFunction kDefaultWait = &PollWait;
#endif

IdleWaitFunction g_wait = kDefaultWait;

}  // namespace

WaitResult PollWait(int fd, int timeout_ms) {
  if (fd < 0) {
    if (timeout_ms > 0) {
      timespec ts{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
      while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
      }
    }
    return WaitResult::kTimeout;
  }
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int n = poll(&p, 1, timeout_ms);
    if (n > 0)
      return WaitResult::kReadable;  // POLLHUP / POLLERR also mean "read to learn more"
    if (n == 0)
      return WaitResult::kTimeout;
    if (errno != EINTR)
      return WaitResult::kError;
  }
}

WaitResult WaitForInput(int fd, int timeout_ms) {
  return g_wait(fd, timeout_ms);
}

void SetIdleWaitFunction(IdleWaitFunction wait) {
  g_wait = wait ? wait : kDefaultWait;
}

void SetBlockingSendHook(void (*hook)(void* context), void* context) {
#if defined(NUV_HAVE_MESSAGE_WINDOW)
  nuv::platform::SetBlockingSendHook(hook, context);
#else
  (void)hook;
  (void)context;
#endif
}

bool DefaultWaitDispatchesWindows() {
  return kDefaultWait != &PollWait;
}

}  // namespace cefipc
