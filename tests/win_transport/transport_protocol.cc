#include "tests/win_transport/transport_protocol.h"

#include <cstdio>
#include <cstring>

namespace nuv {
namespace testing {

namespace {

constexpr size_t kHeaderSize = 12;

void PutInt32(std::vector<uint8_t>* bytes, size_t offset, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    (*bytes)[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32(const uint8_t* bytes) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i)
    bits |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return static_cast<int32_t>(bits);
}

std::vector<uint8_t> Encode(const BridgePacket& packet, size_t trailing_zeros) {
  std::vector<uint8_t> bytes(kHeaderSize + packet.text.size() + trailing_zeros, 0);
  PutInt32(&bytes, 0, packet.browser_id);
  PutInt32(&bytes, 4, packet.request_id);
  PutInt32(&bytes, 8, packet.object_id);
  if (!packet.text.empty())
    std::memcpy(&bytes[kHeaderSize], packet.text.data(), packet.text.size());
  return bytes;
}

void DecodeHeader(const uint8_t* bytes, BridgePacket* packet) {
  packet->browser_id = GetInt32(bytes);
  packet->request_id = GetInt32(bytes + 4);
  packet->object_id = GetInt32(bytes + 8);
}

}  // namespace

std::vector<uint8_t> EncodeRequest(const BridgePacket& packet) {
  return Encode(packet, 4);
}

std::vector<uint8_t> EncodeReply(const BridgePacket& packet) {
  return Encode(packet, 1);
}

bool DecodeRequest(const platform::CopyData& data, BridgePacket* packet) {
  if (!data.lpData || data.cbData < kHeaderSize + 4)
    return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data.lpData);
  size_t text_size = data.cbData - kHeaderSize - 4;
  if (std::memchr(bytes + kHeaderSize, 0, text_size) != nullptr)
    return false;
  for (size_t i = 0; i < 4; ++i) {
    if (bytes[kHeaderSize + text_size + i] != 0)
      return false;
  }
  DecodeHeader(bytes, packet);
  packet->text.assign(reinterpret_cast<const char*>(bytes + kHeaderSize), text_size);
  return true;
}

bool DecodeReply(const platform::CopyData& data, BridgePacket* packet) {
  if (!data.lpData || data.cbData < kHeaderSize)
    return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data.lpData);
  DecodeHeader(bytes, packet);
  const char* text = reinterpret_cast<const char*>(bytes + kHeaderSize);
  size_t limit = data.cbData - kHeaderSize;
  const void* end = std::memchr(text, 0, limit);
  packet->text.assign(text, end ? static_cast<const char*>(end) - text : limit);
  return true;
}

platform::CopyData MakeCopyData(uintptr_t kind, const std::vector<uint8_t>& bytes) {
  platform::CopyData data;
  data.dwData = kind;
  data.cbData = static_cast<uint32_t>(bytes.size());
  data.lpData = bytes.empty() ? nullptr : bytes.data();
  return data;
}

std::string PacketDigest(const void* data, size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string HandleSwitchText(platform::WindowHandle handle) {
  const intptr_t value = static_cast<intptr_t>(static_cast<int32_t>(handle));
  return std::to_string(static_cast<long long>(value));
}

}  // namespace testing
}  // namespace nuv
