// Starting a sub-process with one inherited socket and learning how it
// ended: exit code, or the signal that killed it. Waiting never blocks
// beyond the timeout the caller gives; a child still running when its
// ChildProcess goes away is killed and reaped, never left as a zombie.
#ifndef HOST_BROWSER_CHILD_PROCESS_H_
#define HOST_BROWSER_CHILD_PROCESS_H_

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace nuv {
namespace host {

struct ExitStatus {
  enum class State { kRunning, kExited, kSignaled };
  State state = State::kRunning;
  // For kExited: the low 8 bits the process returned (so -1 reads as 255);
  // -1 when someone else reaped the child and the code is unknown.
  int exit_code = 0;
  // For kSignaled: the signal number (SIGABRT, SIGSEGV, SIGKILL, ...).
  int signal = 0;

  bool running() const { return state == State::kRunning; }
  bool exited() const { return state == State::kExited; }
  bool signaled() const { return state == State::kSignaled; }
  // "running", "exited with code 0", "killed by signal 6 (Aborted)".
  std::string ToString() const;
};

class ChildProcess {
 public:
  struct Options {
    std::string executable;         // path of the program
    std::vector<std::string> args;  // argv[1..]
    int inherit_fd = -1;            // kept open (same number) in the child
    std::string stderr_path;        // empty: the child shares our stderr
  };

  // Forks and executes. On failure (no such program, not executable,
  // stderr file not creatable) returns null and sets *error; the failure
  // of exec itself is reported here too, not as a child exiting with 127.
  static std::unique_ptr<ChildProcess> Start(const Options& options, std::string* error);

  // Kills (SIGKILL) and reaps the child if it is still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // Without waiting.
  ExitStatus Poll();
  // Waits up to `timeout_ms` (< 0: no limit) for the child to end.
  ExitStatus WaitForExit(int timeout_ms);
  // Sends `signal` to a child that is still running.
  bool Kill(int signal);

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}

  pid_t pid_;
  ExitStatus status_;
};

}  // namespace host
}  // namespace nuv

#endif  // HOST_BROWSER_CHILD_PROCESS_H_
