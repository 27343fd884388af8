#include "cef/ipc/frame.h"

#include <utility>

namespace cefipc {

bool IsClientFrameKind(uint8_t kind) {
  return kind >= static_cast<uint8_t>(FrameKind::kBrowserCreated) &&
         kind <= static_cast<uint8_t>(FrameKind::kEnd);
}

bool IsRenderFrameKind(uint8_t kind) {
  return kind >= static_cast<uint8_t>(FrameKind::kHello) &&
         kind <= static_cast<uint8_t>(FrameKind::kError);
}

const char* FrameKindName(FrameKind kind) {
  switch (kind) {
    case FrameKind::kBrowserCreated:
      return "browser-created";
    case FrameKind::kBrowserDestroyed:
      return "browser-destroyed";
    case FrameKind::kContextCreated:
      return "context-created";
    case FrameKind::kContextReleased:
      return "context-released";
    case FrameKind::kRunScript:
      return "run-script";
    case FrameKind::kProcessMessage:
      return "process-message";
    case FrameKind::kCollectGarbage:
      return "collect-garbage";
    case FrameKind::kEnd:
      return "end";
    case FrameKind::kHello:
      return "hello";
    case FrameKind::kMessageToBrowser:
      return "message-to-browser";
    case FrameKind::kDocumentCommand:
      return "document-command";
    case FrameKind::kAck:
      return "ack";
    case FrameKind::kError:
      return "error";
  }
  return "unknown";
}

const char* AckStatusName(AckStatus status) {
  switch (status) {
    case AckStatus::kDone:
      return "done";
    case AckStatus::kDeclined:
      return "declined";
    case AckStatus::kRefused:
      return "refused";
  }
  return "unknown";
}

namespace {

// A frame of `kind` addressed to a browser and, for frame-level kinds, one
// of its frames; the rest of the fields keep their defaults.
Frame Make(FrameKind kind, int32_t browser_id = 0, int64_t frame_id = 0) {
  Frame frame;
  frame.kind = kind;
  frame.browser_id = browser_id;
  frame.frame_id = frame_id;
  return frame;
}

// A process message in either direction.
Frame MakeMessage(FrameKind kind, int32_t browser_id, std::u16string name, WireList args) {
  Frame frame = Make(kind, browser_id);
  frame.name = std::move(name);
  frame.args = std::move(args);
  return frame;
}

}  // namespace

Frame MakeBrowserCreated(int32_t browser_id) {
  return Make(FrameKind::kBrowserCreated, browser_id);
}

Frame MakeBrowserDestroyed(int32_t browser_id) {
  return Make(FrameKind::kBrowserDestroyed, browser_id);
}

Frame MakeContextCreated(int32_t browser_id,
                         int64_t frame_id,
                         bool is_main,
                         std::u16string frame_name,
                         std::u16string page_script) {
  Frame f = Make(FrameKind::kContextCreated, browser_id, frame_id);
  f.flag = is_main;
  f.name = std::move(frame_name);
  f.text = std::move(page_script);
  return f;
}

Frame MakeContextReleased(int32_t browser_id, int64_t frame_id) {
  return Make(FrameKind::kContextReleased, browser_id, frame_id);
}

Frame MakeRunScript(int32_t browser_id, int64_t frame_id, std::u16string script) {
  Frame f = Make(FrameKind::kRunScript, browser_id, frame_id);
  f.text = std::move(script);
  return f;
}

Frame MakeProcessMessage(int32_t browser_id, std::u16string name, WireList args) {
  return MakeMessage(FrameKind::kProcessMessage, browser_id, std::move(name), std::move(args));
}

Frame MakeCollectGarbage() {
  return Make(FrameKind::kCollectGarbage);
}

Frame MakeEnd() {
  return Make(FrameKind::kEnd);
}

Frame MakeHello(int32_t process_id) {
  Frame f = Make(FrameKind::kHello);
  f.ack_sequence = kProtocolVersion;
  f.browser_id = process_id;
  return f;
}

Frame MakeMessageToBrowser(int32_t browser_id, std::u16string name, WireList args) {
  return MakeMessage(FrameKind::kMessageToBrowser, browser_id, std::move(name), std::move(args));
}

Frame MakeDocumentCommand(int32_t browser_id,
                          int64_t frame_id,
                          std::u16string command,
                          bool show_ui,
                          std::u16string value,
                          bool result) {
  Frame f = Make(FrameKind::kDocumentCommand, browser_id, frame_id);
  f.name = std::move(command);
  f.flag = show_ui;
  f.text = std::move(value);
  f.result = result;
  return f;
}

Frame MakeAck(uint32_t ack_sequence, AckStatus status, std::u16string detail) {
  Frame f = Make(FrameKind::kAck);
  f.ack_sequence = ack_sequence;
  f.status = status;
  f.text = std::move(detail);
  return f;
}

Frame MakeError(std::u16string detail) {
  Frame f = Make(FrameKind::kError);
  f.text = std::move(detail);
  return f;
}

}  // namespace cefipc
