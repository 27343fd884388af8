// The pipe protocol between host_window_test and render_peer. The test
// writes a command; the peer sends the packet to the host window from its
// helper window and writes back what happened, with every reply its helper
// window received during the send.
//   command: u32 wparam (kOwnWindow: the peer's helper window), u64 dwData,
//            u32 size, size bytes
//   answer:  u32 sent, i64 result, u32 reply count, then per reply
//            u64 dwData, u32 wparam, u32 size, size bytes
#ifndef NUV_TESTS_HOST_WINDOW_RENDER_PEER_PROTOCOL_H_
#define NUV_TESTS_HOST_WINDOW_RENDER_PEER_PROTOCOL_H_

#include <cstdint>

namespace nuv {
namespace peer {

constexpr uint32_t kOwnWindow = 0xFFFFFFFF;

}  // namespace peer
}  // namespace nuv

#endif  // NUV_TESTS_HOST_WINDOW_RENDER_PEER_PROTOCOL_H_
