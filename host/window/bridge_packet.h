// The bridge's copy-data packets as the client sees them: reading a request
// (kind in dwData, browser id, request id, object id, text) and building the
// reply packet that goes back to the render process's helper window.
//
// The product has its own reader and writer of the same bytes
// (src/bridge/bridge_packet.h). This one stays separate on purpose: the
// client is the other side of the wire, and an independent reading of the
// layout catches a mistake that one shared reader would make on both
// sides at once. Do not merge the two.
#ifndef NUV_HOST_WINDOW_BRIDGE_PACKET_H_
#define NUV_HOST_WINDOW_BRIDGE_PACKET_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_window.h"

namespace nuv {
namespace host {

// dwData of a bridge message.
enum BridgeKind : uintptr_t {
  kBridgeReply = 0,
  kBridgeGetNamedObjects = 1,
  kBridgeReleaseObject = 2,
  kBridgeGetProperty = 3,
  kBridgeSetProperty = 4,
  kBridgeCallMethod = 5,
  kBridgeCallOtherBrowserFunction = 6,
};

// Header: browser id, request id, object id (little-endian 32-bit each).
constexpr size_t kBridgeHeaderSize = 12;

struct BridgeRequest {
  uintptr_t kind = 0;
  bool has_ids = false;     // browser id and request id could be read
  bool has_header = false;  // the object id too
  int32_t browser_id = 0;
  int32_t request_id = 0;
  int32_t object_id = 0;
  std::string text;  // up to the terminator (or the end of the packet)
  // What is wrong with the packet, empty when nothing is.
  std::string problem;
};

// Reads a request packet. Never reads beyond cbData bytes; a packet too
// short for its header, a text without terminator or a text with bytes after
// its terminator other than the padding are reported in `problem`.
BridgeRequest ParseBridgeRequest(const platform::CopyData& data);

// The reply packet: browser id, request id, 4 zero bytes, the text and a
// zero byte (left out when `terminator` is false, to try the reader).
std::vector<uint8_t> BuildReplyPacket(int32_t browser_id,
                                      int32_t request_id,
                                      const std::string& text,
                                      bool terminator = true);

// A name for log lines ("BRIDGE_GET_PROPERTY", or "kind 9").
std::string BridgeKindName(uintptr_t kind);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_WINDOW_BRIDGE_PACKET_H_
