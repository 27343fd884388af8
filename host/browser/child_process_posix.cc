#include "host/browser/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "cef/ipc/monotonic_clock.h"

namespace nuv {
namespace host {

namespace {

void SleepMs(int ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void RunChild(const char* path,
                           char* const* argv,
                           int inherit_fd,
                           int stderr_fd,
                           int report_fd) {
  int failed = 0;
  if (inherit_fd >= 0 && fcntl(inherit_fd, F_SETFD, 0) != 0)
    failed = errno;
  if (!failed && stderr_fd >= 0 && dup2(stderr_fd, STDERR_FILENO) < 0)
    failed = errno;
  if (!failed) {
    signal(SIGPIPE, SIG_DFL);
    // The parent's thread may block signals for a watcher of its own (as
    // nuv_client does with SIGINT and SIGTERM); the child starts with none.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(path, argv);
    failed = errno;
  }
  ssize_t ignored = write(report_fd, &failed, sizeof(failed));
  (void)ignored;
  _exit(127);
}

}  // namespace

std::string ExitStatus::ToString() const {
  switch (state) {
    case State::kRunning:
      return "running";
    case State::kExited:
      return "exited with code " + std::to_string(exit_code);
    case State::kSignaled: {
      const char* name = strsignal(signal);
      return "killed by signal " + std::to_string(signal) + " (" + (name ? name : "?") + ")";
    }
  }
  return "unknown";
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const Options& options, std::string* error) {
  if (options.executable.empty()) {
    *error = "no program to start";
    return nullptr;
  }
  // Everything the child needs is prepared before fork.
  std::vector<std::string> strings;
  strings.push_back(options.executable);
  strings.insert(strings.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (std::string& s : strings)
    argv.push_back(&s[0]);
  argv.push_back(nullptr);

  int stderr_fd = -1;
  if (!options.stderr_path.empty()) {
    stderr_fd = open(options.stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (stderr_fd < 0) {
      *error = "cannot open " + options.stderr_path + ": " + strerror(errno);
      return nullptr;
    }
  }
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    *error = std::string("pipe2 failed: ") + strerror(errno);
    if (stderr_fd >= 0)
      close(stderr_fd);
    return nullptr;
  }

  const pid_t pid = fork();
  if (pid == 0) {
    close(report[0]);
    RunChild(options.executable.c_str(), argv.data(), options.inherit_fd, stderr_fd, report[1]);
  }
  const int fork_errno = errno;
  close(report[1]);
  if (stderr_fd >= 0)
    close(stderr_fd);
  if (pid < 0) {
    close(report[0]);
    *error = std::string("fork failed: ") + strerror(fork_errno);
    return nullptr;
  }

  // The report pipe closes on a successful exec; otherwise it carries errno.
  int child_errno = 0;
  ssize_t n;
  do {
    n = read(report[0], &child_errno, sizeof(child_errno));
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  std::unique_ptr<ChildProcess> child(new ChildProcess(pid));
  if (n == static_cast<ssize_t>(sizeof(child_errno))) {
    child->WaitForExit(-1);
    *error = "cannot execute " + options.executable + ": " + strerror(child_errno);
    return nullptr;
  }
  return child;
}

ChildProcess::~ChildProcess() {
  if (Poll().running()) {
    kill(pid_, SIGKILL);
    WaitForExit(-1);
  }
}

ExitStatus ChildProcess::Poll() {
  if (!status_.running())
    return status_;
  int raw = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &raw, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    if (WIFEXITED(raw)) {
      status_.state = ExitStatus::State::kExited;
      status_.exit_code = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
      status_.state = ExitStatus::State::kSignaled;
      status_.signal = WTERMSIG(raw);
    }
  } else if (r < 0 && errno == ECHILD) {
    // Reaped elsewhere (a SIGCHLD handler of the embedder): the outcome is lost.
    status_.state = ExitStatus::State::kExited;
    status_.exit_code = -1;
  }
  return status_;
}

ExitStatus ChildProcess::WaitForExit(int timeout_ms) {
  const int64_t deadline = timeout_ms < 0 ? -1 : cefipc::MonotonicNowMs() + timeout_ms;
  int slice = 1;
  while (Poll().running()) {
    if (deadline >= 0) {
      const int64_t left = deadline - cefipc::MonotonicNowMs();
      if (left <= 0)
        break;
      if (slice > left)
        slice = static_cast<int>(left);
    }
    SleepMs(slice);
    if (slice < 20)
      slice *= 2;
  }
  return status_;
}

bool ChildProcess::Kill(int signal) {
  if (!Poll().running())
    return false;
  return kill(pid_, signal) == 0;
}

}  // namespace host
}  // namespace nuv
