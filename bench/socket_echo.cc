#include "bench/socket_echo.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nuv_bench {

bool SocketEcho::Start() {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
    return false;
  child_ = fork();
  if (child_ < 0) {
    close(pair[0]);
    close(pair[1]);
    return false;
  }
  if (child_ == 0) {
    close(pair[0]);
    char byte;
    while (read(pair[1], &byte, 1) == 1) {
      if (write(pair[1], &byte, 1) != 1)
        break;
    }
    _exit(0);
  }
  close(pair[1]);
  fd_ = pair[0];
  return true;
}

void SocketEcho::Stop() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (child_ > 0) {
    int status = 0;
    waitpid(child_, &status, 0);
    child_ = -1;
  }
}

bool SocketEcho::RoundTrip() {
  char byte = 'x';
  return write(fd_, &byte, 1) == 1 && read(fd_, &byte, 1) == 1;
}

}  // namespace nuv_bench
