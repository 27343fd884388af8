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
  kKindHello = 100,  // peer to anchor window: 4 bytes, the host window handle
  kKindPing = 101,
  kKindPong = 102,
  kKindProbe = 103,
};

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

// The peer's side of the test; returns its exit code.
constexpr char kPeerSwitch[] = "--transport-peer=";
int RunTransportPeer(const char* anchor_handle_text);

}  // namespace testing
}  // namespace nuv

#endif  // NUV_TESTS_WIN_TRANSPORT_TRANSPORT_PROTOCOL_H_
