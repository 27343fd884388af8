// Starts a helper program as a child process with pipes on its standard
// input and output, for tests that need a real second process.
#ifndef NUV_TESTS_MESSAGE_WINDOW_PEER_PROCESS_H_
#define NUV_TESTS_MESSAGE_WINDOW_PEER_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace nuv {
namespace test {

class PeerProcess {
 public:
  PeerProcess() = default;
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  bool Start(const std::string& program, const std::vector<std::string>& arguments);
  // Reads one line from the child's standard output (without the line feed);
  // false at end of stream.
  bool ReadLine(std::string* line);
  // Closes the child's standard input and waits for it; returns its exit
  // status as waitpid reports it.
  int Finish();
  // The exit status of a child that ended by itself.
  int WaitForExit();

  pid_t pid() const { return pid_; }
  int input_fd() const { return to_child_; }
  int output_fd() const { return from_child_; }

 private:
  pid_t pid_ = -1;
  int to_child_ = -1;
  int from_child_ = -1;
  int status_ = -1;
};

}  // namespace test
}  // namespace nuv

#endif  // NUV_TESTS_MESSAGE_WINDOW_PEER_PROCESS_H_
