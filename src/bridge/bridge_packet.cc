#include "src/bridge/bridge_packet.h"

#include <cstring>

namespace {

void PutInt32(uint8_t* out, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  out[0] = static_cast<uint8_t>(bits);
  out[1] = static_cast<uint8_t>(bits >> 8);
  out[2] = static_cast<uint8_t>(bits >> 16);
  out[3] = static_cast<uint8_t>(bits >> 24);
}

int32_t GetInt32(const uint8_t* in) {
  const uint32_t bits = static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
                        (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
  return static_cast<int32_t>(bits);
}

}  // namespace

std::vector<uint8_t> BuildRequestPacket(int32_t browserId,
                                        int32_t requestId,
                                        int32_t objectId,
                                        const std::string& text) {
  const size_t zero = text.find('\0');
  const size_t length = zero == std::string::npos ? text.size() : zero;
  std::vector<uint8_t> packet(kBridgeHeaderSize + length + kBridgeRequestTrailerSize, 0);
  PutInt32(&packet[0], browserId);
  PutInt32(&packet[4], requestId);
  PutInt32(&packet[8], objectId);
  if (length)
    std::memcpy(&packet[kBridgeHeaderSize], text.data(), length);
  return packet;
}

bool ReadReplyPacket(const void* data, size_t size, NuvBridgeReply* reply) {
  if (!data || size < kBridgeHeaderSize)
    return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  reply->browserId = GetInt32(bytes);
  reply->requestId = GetInt32(bytes + 4);
  const uint8_t* text = bytes + kBridgeHeaderSize;
  const size_t available = size - kBridgeHeaderSize;
  const void* zero = std::memchr(text, 0, available);
  const size_t length =
      zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text) : available;
  reply->text.assign(reinterpret_cast<const char*>(text), length);
  return true;
}
