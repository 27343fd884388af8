#include "host/window/bridge_packet.h"

#include <cstring>

namespace nuv {
namespace host {
namespace {

int32_t ReadInt32(const uint8_t* bytes) {
  uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return static_cast<int32_t>(value);
}

void WriteInt32(int32_t value, uint8_t* bytes) {
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace

BridgeRequest ParseBridgeRequest(const platform::CopyData& data) {
  BridgeRequest request;
  request.kind = data.dwData;
  const auto* bytes = static_cast<const uint8_t*>(data.lpData);
  size_t size = bytes ? data.cbData : 0;
  if (size < 8) {
    request.problem = "packet of " + std::to_string(size) + " bytes has no header";
    return request;
  }
  request.has_ids = true;
  request.browser_id = ReadInt32(bytes);
  request.request_id = ReadInt32(bytes + 4);
  if (size < kBridgeHeaderSize) {
    request.problem = "packet of " + std::to_string(size) + " bytes has no object id";
    return request;
  }
  request.has_header = true;
  request.object_id = ReadInt32(bytes + 8);
  const uint8_t* text = bytes + kBridgeHeaderSize;
  size_t available = size - kBridgeHeaderSize;
  const void* zero = memchr(text, 0, available);
  size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text) : available;
  request.text.assign(reinterpret_cast<const char*>(text), length);
  if (!zero) {
    request.problem = "text has no terminator";
    return request;
  }
  for (size_t i = length + 1; i < available; ++i) {
    if (text[i] != 0) {
      request.problem = "bytes after the text's terminator";
      break;
    }
  }
  return request;
}

std::vector<uint8_t> BuildReplyPacket(int32_t browser_id,
                                      int32_t request_id,
                                      const std::string& text,
                                      bool terminator) {
  std::vector<uint8_t> packet(kBridgeHeaderSize + text.size() + (terminator ? 1 : 0), 0);
  WriteInt32(browser_id, packet.data());
  WriteInt32(request_id, packet.data() + 4);
  if (!text.empty())
    memcpy(packet.data() + kBridgeHeaderSize, text.data(), text.size());
  return packet;
}

std::string BridgeKindName(uintptr_t kind) {
  switch (kind) {
    case kBridgeReply:
      return "BRIDGE_REPLY";
    case kBridgeGetNamedObjects:
      return "BRIDGE_GET_NAMED_OBJECTS";
    case kBridgeReleaseObject:
      return "BRIDGE_RELEASE_OBJECT";
    case kBridgeGetProperty:
      return "BRIDGE_GET_PROPERTY";
    case kBridgeSetProperty:
      return "BRIDGE_SET_PROPERTY";
    case kBridgeCallMethod:
      return "BRIDGE_CALL_METHOD";
    case kBridgeCallOtherBrowserFunction:
      return "BRIDGE_CALL_OTHER_BROWSER_FUNCTION";
    default:
      return "kind " + std::to_string(kind);
  }
}

}  // namespace host
}  // namespace nuv
