#include "cef/ipc/render_loop.h"

#include <unistd.h>

#include <exception>
#include <utility>

#include "cef/ipc/idle_wait.h"
#include "cef/ipc/ipc_log.h"
#include "cef/ipc/list_value_convert.h"
#include "cef/ipc/wire_text.h"
#include "cef/runtime/task_queue.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace cefipc {

namespace {

std::string Describe(const Frame& frame) {
  std::string out = std::string(FrameKindName(frame.kind)) + " #" + std::to_string(frame.sequence);
  switch (frame.kind) {
    case FrameKind::kBrowserCreated:
    case FrameKind::kBrowserDestroyed:
    case FrameKind::kProcessMessage:
      out += " (browser " + std::to_string(frame.browser_id) + ")";
      break;
    case FrameKind::kContextCreated:
    case FrameKind::kContextReleased:
    case FrameKind::kRunScript:
      out += " (browser " + std::to_string(frame.browser_id) + ", frame " +
             std::to_string(frame.frame_id) + ")";
      break;
    default:
      break;
  }
  return out;
}

}  // namespace

RenderLoop::RenderLoop(int fd, const cefrt::RenderRuntimeSettings& settings)
    : channel_(std::make_unique<FrameChannel>(fd)), settings_(settings) {}

RenderLoop::~RenderLoop() {
  // The runtime calls back into this object while it releases its browsers.
  runtime_.reset();
  watcher_.Stop();
}

void RenderLoop::Log(const std::string& line) {
  IpcLog("render", line);
}

int RenderLoop::Run(CefRefPtr<CefApp> app) {
  if (!channel_->is_open()) {
    Log("cannot use the IPC socket: " + channel_->close_reason());
    return kExitBrokenStream;
  }
  watcher_.Start(channel_->fd());
  runtime_ = cefrt::RenderRuntime::Create(app, this, settings_);
  if (!runtime_) {
    Log("the script runtime could not be created; ending the render process");
    return kExitNoRuntime;
  }
  Send(MakeHello(static_cast<int32_t>(getpid())));
  SetBlockingSendHook(&RenderLoop::FlushBeforeBlocking, this);

  while (HandleBufferedFrames()) {
    if (!channel_->is_open())
      break;
    // Idle: tasks posted to the render thread run now, outside any callback.
    cefrt::RunPendingTasks();
    if (WaitForInput(channel_->fd(), -1) == WaitResult::kError) {
      Log("waiting for the client failed; ending the render process");
      broken_ = true;
      break;
    }
    channel_->ReadAvailable();
  }
  watcher_.NoteEnding();
  if (!ended_ && !broken_)
    Log("the client closed the IPC channel (" + channel_->close_reason() +
        "); ending the render process");
  // Browsers still open are released now; what that sends goes out while
  // the socket is still there. Tasks still queued run first, then nothing
  // queued after the runtime is gone can run any more.
  cefrt::RunPendingTasks();
  runtime_.reset();
  cefrt::DropPendingTasks();
  SetBlockingSendHook(nullptr, nullptr);
  watcher_.Stop();
  channel_->Close("render loop ended");
  return broken_ ? kExitBrokenStream : kExitEnded;
}

bool RenderLoop::HandleBufferedFrames() {
  while (!ended_ && !broken_) {
    Frame frame;
    bool sequence_known = false;
    std::string error;
    switch (channel_->NextFrame(&frame, &sequence_known, &error)) {
      case FrameChannel::NextResult::kNone:
        return true;
      case FrameChannel::NextResult::kFrame:
        Handle(frame);
        break;
      case FrameChannel::NextResult::kBadFrame:
        if (!channel_->is_open()) {
          // An oversized length: nothing after it can be trusted.
          Log("refused: " + error);
          broken_ = true;
          return false;
        }
        if (sequence_known) {
          std::string why;
          if (!AcceptSequence(frame.sequence, &why))
            error += "; " + why;
          Log("refused frame #" + std::to_string(frame.sequence) + ": " + error);
          Acknowledge(frame.sequence, AckStatus::kRefused, error);
        } else {
          Log("refused: " + error);
          Send(MakeError(Utf8ToUtf16(error)));
        }
        break;
    }
  }
  return false;
}

bool RenderLoop::AcceptSequence(uint32_t sequence, std::string* why) {
  // Every frame whose number could be read uses it up, even when refused,
  // so one bad frame does not shift the numbering of the good ones.
  if (sequence <= last_sequence_) {
    *why = "sequence " + std::to_string(sequence) + " does not follow " +
           std::to_string(last_sequence_);
    return false;
  }
  last_sequence_ = sequence;
  return true;
}

void RenderLoop::Handle(const Frame& frame) {
  std::string why;
  if (!AcceptSequence(frame.sequence, &why)) {
    Log("refused " + Describe(frame) + ": " + why);
    Acknowledge(frame.sequence, AckStatus::kRefused, why);
    return;
  }
  if (!IsClientFrameKind(static_cast<uint8_t>(frame.kind))) {
    why = std::string(FrameKindName(frame.kind)) + " is not a client frame";
    Log("refused frame #" + std::to_string(frame.sequence) + ": " + why);
    Acknowledge(frame.sequence, AckStatus::kRefused, why);
    return;
  }

  std::string detail;
  AckStatus status = AckStatus::kRefused;
  // A command's result leaves together with the command's acknowledgement.
  hold_output_ = frame.kind == FrameKind::kProcessMessage;
  try {
    status = Dispatch(frame, &detail);
  } catch (const std::exception& e) {
    detail = std::string("failed with an exception: ") + e.what();
  } catch (...) {
    detail = "failed with an exception";
  }
  hold_output_ = false;
  if (status == AckStatus::kRefused)
    Log("refused " + Describe(frame) + ": " + detail);
  Acknowledge(frame.sequence, status, detail);
}

bool RenderLoop::HasContext(int32_t browser_id, int64_t frame_id) const {
  auto it = browsers_.find(browser_id);
  return it != browsers_.end() && it->second.count(frame_id) != 0;
}

AckStatus RenderLoop::Dispatch(const Frame& frame, std::string* detail) {
  const int32_t id = frame.browser_id;
  const bool known = browsers_.count(id) != 0;
  const std::string browser = "browser " + std::to_string(id);
  const std::string where = browser + " frame " + std::to_string(frame.frame_id);
  auto answer = [detail](bool ok, const char* declined_why) {
    if (!ok)
      *detail = declined_why;
    return ok ? AckStatus::kDone : AckStatus::kDeclined;
  };

  switch (frame.kind) {
    case FrameKind::kBrowserCreated:
      if (known) {
        *detail = browser + " exists already";
        return AckStatus::kRefused;
      }
      if (!runtime_->CreateBrowser(id))
        return answer(false, "the runtime did not create the browser");
      browsers_[id];
      return AckStatus::kDone;

    case FrameKind::kBrowserDestroyed: {
      if (!known) {
        *detail = "unknown " + browser;
        return AckStatus::kRefused;
      }
      const bool ok = runtime_->DestroyBrowser(id);
      browsers_.erase(id);
      return answer(ok, "the runtime did not destroy the browser");
    }

    case FrameKind::kContextCreated: {
      if (!known) {
        *detail = "context for unknown " + browser;
        return AckStatus::kRefused;
      }
      // A frame that has a context gets a fresh one (a navigation): the
      // runtime releases the old one first.
      const bool ok = runtime_->CreateContext(id, frame.frame_id, frame.flag, CefString(frame.name),
                                              CefString(frame.text));
      // The context exists even when the page script threw: ask the frame
      // rather than trusting the result.
      CefRefPtr<CefBrowser> b = runtime_->GetBrowser(id);
      CefRefPtr<CefFrame> f = b ? b->GetFrame(frame.frame_id) : nullptr;
      CefRefPtr<CefV8Context> context = f ? f->GetV8Context() : nullptr;
      if (context && context->IsValid())
        browsers_[id].insert(frame.frame_id);
      else
        browsers_[id].erase(frame.frame_id);
      return answer(ok, "the runtime did not create the context or the page script failed");
    }

    case FrameKind::kContextReleased: {
      if (!HasContext(id, frame.frame_id)) {
        *detail = known ? where + " has no context" : "unknown " + browser;
        return AckStatus::kRefused;
      }
      browsers_[id].erase(frame.frame_id);
      return answer(runtime_->ReleaseContext(id, frame.frame_id),
                    "the runtime did not release the context");
    }

    case FrameKind::kRunScript:
      if (!HasContext(id, frame.frame_id)) {
        *detail = known ? where + " has no context" : "unknown " + browser;
        return AckStatus::kRefused;
      }
      return answer(runtime_->RunPageScript(id, frame.frame_id, CefString(frame.text)),
                    "the script threw or did not run");

    case FrameKind::kProcessMessage: {
      if (!known) {
        *detail = "message for unknown " + browser;
        return AckStatus::kRefused;
      }
      CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(CefString(frame.name));
      if (!message) {
        *detail = "the message could not be created";
        return AckStatus::kRefused;
      }
      WireToListValue(frame.args, message->GetArgumentList());
      return answer(runtime_->DeliverProcessMessage(id, message),
                    "the render-process handler did not handle the message");
    }

    case FrameKind::kCollectGarbage:
      runtime_->CollectGarbage();
      return AckStatus::kDone;

    case FrameKind::kEnd:
      // Release what is still open while the client can still hear about it.
      runtime_.reset();
      browsers_.clear();
      ended_ = true;
      return AckStatus::kDone;

    default:
      *detail = "not a client frame";
      return AckStatus::kRefused;
  }
}

void RenderLoop::Send(Frame frame) {
  if (!channel_->is_open()) {
    if (!reported_lost_peer_) {
      reported_lost_peer_ = true;
      Log("the client is gone (" + channel_->close_reason() + "); " + FrameKindName(frame.kind) +
          " and later frames are dropped");
    }
    return;
  }
  // Only the latest frame is held: what was held before leaves now.
  if (hold_output_)
    Flush();
  const FrameKind kind = frame.kind;
  std::string error;
  if (!channel_->Queue(std::move(frame), &error)) {
    Log(std::string("not sent: ") + FrameKindName(kind) + ": " + error);
    if (kind != FrameKind::kError)
      Send(MakeError(Utf8ToUtf16(std::string(FrameKindName(kind)) + " not sent: " + error)));
    return;
  }
  if (!hold_output_)
    Flush();
}

void RenderLoop::Flush() {
  if (flushing_ || !channel_->has_pending_output())
    return;
  flushing_ = true;
  if (!channel_->FlushAll(-1) && !reported_lost_peer_) {
    reported_lost_peer_ = true;
    Log("the client is gone (" + channel_->close_reason() + "); frames are dropped");
  }
  flushing_ = false;
}

void RenderLoop::FlushBeforeBlocking(void* self) {
  static_cast<RenderLoop*>(self)->Flush();
}

void RenderLoop::Acknowledge(uint32_t sequence, AckStatus status, const std::string& detail) {
  Send(MakeAck(sequence, status, Utf8ToUtf16(detail)));
}

void RenderLoop::OnProcessMessageToBrowser(int browser_id, CefRefPtr<CefProcessMessage> message) {
  if (!message)
    return;
  try {
    WireList args;
    std::string error;
    const std::u16string name = message->GetName().ToString16();
    if (!ListValueToWire(message->GetArgumentList(), &args, &error)) {
      const std::string why = "message \"" + Utf16ToUtf8(name) + "\" of browser " +
                              std::to_string(browser_id) + " not sent: " + error;
      Log(why);
      Send(MakeError(Utf8ToUtf16(why)));
      return;
    }
    Send(MakeMessageToBrowser(browser_id, name, std::move(args)));
  } catch (const std::exception& e) {
    Log(std::string("a message of browser ") + std::to_string(browser_id) +
        " was lost: " + e.what());
  }
}

void RenderLoop::OnDocumentCommand(int browser_id,
                                   int64 frame_id,
                                   const CefString& command,
                                   bool show_ui,
                                   const CefString& value,
                                   bool result) {
  try {
    Send(MakeDocumentCommand(browser_id, frame_id, command.ToString16(), show_ui,
                             value.ToString16(), result));
  } catch (const std::exception& e) {
    Log(std::string("a document command of browser ") + std::to_string(browser_id) +
        " was lost: " + e.what());
  }
}

}  // namespace cefipc
