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

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace nuv {
namespace peer {

constexpr uint32_t kOwnWindow = 0xFFFFFFFF;

// Reads exactly `size` bytes from `fd`; false at end of stream or error.
inline bool ReadAll(int fd, void* buffer, size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  while (size) {
    const ssize_t got = read(fd, bytes, size);
    if (got <= 0)
      return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// Appends `size` raw bytes (a field in host byte order) to `out`.
inline void Put(std::string* out, const void* data, size_t size) {
  out->append(static_cast<const char*>(data), size);
}

}  // namespace peer
}  // namespace nuv

#endif  // NUV_TESTS_HOST_WINDOW_RENDER_PEER_PROTOCOL_H_
