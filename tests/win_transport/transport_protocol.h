// The little protocol the two processes of the transport test speak: bridge
// packets in their wire layout (browser id, request id, object id, text, a
// zero byte and three bytes of padding; a reply has its text right after the
// 12-byte header) and the kinds the peer understands. Test support only.
#ifndef NUV_TESTS_WIN_TRANSPORT_TRANSPORT_PROTOCOL_H_
#define NUV_TESTS_WIN_TRANSPORT_TRANSPORT_PROTOCOL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_window.h"

namespace nuv {
namespace testing {

// dwData values. 0 to 6 are the bridge's own: a reply and the six requests,
// which the peer answers like a client's host window does.
enum TransportKind : uintptr_t {
  kKindReply = 0,
  kKindFirstRequest = 1,
  kKindLastRequest = 6,
  // The peer sends kKindPing to the requesting window while it handles the
  // request, and replies with the number of kKindPong messages it received
  // during that nested send.
  kKindPingPong = 7,
  // The peer sends kKindProbe to the window whose handle is the request's
  // object id and replies "refused" or "accepted".
  kKindSendToObject = 8,
  // The peer stops: destroys its host window once the request has returned,
  // then ends with exit code 0.
  kKindQuit = 9,
  // The peer sends the request's bytes, exactly as it received them, back to
  // the requesting window as kKindMirrored, and replies
  // "mirrored:<cbData>:<PacketDigest in hex>" of what it received.
  kKindMirror = 10,
  // The peer replies "bye soon" and destroys its host window about a second
  // later from its own loop (not from a handler), then ends with exit code 0.
  kKindQuitSoon = 11,
  // The peer sends no reply packet; its handler's result is kWideResult in a
  // 64-bit peer (more than 32 bits) and kWideResult's low 32 bits in a 32-bit
  // one.
  kKindWideResult = 12,
  // Peer to anchor window: 8 bytes, the host window handle and the peer's
  // pointer width in bits (32 or 64), little-endian 32-bit each.
  kKindHello = 100,
  kKindPing = 101,
  kKindPong = 102,
  kKindProbe = 103,
  kKindMirrored = 104,
};

constexpr uint64_t kWideResult = 0x500000007ull;

// Results of the peer's host window for a request.
enum PeerResult : intptr_t {
  kPeerReplied = 1,
  kPeerReplyRefused = 2,  // its reply could not be sent to wParam
  kPeerMalformed = 3,     // the request packet broke the layout
};

struct BridgePacket {
  int32_t browser_id = 0;
  int32_t request_id = 0;
  int32_t object_id = 0;
  std::string text;
};

// A request packet: header, text, terminator and three bytes of padding.
std::vector<uint8_t> EncodeRequest(const BridgePacket& packet);
// A reply packet: header, text and terminator.
std::vector<uint8_t> EncodeReply(const BridgePacket& packet);

// Reads a request and checks its layout exactly (cbData = text + 16, the
// terminator and the padding are zero, no zero byte inside the text).
bool DecodeRequest(const platform::CopyData& data, BridgePacket* packet);
// Reads a reply: the text runs to the first zero byte or to cbData.
bool DecodeReply(const platform::CopyData& data, BridgePacket* packet);

platform::CopyData MakeCopyData(uintptr_t kind, const std::vector<uint8_t>& bytes);

// FNV-1a (64-bit) of `size` bytes, written as 16 lower-case hex digits.
std::string PacketDigest(const void* data, size_t size);

// The anchor window's handle as a client writes it into the handle switch
// "browser-message-window-handle": the window handle's value as a signed
// pointer-sized number, which in a 64-bit process is the 32-bit handle
// sign-extended to 64 bits.
std::string HandleSwitchText(platform::WindowHandle handle);

// The peer's side of the test; returns its exit code. `anchor_handle_text`
// is read as the product reads the handle switch.
constexpr char kPeerSwitch[] = "--transport-peer=";
int RunTransportPeer(const char* anchor_handle_text);

}  // namespace testing
}  // namespace nuv

#endif  // NUV_TESTS_WIN_TRANSPORT_TRANSPORT_PROTOCOL_H_
