#include "tests/host_window/render_peer_client.h"

#include <cstring>

#include "tests/host_window/render_peer_protocol.h"

namespace nuv {
namespace test {

using peer::Put;

bool RenderPeer::Start(platform::WindowHandle host) {
  return process_.Start(NUV_RENDER_PEER, {std::to_string(host)}, {}, nuv_test::ChildStreams::kTalk);
}

Exchange RenderPeer::Send(uint64_t dw_data, const std::vector<uint8_t>& packet, uint32_t wparam) {
  Exchange exchange;
  std::string command;
  auto size = static_cast<uint32_t>(packet.size());
  Put(&command, &wparam, 4);
  Put(&command, &dw_data, 8);
  Put(&command, &size, 4);
  Put(&command, packet.data(), packet.size());
  if (!process_.WriteInput(command.data(), command.size()))
    return exchange;
  uint32_t sent = 0;
  int64_t result = 0;
  uint32_t count = 0;
  if (!process_.ReadOutput(&sent, 4) || !process_.ReadOutput(&result, 8) ||
      !process_.ReadOutput(&count, 4))
    return exchange;
  for (uint32_t i = 0; i < count; ++i) {
    PeerReply reply;
    uint32_t length = 0;
    if (!process_.ReadOutput(&reply.dw_data, 8) || !process_.ReadOutput(&reply.wparam, 4) ||
        !process_.ReadOutput(&length, 4))
      return exchange;
    reply.bytes.resize(length);
    if (!process_.ReadOutput(reply.bytes.data(), length))
      return exchange;
    exchange.replies.push_back(std::move(reply));
  }
  exchange.io_ok = true;
  exchange.sent = sent != 0;
  return exchange;
}

std::vector<uint8_t> RequestPacket(int32_t browser_id,
                                   int32_t request_id,
                                   int32_t object_id,
                                   const std::string& text) {
  std::vector<uint8_t> packet(12 + text.size() + 4, 0);
  memcpy(packet.data(), &browser_id, 4);
  memcpy(packet.data() + 4, &request_id, 4);
  memcpy(packet.data() + 8, &object_id, 4);
  memcpy(packet.data() + 12, text.data(), text.size());
  return packet;
}

std::string ReplyText(const PeerReply& reply) {
  if (reply.bytes.size() < 12)
    return std::string();
  const char* text = reinterpret_cast<const char*>(reply.bytes.data()) + 12;
  return std::string(text, strnlen(text, reply.bytes.size() - 12));
}

}  // namespace test
}  // namespace nuv
