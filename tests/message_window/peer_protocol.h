// What message_window_peer does with the copy-data it receives, by dwData.
// Shared by the peer program and the tests that drive it.
#ifndef NUV_TESTS_MESSAGE_WINDOW_PEER_PROTOCOL_H_
#define NUV_TESTS_MESSAGE_WINDOW_PEER_PROTOCOL_H_

#include <cstddef>
#include <cstdint>

namespace nuv {
namespace peer {

enum Command : uintptr_t {
  kHash = 1,         // result: Fnv1a of the payload
  kReplyBack = 2,    // sends the payload back to wparam as kReturned, result 1000 + its result
  kNest = 3,         // payload: uint32 depth; depth > 0 sends depth - 1 back (see NestStep)
  kDie = 4,          // the peer exits inside the request
  kDestroySelf = 5,  // the peer destroys its window, then answers 55
  kReturned = 100,   // what kReplyBack sends back
};

inline int64_t Fnv1a(const void* data, size_t size) {
  uint64_t hash = 14695981039346656037ull;
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
  return static_cast<int64_t>(hash >> 1);
}

}  // namespace peer
}  // namespace nuv

#endif  // NUV_TESTS_MESSAGE_WINDOW_PEER_PROTOCOL_H_
