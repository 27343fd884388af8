#include "host/browser/render_process.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "cef/ipc/idle_wait.h"
#include "cef/ipc/ipc_log.h"
#include "cef/ipc/ipc_switches.h"
#include "cef/ipc/monotonic_clock.h"
#include "cef/ipc/wire_text.h"

namespace nuv {
namespace host {

namespace {

using cefipc::Frame;
using cefipc::FrameKind;

// Acknowledgements nobody waits for are kept up to this many.
constexpr size_t kMaxUnclaimedAcks = 4096;
// Grace time of the destructor before it kills the process.
constexpr int kDestructorGraceMs = 3000;

}  // namespace

std::string CommandResult::ToString() const {
  const char* names[] = {"done", "declined", "refused", "not sent", "timeout", "process gone"};
  std::string out = names[static_cast<int>(outcome)];
  if (!detail.empty())
    out += ": " + detail;
  return out;
}

std::string UncaughtExceptionStackSizeSwitch(const RenderProcessOptions& options) {
  return std::string("--") + cefipc::kUncaughtExceptionStackSizeSwitch + "=" +
         std::to_string(options.uncaught_exception_stack_size);
}

std::unique_ptr<RenderProcess> RenderProcess::Start(const RenderProcessOptions& options,
                                                    std::string* error) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
    *error = std::string("socketpair failed: ") + strerror(errno);
    return nullptr;
  }
  ChildProcess::Options child_options;
  child_options.executable = options.executable;
  if (!options.process_type.empty())
    child_options.args.push_back(std::string("--") + cefipc::kProcessTypeSwitch + "=" +
                                 options.process_type);
  child_options.args.push_back(std::string("--") + cefipc::kIpcFdSwitch + "=" +
                               std::to_string(fds[1]));
  child_options.args.insert(child_options.args.end(), options.switches.begin(),
                            options.switches.end());
  if (options.uncaught_exception_stack_size > 0)
    child_options.args.push_back(UncaughtExceptionStackSizeSwitch(options));
  child_options.inherit_fd = fds[1];
  child_options.stderr_path = options.stderr_path;

  std::unique_ptr<ChildProcess> child = ChildProcess::Start(child_options, error);
  close(fds[1]);
  if (!child) {
    close(fds[0]);
    return nullptr;
  }
  return std::unique_ptr<RenderProcess>(
      new RenderProcess(std::move(child), std::make_unique<cefipc::FrameChannel>(fds[0])));
}

RenderProcess::RenderProcess(std::unique_ptr<ChildProcess> child,
                             std::unique_ptr<cefipc::FrameChannel> channel)
    : child_(std::move(child)), channel_(std::move(channel)) {}

RenderProcess::~RenderProcess() {
  if (child_->Poll().running())
    End(kDestructorGraceMs);
  // ChildProcess kills and reaps what is still running.
}

int RenderProcess::pid() const {
  return child_->pid();
}

bool RenderProcess::is_connected() const {
  return channel_->is_open();
}

std::string RenderProcess::disconnect_reason() const {
  return channel_->is_open() ? std::string() : channel_->close_reason();
}

void RenderProcess::Log(const std::string& line) {
  cefipc::IpcLog("client", line);
}

uint32_t RenderProcess::Send(Frame frame) {
  const FrameKind kind = frame.kind;
  std::string error;
  const uint32_t sequence = channel_->Queue(std::move(frame), &error);
  if (!sequence) {
    const std::string line = std::string(cefipc::FrameKindName(kind)) + " not sent: " + error;
    Log(line);
    errors_.push_back(line);
    return 0;
  }
  // Whatever the socket does not take now goes out during the next wait.
  channel_->FlushSome();
  return sequence;
}

uint32_t RenderProcess::CreateBrowser(int32_t browser_id) {
  return Send(cefipc::MakeBrowserCreated(browser_id));
}

uint32_t RenderProcess::DestroyBrowser(int32_t browser_id) {
  return Send(cefipc::MakeBrowserDestroyed(browser_id));
}

uint32_t RenderProcess::CreateContext(int32_t browser_id,
                                      int64_t frame_id,
                                      bool is_main,
                                      const std::u16string& frame_name,
                                      const std::u16string& page_script) {
  return Send(cefipc::MakeContextCreated(browser_id, frame_id, is_main, frame_name, page_script));
}

uint32_t RenderProcess::ReleaseContext(int32_t browser_id, int64_t frame_id) {
  return Send(cefipc::MakeContextReleased(browser_id, frame_id));
}

uint32_t RenderProcess::RunScript(int32_t browser_id,
                                  int64_t frame_id,
                                  const std::u16string& script) {
  return Send(cefipc::MakeRunScript(browser_id, frame_id, script));
}

uint32_t RenderProcess::SendProcessMessage(int32_t browser_id,
                                           const std::u16string& name,
                                           const cefipc::WireList& args) {
  return Send(cefipc::MakeProcessMessage(browser_id, name, args));
}

uint32_t RenderProcess::CollectGarbage() {
  return Send(cefipc::MakeCollectGarbage());
}

uint32_t RenderProcess::SendEnd() {
  return Send(cefipc::MakeEnd());
}

uint32_t RenderProcess::SendRawFrame(Frame frame) {
  return Send(std::move(frame));
}

uint32_t RenderProcess::ReserveSequence() {
  return channel_->TakeSequence();
}

bool RenderProcess::SendRawBytes(const std::vector<uint8_t>& bytes) {
  if (!channel_->is_open())
    return false;
  const uint8_t* p = bytes.data();
  size_t left = bytes.size();
  // Anything still queued goes first, so the bytes land where intended.
  if (!channel_->FlushAll(5000))
    return false;
  while (left > 0) {
    const ssize_t n = ::send(channel_->fd(), p, left, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      left -= static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      cefipc::WaitForInput(-1, 5);
      ReadIncoming();
    } else {
      return false;
    }
  }
  return true;
}

bool RenderProcess::ReadIncoming() {
  // Out of memory while buffering or decoding a large frame: the connection
  // is given up rather than letting the exception reach the caller.
  try {
    return ReadIncomingFrames();
  } catch (const std::exception& e) {
    const std::string line = std::string("connection given up: ") + e.what();
    Log(line);
    errors_.push_back(line);
    channel_->Close(line);
    return true;
  }
}

bool RenderProcess::ReadIncomingFrames() {
  channel_->FlushSome();
  channel_->ReadAvailable();
  bool any = false;
  for (;;) {
    Frame frame;
    bool sequence_known = false;
    std::string error;
    switch (channel_->NextFrame(&frame, &sequence_known, &error)) {
      case cefipc::FrameChannel::NextResult::kNone:
        return any;
      case cefipc::FrameChannel::NextResult::kFrame:
        any = true;
        Sort(frame);
        break;
      case cefipc::FrameChannel::NextResult::kBadFrame:
        any = true;
        Log("refused a frame of the render process: " + error);
        errors_.push_back("refused a frame of the render process: " + error);
        break;
    }
  }
}

void RenderProcess::Sort(const Frame& frame) {
  switch (frame.kind) {
    case FrameKind::kHello:
      if (frame.ack_sequence != cefipc::kProtocolVersion) {
        const std::string line = "render process speaks protocol " +
                                 std::to_string(frame.ack_sequence) + ", this client " +
                                 std::to_string(cefipc::kProtocolVersion);
        Log(line);
        errors_.push_back(line);
      }
      hello_ = true;
      return;
    case FrameKind::kMessageToBrowser:
      messages_.push_back(ProcessMessage{frame.browser_id, frame.name, frame.args});
      return;
    case FrameKind::kDocumentCommand:
      document_commands_.push_back(DocumentCommand{frame.browser_id, frame.frame_id, frame.name,
                                                   frame.flag, frame.text, frame.result});
      return;
    case FrameKind::kAck:
      acks_[frame.ack_sequence] = frame;
      if (acks_.size() > kMaxUnclaimedAcks)
        acks_.erase(acks_.begin());
      return;
    case FrameKind::kError:
      errors_.push_back("render process: " + cefipc::Utf16ToUtf8(frame.text));
      return;
    default: {
      const std::string line = std::string("refused a ") + cefipc::FrameKindName(frame.kind) +
                               " frame from the render process: not a render-process frame";
      Log(line);
      errors_.push_back(line);
      return;
    }
  }
}

template <typename Ready>
bool RenderProcess::WaitUntil(Ready ready, int timeout_ms) {
  const int64_t deadline = timeout_ms < 0 ? -1 : cefipc::MonotonicNowMs() + timeout_ms;
  // What was read before may do already; otherwise the socket is read only
  // once the wait says it has something (a read ahead of the wait would
  // mostly hear EAGAIN), and once more when the time is up.
  for (;;) {
    if (ready())
      return true;
    if (!channel_->is_open())
      return false;
    int slice = -1;
    if (deadline >= 0) {
      const int64_t left = deadline - cefipc::MonotonicNowMs();
      if (left <= 0) {
        ReadIncoming();
        return ready();
      }
      slice = static_cast<int>(left);
    }
    // Output that did not fit is retried every few milliseconds.
    if (channel_->has_pending_output()) {
      channel_->FlushSome();
      if (channel_->has_pending_output() && (slice < 0 || slice > 5))
        slice = 5;
    }
    cefipc::WaitForInput(channel_->fd(), slice);
    ReadIncoming();
  }
}

bool RenderProcess::WaitForHello(int timeout_ms) {
  return WaitUntil([this] { return hello_; }, timeout_ms);
}

CommandResult RenderProcess::WaitForAck(uint32_t sequence, int timeout_ms) {
  CommandResult result;
  if (sequence == 0) {
    result.outcome = CommandResult::Outcome::kNotSent;
    return result;
  }
  const bool arrived =
      WaitUntil([this, sequence] { return acks_.count(sequence) != 0; }, timeout_ms);
  if (!arrived) {
    result.outcome = channel_->is_open() ? CommandResult::Outcome::kTimeout
                                         : CommandResult::Outcome::kProcessGone;
    if (!channel_->is_open())
      result.detail = channel_->close_reason();
    return result;
  }
  auto it = acks_.find(sequence);
  switch (it->second.status) {
    case cefipc::AckStatus::kDone:
      result.outcome = CommandResult::Outcome::kDone;
      break;
    case cefipc::AckStatus::kDeclined:
      result.outcome = CommandResult::Outcome::kDeclined;
      break;
    case cefipc::AckStatus::kRefused:
      result.outcome = CommandResult::Outcome::kRefused;
      break;
  }
  result.detail = cefipc::Utf16ToUtf8(it->second.text);
  acks_.erase(it);
  return result;
}

bool RenderProcess::WaitForMessage(int timeout_ms, ProcessMessage* message) {
  if (!WaitUntil([this] { return !messages_.empty(); }, timeout_ms))
    return false;
  *message = std::move(messages_.front());
  messages_.pop_front();
  return true;
}

bool RenderProcess::WaitForMessageNamed(const std::u16string& name,
                                        int timeout_ms,
                                        ProcessMessage* message) {
  auto find = [this, &name] {
    for (auto it = messages_.begin(); it != messages_.end(); ++it) {
      if (it->name == name)
        return it;
    }
    return messages_.end();
  };
  if (!WaitUntil([this, &find] { return find() != messages_.end(); }, timeout_ms))
    return false;
  auto it = find();
  *message = std::move(*it);
  messages_.erase(it);
  return true;
}

std::vector<ProcessMessage> RenderProcess::TakeMessages() {
  ReadIncoming();
  std::vector<ProcessMessage> out(std::make_move_iterator(messages_.begin()),
                                  std::make_move_iterator(messages_.end()));
  messages_.clear();
  return out;
}

std::vector<DocumentCommand> RenderProcess::TakeDocumentCommands() {
  ReadIncoming();
  return std::move(document_commands_);
}

std::vector<std::string> RenderProcess::TakeErrors() {
  ReadIncoming();
  return std::move(errors_);
}

void RenderProcess::Pump(int timeout_ms) {
  bool any = false;
  WaitUntil(
      [this, &any] {
        any = any || ReadIncoming();
        return any;
      },
      timeout_ms);
}

ExitStatus RenderProcess::End(int timeout_ms) {
  const int64_t deadline = timeout_ms < 0 ? -1 : cefipc::MonotonicNowMs() + timeout_ms;
  if (channel_->is_open() && child_->Poll().running()) {
    const uint32_t sequence = SendEnd();
    if (sequence)
      WaitForAck(sequence, timeout_ms);
  }
  // Whatever arrived before the end stays readable.
  ReadIncoming();
  int left = -1;
  if (deadline >= 0)
    left = static_cast<int>(std::max<int64_t>(0, deadline - cefipc::MonotonicNowMs()));
  ExitStatus status = child_->WaitForExit(left);
  if (!status.running())
    channel_->Close("render process ended");
  return status;
}

ExitStatus RenderProcess::WaitForExit(int timeout_ms) {
  return child_->WaitForExit(timeout_ms);
}

ExitStatus RenderProcess::exit_status() {
  return child_->Poll();
}

bool RenderProcess::Kill(int signal) {
  return child_->Kill(signal);
}

void RenderProcess::CloseConnection() {
  ReadIncoming();
  channel_->Close("closed by the client");
}

}  // namespace host
}  // namespace nuv
