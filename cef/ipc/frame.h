// The frames of the runtime's IPC between the client and a render process,
// and their byte layout. Every frame on the stream is
//
//   u32 length     bytes that follow, kFrameHeaderSize..kMaxFrameBodySize
//   u8  kind       FrameKind
//   u32 sequence   the sender's running number, 1, 2, 3, ...
//   ...            the fields of the kind (table in docs/runtime-ipc.md)
//
// Integers are little-endian, doubles IEEE-754 binary64 little-endian,
// booleans one byte 0 or 1, texts u32 count of UTF-16 code units followed by
// the code units, lists u32 count followed by tagged values (wire_codec.cc).
// The layout, the limits and the ordering rules are described in
// docs/runtime-ipc.md.
#ifndef CEF_IPC_FRAME_H_
#define CEF_IPC_FRAME_H_

#include <cstdint>
#include <string>

#include "cef/ipc/wire_value.h"

namespace cefipc {

constexpr uint32_t kProtocolVersion = 1;

// A frame body (kind + sequence + fields) larger than this is refused; the
// stream cannot be trusted after such a length and is closed.
constexpr uint32_t kMaxFrameBodySize = 64u * 1024u * 1024u;
constexpr uint32_t kFrameHeaderSize = 5;  // kind + sequence
constexpr uint32_t kLengthPrefixSize = 4;

// Lists nested deeper than this are refused (decoding recurses).
constexpr int kMaxListDepth = 32;

enum class FrameKind : uint8_t {
  // client -> render process
  kBrowserCreated = 0x01,    // browser_id
  kBrowserDestroyed = 0x02,  // browser_id
  kContextCreated = 0x03,   // browser_id, frame_id, flag=is_main, name=frame name, text=page script
  kContextReleased = 0x04,  // browser_id, frame_id
  kRunScript = 0x05,        // browser_id, frame_id, text=script
  kProcessMessage = 0x06,   // browser_id, name=message name, args
  kCollectGarbage = 0x07,   // no fields
  kEnd = 0x08,              // no fields

  // render process -> client
  kHello = 0x81,             // ack_sequence=protocol version, browser_id=process id
  kMessageToBrowser = 0x82,  // browser_id, name=message name, args
  kDocumentCommand = 0x83,   // browser_id, frame_id, name=command, flag=show_ui, text=value, result
  kAck = 0x84,               // ack_sequence, status, text=detail
  kError = 0x85,             // text=detail (a frame whose sequence could not be read)
};

// How the render process handled a client frame.
enum class AckStatus : uint8_t {
  kDone = 0,      // carried out; the runtime call answered true
  kDeclined = 1,  // carried out; the runtime call answered false (e.g. message not handled)
  kRefused = 2,   // not carried out: malformed, out of order or unknown target
};

// One frame of either direction. Only the members the kind names are on the
// wire; the others keep their defaults.
struct Frame {
  FrameKind kind = FrameKind::kEnd;
  uint32_t sequence = 0;
  int32_t browser_id = 0;
  int64_t frame_id = 0;
  bool flag = false;
  bool result = false;
  std::u16string name;
  std::u16string text;
  WireList args;
  uint32_t ack_sequence = 0;
  AckStatus status = AckStatus::kDone;
};

bool IsClientFrameKind(uint8_t kind);
bool IsRenderFrameKind(uint8_t kind);
const char* FrameKindName(FrameKind kind);
const char* AckStatusName(AckStatus status);

// Builders for each kind; the sequence is set by the sender.
Frame MakeBrowserCreated(int32_t browser_id);
Frame MakeBrowserDestroyed(int32_t browser_id);
Frame MakeContextCreated(int32_t browser_id,
                         int64_t frame_id,
                         bool is_main,
                         std::u16string frame_name,
                         std::u16string page_script);
Frame MakeContextReleased(int32_t browser_id, int64_t frame_id);
Frame MakeRunScript(int32_t browser_id, int64_t frame_id, std::u16string script);
Frame MakeProcessMessage(int32_t browser_id, std::u16string name, WireList args);
Frame MakeCollectGarbage();
Frame MakeEnd();
Frame MakeHello(int32_t process_id);
Frame MakeMessageToBrowser(int32_t browser_id, std::u16string name, WireList args);
Frame MakeDocumentCommand(int32_t browser_id,
                          int64_t frame_id,
                          std::u16string command,
                          bool show_ui,
                          std::u16string value,
                          bool result);
Frame MakeAck(uint32_t ack_sequence, AckStatus status, std::u16string detail);
Frame MakeError(std::u16string detail);

}  // namespace cefipc

#endif  // CEF_IPC_FRAME_H_
