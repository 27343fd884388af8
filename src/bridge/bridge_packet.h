// The byte layout of bridge messages. A request carries the browser id,
// the request id and the object id (little-endian 32-bit each), then the
// UTF-8 text, a zero terminator and three zero bytes of padding; a reply
// carries the browser id and request id of the request it answers, four
// unread bytes, then the reply text up to its zero terminator.
#ifndef NUV_SRC_BRIDGE_BRIDGE_PACKET_H_
#define NUV_SRC_BRIDGE_BRIDGE_PACKET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The message kinds (COPYDATASTRUCT dwData).
enum NuvBridgeKind : uint32_t {
  BRIDGE_REPLY = 0,
  BRIDGE_GET_NAMED_OBJECTS = 1,
  BRIDGE_RELEASE_OBJECT = 2,
  BRIDGE_GET_PROPERTY = 3,
  BRIDGE_SET_PROPERTY = 4,
  BRIDGE_CALL_METHOD = 5,
  BRIDGE_CALL_OTHER_BROWSER_FUNCTION = 6,
};

// Size of the three header fields.
constexpr size_t kBridgeHeaderSize = 12;
// Terminator plus padding after the text of a request.
constexpr size_t kBridgeRequestTrailerSize = 4;

// The request packet; its size is the text length plus 16. A text holding
// a zero byte is cut there, so the terminator is always the first zero.
std::vector<uint8_t> BuildRequestPacket(int32_t browserId,
                                        int32_t requestId,
                                        int32_t objectId,
                                        const std::string& text);

struct NuvBridgeReply {
  int32_t browserId = 0;
  int32_t requestId = 0;
  std::string text;
};

// Reads a reply packet of `size` bytes at `data`: false when `data` is null
// or the packet is shorter than the header. The text runs from offset 12 to
// the first zero byte, or to the end of the packet when there is none.
// Nothing beyond `size` bytes is read.
bool ReadReplyPacket(const void* data, size_t size, NuvBridgeReply* reply);

#endif  // NUV_SRC_BRIDGE_BRIDGE_PACKET_H_
