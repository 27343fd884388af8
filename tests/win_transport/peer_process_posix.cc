#include "tests/win_transport/peer_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace nuv {
namespace testing {

bool RunningUnderWine() {
  return false;
}

PeerProcess::~PeerProcess() {
  if (running_)
    Kill();
}

bool PeerProcess::Start(const std::string& executable, const std::string& argument) {
  if (running_)
    return false;
  char path[4096] = {};
  if (!executable.empty()) {
    if (executable.size() >= sizeof(path))
      return false;
    executable.copy(path, executable.size());
  } else if (readlink("/proc/self/exe", path, sizeof(path) - 1) <= 0) {
    return false;
  }
  std::string arg = argument;
  char* argv[] = {path, &arg[0], nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0)
    return false;
  handle_ = pid;
  running_ = true;
  return true;
}

int PeerProcess::Wait(int timeout_ms) {
  if (!running_)
    return -1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
    if (done == static_cast<pid_t>(handle_)) {
      running_ = false;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
      Kill();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void PeerProcess::Kill() {
  kill(static_cast<pid_t>(handle_), SIGKILL);
  int status = 0;
  waitpid(static_cast<pid_t>(handle_), &status, 0);
  running_ = false;
}

}  // namespace testing
}  // namespace nuv
