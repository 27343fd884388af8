// The floor of every exchange between two processes: a forked child that
// answers each byte it reads on a Unix socket pair with one byte back, so
// that one round trip is one write and one read on each side and two
// wake-ups, nothing else.
#ifndef NUV_BENCH_SOCKET_ECHO_H_
#define NUV_BENCH_SOCKET_ECHO_H_

#include <sys/types.h>

namespace nuv_bench {

class SocketEcho {
 public:
  // Forks the child. Call before other threads start.
  bool Start();
  // Ends the child and waits for it.
  void Stop();
  ~SocketEcho() { Stop(); }

  // One byte there and one back; false when the child is gone.
  bool RoundTrip();

 private:
  pid_t child_ = -1;
  int fd_ = -1;
};

}  // namespace nuv_bench

#endif  // NUV_BENCH_SOCKET_ECHO_H_
