// inotify behind FileWatch: one non-blocking descriptor with watches on the
// file itself (following a symbolic link), its directory and the parent of
// that, re-armed after every change because a directory or file that was
// removed and made again is a new object to the kernel. The kernel queues
// an event before the change's system call returns, so a change that is
// complete is always seen by the next TakeChanged.
#include "platform/file_watch.h"

#include <pthread.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/file_util.h"

namespace nuv {
namespace platform {
namespace {

constexpr uint32_t kDirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF |
                                      IN_MOVE_SELF;
constexpr uint32_t kFileEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// A forked child shares its parent's inotify queue (whoever reads first
// takes the events): watches made before a fork make their own descriptor
// in the child.
std::atomic<unsigned> g_fork_generation{0};

void CountFork() {
  ++g_fork_generation;
}

unsigned ForkGeneration() {
  static const bool registered = pthread_atfork(nullptr, nullptr, &CountFork) == 0;
  (void)registered;
  return g_fork_generation.load(std::memory_order_relaxed);
}

std::string Parent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

class InotifyWatch : public FileWatch {
 public:
  InotifyWatch(int fd, std::string path)
      : fd_(fd), generation_(ForkGeneration()), file_(std::move(path)) {
    directory_ = Parent(file_);
    parent_ = Parent(directory_);
  }
  ~InotifyWatch() override {
    if (fd_ >= 0)
      close(fd_);
  }

  // Watches what exists of the three; false when not even the parent can
  // be watched.
  bool Arm() {
    const bool parent = inotify_add_watch(fd_, parent_.c_str(), kDirectoryEvents) >= 0;
    inotify_add_watch(fd_, directory_.c_str(), kDirectoryEvents | IN_ONLYDIR);
    inotify_add_watch(fd_, file_.c_str(), kFileEvents);
    return parent;
  }

  bool TakeChanged() override {
    if (generation_ != ForkGeneration())
      return Renew();
    if (fd_ < 0)
      return true;  // no descriptor any more: every question reads again
    bool changed = false;
    alignas(inotify_event) char events[4096];
    for (;;) {
      const ssize_t n = read(fd_, events, sizeof(events));
      if (n > 0) {
        changed = true;
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      break;  // EAGAIN: nothing (more) queued
    }
    if (changed)
      Arm();
    return changed;
  }

 private:
  // In a forked child: a descriptor of its own, and the file counts as
  // changed (what happened meanwhile went to the parent's reads).
  bool Renew() {
    generation_ = ForkGeneration();
    if (fd_ >= 0)
      close(fd_);
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
      Arm();
    return true;
  }

  int fd_;
  unsigned generation_;
  std::string file_;
  std::string directory_;
  std::string parent_;
};

}  // namespace

std::unique_ptr<FileWatch> FileWatch::Create(const std::u16string& path) {
  const std::string native = NativePath(path);
  if (native.empty() || native[0] != '/')
    return nullptr;
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0)
    return nullptr;
  auto watch = std::make_unique<InotifyWatch>(fd, native);
  if (!watch->Arm())
    return nullptr;
  return watch;
}

}  // namespace platform
}  // namespace nuv
