// The channel watcher on POSIX: one thread polls a duplicate of the IPC
// socket for hang-up (never for data: the render loop reads the frames) and
// a wake pipe through which the render loop, and on Linux the parent-death
// signal, reach it.
#include "cef/ipc/channel_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "cef/ipc/ipc_log.h"
#include "cef/ipc/monotonic_clock.h"
#if defined(NUV_HAVE_MESSAGE_WINDOW)
#include "platform/message_window.h"
#endif

namespace cefipc {

namespace {

// What reaches the watching thread through its wake pipe.
constexpr char kWakeEnding = 'e';
constexpr char kWakeStop = 's';
constexpr char kWakeParentDied = 'p';

void Log(const std::string& line) {
  IpcLog("render", line);
}

// The wake pipe of the process's watcher. Created once and never closed: the
// parent-death signal may arrive at any time, also after the watch stopped.
std::atomic<int> g_wake_write{-1};

void Wake(char what) {
  const int fd = g_wake_write.load();
  if (fd < 0)
    return;
  while (::write(fd, &what, 1) < 0 && errno == EINTR) {
  }
}

#if defined(__linux__)
// A real-time signal, so that no signal anybody else relies on changes its
// meaning. Its handler only wakes the watcher, which then checks whether
// the parent process is really gone (the signal also comes when merely the
// parent's thread that started this process ends).
int ParentDeathSignal() {
  return SIGRTMAX;
}

void OnParentDeathSignal(int) {
  const int saved = errno;
  Wake(kWakeParentDied);
  errno = saved;
}

bool AskForParentDeathSignal() {
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = &OnParentDeathSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  if (sigaction(ParentDeathSignal(), &action, nullptr) != 0)
    return false;
  return prctl(PR_SET_PDEATHSIG, ParentDeathSignal()) == 0;
}
#endif

[[noreturn]] void EndProcessNow(const std::string& why) {
  Log(why + "; ending the render process now");
#if defined(NUV_HAVE_MESSAGE_WINDOW)
  // The render thread cannot destroy its windows any more: remove their
  // endpoints so that nothing is left behind.
  nuv::platform::AbandonMessageWindows();
#endif
  _exit(0);
}

}  // namespace

struct ChannelWatcher::State {
  int fd = -1;         // our duplicate of the IPC socket
  int wake_read = -1;  // the read end of the wake pipe
  pid_t parent = 0;
  std::thread thread;
  // Set by the render thread, read by the watching thread.
  std::atomic<bool> ending{false};
  std::atomic<bool> stopping{false};

  ~State() {
    if (fd >= 0)
      ::close(fd);
  }

  void Run();
  // Reads what woke the thread. False once it is to stop.
  bool ReadWake(bool* parent_died);
  // Waits until `deadline` for the render loop; false when it is to stop.
  bool WaitUntil(int64_t deadline);
};

bool ChannelWatcher::State::ReadWake(bool* parent_died) {
  char buffer[64];
  ssize_t n;
  while ((n = ::read(wake_read, buffer, sizeof(buffer))) > 0) {
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == kWakeParentDied && getppid() != parent)
        *parent_died = true;
    }
  }
  return !stopping.load();
}

bool ChannelWatcher::State::WaitUntil(int64_t deadline) {
  for (;;) {
    const int64_t left = deadline - MonotonicNowMs();
    if (left <= 0)
      return true;
    pollfd wake{wake_read, POLLIN, 0};
    if (::poll(&wake, 1, static_cast<int>(left)) > 0) {
      bool ignored = false;
      if (!ReadWake(&ignored))
        return false;
    }
  }
}

void ChannelWatcher::State::Run() {
  short hang_up = POLLHUP | POLLERR;
#if defined(POLLRDHUP)
  hang_up |= POLLRDHUP;  // the client shut its side for writing
#endif
  std::string why;
  while (why.empty()) {
    pollfd fds[2] = {{fd, static_cast<short>(hang_up & ~(POLLHUP | POLLERR)), 0},
                     {wake_read, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      Log(std::string("the channel watch failed: ") + std::strerror(errno));
      return;
    }
    bool parent_died = false;
    if ((fds[1].revents & POLLIN) && !ReadWake(&parent_died))
      return;
    if (fds[0].revents & (hang_up | POLLNVAL))
      why = "the client closed the IPC channel";
    else if (parent_died)
      why = "the client process (the parent) has died";
  }
  // The render loop ends the process itself once it sees the channel
  // closed, at once when it is idle; give it the chance.
  if (!ending.load() && !WaitUntil(MonotonicNowMs() + ChannelWatcher::kGraceMs))
    return;
  if (!ending.load())
    EndProcessNow(why + " while the render thread is busy");
  if (WaitUntil(MonotonicNowMs() + ChannelWatcher::kTeardownMs))
    EndProcessNow(why + " and the orderly end of the render process did not finish in time");
}

ChannelWatcher::ChannelWatcher() = default;

ChannelWatcher::~ChannelWatcher() {
  Stop();
}

bool ChannelWatcher::Start(int fd) {
  if (state_)
    return false;
  auto state = std::make_shared<State>();
  state->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (state->fd < 0) {
    Log(std::string("the IPC channel cannot be watched: ") + std::strerror(errno));
    return false;
  }
  static const int wake_read = [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
      return -1;
    g_wake_write.store(fds[1]);
    return fds[0];
  }();
  if (wake_read < 0) {
    Log(std::string("the IPC channel cannot be watched: no pipe: ") + std::strerror(errno));
    return false;
  }
  state->wake_read = wake_read;
  state->parent = getppid();
#if defined(__linux__)
  if (!AskForParentDeathSignal())
    Log(std::string("no parent-death signal: ") + std::strerror(errno));
  else if (getppid() != state->parent)
    Wake(kWakeParentDied);  // the parent died before the signal was set up
#endif
  try {
    state->thread = std::thread([raw = state.get()] { raw->Run(); });
  } catch (const std::exception& e) {
    Log(std::string("the IPC channel cannot be watched: ") + e.what());
    return false;
  }
  state_ = std::move(state);
  return true;
}

void ChannelWatcher::NoteEnding() {
  if (!state_ || state_->ending.exchange(true))
    return;
  Wake(kWakeEnding);
}

void ChannelWatcher::Stop() {
  if (!state_)
    return;
  state_->stopping.store(true);
  Wake(kWakeStop);
  if (state_->thread.joinable())
    state_->thread.join();
  state_.reset();
}

}  // namespace cefipc
