// Drives render_peer from a test: one bridge packet out, the replies back.
#ifndef NUV_TESTS_HOST_WINDOW_RENDER_PEER_CLIENT_H_
#define NUV_TESTS_HOST_WINDOW_RENDER_PEER_CLIENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_window.h"
#include "tests/common/test_util.h"
#include "tests/host_window/render_peer_protocol.h"

namespace nuv {
namespace test {

struct PeerReply {
  uint64_t dw_data = 0;
  uint32_t wparam = 0;
  std::vector<uint8_t> bytes;
};

struct Exchange {
  bool io_ok = false;  // the peer answered the command
  bool sent = false;   // SendCopyData to the host window succeeded
  std::vector<PeerReply> replies;
};

class RenderPeer {
 public:
  bool Start(platform::WindowHandle host);
  Exchange Send(uint64_t dw_data,
                const std::vector<uint8_t>& packet,
                uint32_t wparam = peer::kOwnWindow);

 private:
  nuv_test::ChildProcess process_;
};

// A request packet: header, text, terminator, padding (cbData = n + 16).
std::vector<uint8_t> RequestPacket(int32_t browser_id,
                                   int32_t request_id,
                                   int32_t object_id,
                                   const std::string& text);

// The text of a reply packet (from offset 12 to its zero byte).
std::string ReplyText(const PeerReply& reply);

}  // namespace test
}  // namespace nuv

#endif  // NUV_TESTS_HOST_WINDOW_RENDER_PEER_CLIENT_H_
