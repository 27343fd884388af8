// Starts the peer process of a two-process test (this test binary a second
// time, or another build of it, such as the other bitness's) and waits for it
// to end. Test support only.
#ifndef NUV_TESTS_WIN_TRANSPORT_PEER_PROCESS_H_
#define NUV_TESTS_WIN_TRANSPORT_PEER_PROCESS_H_

#include <cstdint>
#include <string>

namespace nuv {
namespace testing {

// Whether this process runs under wine rather than on Windows or POSIX
// (ntdll exports wine_get_version there).
bool RunningUnderWine();

class PeerProcess {
 public:
  PeerProcess() = default;
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;
  // A peer still running is killed.
  ~PeerProcess();

  // Runs `executable` (empty: this test binary) with `argument` as its only
  // argument.
  bool Start(const std::string& executable, const std::string& argument);

  // Waits up to `timeout_ms` for the peer to end and returns its exit code;
  // -1 when it did not end in time (it is killed then) or was not started.
  int Wait(int timeout_ms);

  bool running() const { return running_; }

 private:
  void Kill();

  intptr_t handle_ = 0;  // process id on POSIX, process HANDLE on Windows
  bool running_ = false;
};

}  // namespace testing
}  // namespace nuv

#endif  // NUV_TESTS_WIN_TRANSPORT_PEER_PROCESS_H_
