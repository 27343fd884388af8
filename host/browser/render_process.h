// The client's side of a render process: starts the sub-process with its
// IPC socket, sends the client's commands (browsers, frame contexts, page
// script, process messages, collections, end), and collects what comes
// back (process messages, document commands, acknowledgements, errors).
//
// Every wait has a timeout that fails the wait, not the process, and a
// render process that dies or closes its socket ends every wait at once;
// its exit code or killing signal is then available. Single-threaded: use
// one RenderProcess from one thread. Waits dispatch the message windows of
// the waiting thread (cefipc::WaitForInput), so a host window living on the
// same thread keeps answering bridge requests while the client waits.
#ifndef HOST_BROWSER_RENDER_PROCESS_H_
#define HOST_BROWSER_RENDER_PROCESS_H_

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cef/ipc/frame.h"
#include "cef/ipc/frame_channel.h"
#include "cef/ipc/wire_value.h"
#include "host/browser/child_process.h"

namespace nuv {
namespace host {

// The stack size a client's browser settings usually ask for; CEF reports
// uncaught exceptions to the render process only when it is positive.
constexpr int kDefaultUncaughtExceptionStackSize = 10;

struct RenderProcessOptions {
  std::string executable;
  // CEF's sub-process type; empty starts the program without --type.
  std::string process_type = "renderer";
  // --uncaught-exception-stack-size=<n>, passed last when positive (CEF's
  // uncaught_exception_stack_size browser setting).
  int uncaught_exception_stack_size = kDefaultUncaughtExceptionStackSize;
  // Further switches, verbatim ("--nuv-log-file=/tmp/x.log", "/Debug").
  std::vector<std::string> switches;
  // Where the process's stderr goes; empty: shared with this process.
  std::string stderr_path;
};

// "--uncaught-exception-stack-size=<n>" of `options`.
std::string UncaughtExceptionStackSizeSwitch(const RenderProcessOptions& options);

struct ProcessMessage {
  int32_t browser_id = 0;
  std::u16string name;
  cefipc::WireList args;
};

struct DocumentCommand {
  int32_t browser_id = 0;
  int64_t frame_id = 0;
  std::u16string command;
  bool show_ui = false;
  std::u16string value;
  bool result = false;
};

struct CommandResult {
  enum class Outcome {
    kDone,         // handled; the runtime answered true
    kDeclined,     // handled; the runtime answered false (detail says what)
    kRefused,      // refused by the render process (detail says why)
    kNotSent,      // could not be encoded or the connection is gone
    kTimeout,      // no acknowledgement in time; the process lives on
    kProcessGone,  // the connection closed before the acknowledgement
  };
  Outcome outcome = Outcome::kNotSent;
  std::string detail;

  bool done() const { return outcome == Outcome::kDone; }
  std::string ToString() const;
};

class RenderProcess {
 public:
  // Starts the sub-process. Null (with *error) when it cannot be started.
  static std::unique_ptr<RenderProcess> Start(const RenderProcessOptions& options,
                                              std::string* error);

  // Ends the process (End with a short grace time), killing it if needed.
  ~RenderProcess();
  RenderProcess(const RenderProcess&) = delete;
  RenderProcess& operator=(const RenderProcess&) = delete;

  int pid() const;
  // True until the render process closes the connection (or CloseConnection).
  bool is_connected() const;
  // Why the connection closed; empty while connected.
  std::string disconnect_reason() const;

  // Waits for the render loop's greeting (it sends one once its runtime is
  // up). False on timeout or when the process goes away first.
  bool WaitForHello(int timeout_ms);

  // Commands. Each returns the sequence number of its frame, to wait for
  // with WaitForAck, or 0 when it could not be sent.
  uint32_t CreateBrowser(int32_t browser_id);
  uint32_t DestroyBrowser(int32_t browser_id);
  uint32_t CreateContext(int32_t browser_id,
                         int64_t frame_id,
                         bool is_main,
                         const std::u16string& frame_name,
                         const std::u16string& page_script);
  uint32_t ReleaseContext(int32_t browser_id, int64_t frame_id);
  uint32_t RunScript(int32_t browser_id, int64_t frame_id, const std::u16string& script);
  uint32_t SendProcessMessage(int32_t browser_id,
                              const std::u16string& name,
                              const cefipc::WireList& args);
  uint32_t CollectGarbage();
  uint32_t SendEnd();
  // Sends a frame as given (its sequence is assigned here). For tests of
  // the render process's refusals.
  uint32_t SendRawFrame(cefipc::Frame frame);
  // Writes bytes as they are, bypassing the codec. For tests, which take
  // the sequence number of a hand-made frame from ReserveSequence.
  bool SendRawBytes(const std::vector<uint8_t>& bytes);
  uint32_t ReserveSequence();

  // Waits for the acknowledgement of `sequence` (0 gives kNotSent). Every
  // process message and document command the command caused has arrived
  // when its acknowledgement does.
  CommandResult WaitForAck(uint32_t sequence, int timeout_ms);

  // The oldest process message not yet taken, waiting up to `timeout_ms`.
  bool WaitForMessage(int timeout_ms, ProcessMessage* message);
  // The oldest message named `name`, leaving the others queued.
  bool WaitForMessageNamed(const std::u16string& name, int timeout_ms, ProcessMessage* message);
  // Everything received so far (without waiting), oldest first.
  std::vector<ProcessMessage> TakeMessages();
  std::vector<DocumentCommand> TakeDocumentCommands();
  // Error frames of the render process and frames this side refused.
  std::vector<std::string> TakeErrors();

  // Reads what has arrived, waiting up to `timeout_ms` for something.
  void Pump(int timeout_ms);

  // Sends "end" and waits up to `timeout_ms` for the process to exit.
  // Still running afterwards: the state says so and the caller may Kill().
  ExitStatus End(int timeout_ms);
  ExitStatus WaitForExit(int timeout_ms);
  // Without waiting.
  ExitStatus exit_status();
  bool Kill(int signal);
  // Closes this side of the socket, as a client that vanishes would.
  void CloseConnection();

 private:
  RenderProcess(std::unique_ptr<ChildProcess> child, std::unique_ptr<cefipc::FrameChannel> channel);

  uint32_t Send(cefipc::Frame frame);
  // Flushes, reads and sorts every complete frame; returns whether anything
  // arrived.
  bool ReadIncoming();
  bool ReadIncomingFrames();
  void Sort(const cefipc::Frame& frame);
  // Waits until `ready` holds, the deadline passes or the connection ends.
  template <typename Ready>
  bool WaitUntil(Ready ready, int timeout_ms);
  void Log(const std::string& line);

  std::unique_ptr<ChildProcess> child_;
  std::unique_ptr<cefipc::FrameChannel> channel_;
  bool hello_ = false;
  std::deque<ProcessMessage> messages_;
  std::vector<DocumentCommand> document_commands_;
  std::vector<std::string> errors_;
  std::map<uint32_t, cefipc::Frame> acks_;
};

}  // namespace host
}  // namespace nuv

#endif  // HOST_BROWSER_RENDER_PROCESS_H_
