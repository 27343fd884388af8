// The client's side of the bridge in a second process, for the two-process
// tests and the benchmarks: a forked child that runs the client's host
// window (host/window) with a fixed set of automation objects, plus a raw
// echo window that answers every copy-data message with one reply and
// nothing else (the transport's floor). The parent drives and inspects the
// child through a pipe; while it waits for an answer it dispatches messages
// sent to its own windows, as an idle render loop does.
#ifndef NUV_TESTS_BRIDGE_HOST_PROCESS_H_
#define NUV_TESTS_BRIDGE_HOST_PROCESS_H_

#include <sys/types.h>

#include <cstdint>
#include <string>

#include <json/value.h>

namespace nuv_test {

// The automation objects of the child's host window:
//  host object 7 "doc": properties title ("Report") and size (3); methods
//    echo (answers all its arguments as an array), open (answers its first
//    argument), close (answers null), make (answers a new copy of host
//    object 8, with a new identifier each time);
//  host object 8: property name ("copy");
//  every browser's pages receive doc; calls into other browsers answer 42.
class HostProcess {
 public:
  // Forks the child. Call before V8 or any other thread starts.
  bool Start();
  // Ends the child and waits for it.
  void Stop();

  uint32_t host_window() const { return host_window_; }
  uint32_t echo_window() const { return echo_window_; }

  // The child's request log: an array of {kind, helper, browser, request,
  // object, text, raw (hex), replied, reply}.
  Json::Value Log();
  void ClearLog();
  // How often the child was told to release host object `objectId`.
  int Releases(int32_t objectId);
  // Makes the child send a reply packet (dwData 0) to `window`; whether it
  // was delivered.
  bool SendReply(uint32_t window, int32_t browserId, int32_t requestId, const std::string& text);

 private:
  std::string Ask(const std::string& command);

  pid_t child_ = -1;
  int command_fd_ = -1;
  int answer_fd_ = -1;
  uint32_t host_window_ = 0;
  uint32_t echo_window_ = 0;
};

// Hex digits of `bytes`, two per byte.
std::string Hex(const std::string& bytes);

}  // namespace nuv_test

#endif  // NUV_TESTS_BRIDGE_HOST_PROCESS_H_
