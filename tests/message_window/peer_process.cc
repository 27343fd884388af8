#include "tests/message_window/peer_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nuv {
namespace test {

PeerProcess::~PeerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Finish();
  }
  if (from_child_ >= 0)
    close(from_child_);
}

bool PeerProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0)
    return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_child_ = in[1];
  from_child_ = out[0];
  return pid_ > 0;
}

bool PeerProcess::ReadLine(std::string* line) {
  line->clear();
  char c;
  for (;;) {
    ssize_t got = read(from_child_, &c, 1);
    if (got <= 0)
      return false;
    if (c == '\n')
      return true;
    line->push_back(c);
  }
}

int PeerProcess::Finish() {
  if (to_child_ >= 0) {
    close(to_child_);
    to_child_ = -1;
  }
  return WaitForExit();
}

int PeerProcess::WaitForExit() {
  if (pid_ > 0) {
    while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  return status_;
}

}  // namespace test
}  // namespace nuv
