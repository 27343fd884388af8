// Encoding and decoding of the IPC frames (frame.h), and the incremental
// splitter that cuts a byte stream into frame bodies. Pure functions on
// buffers: no sockets, no CEF classes, no exceptions.
#ifndef CEF_IPC_FRAME_CODEC_H_
#define CEF_IPC_FRAME_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cef/ipc/frame.h"

namespace cefipc {

// Appends the whole frame (length prefix included) to *out. Fails, leaving
// *out as it was, when the body would exceed kMaxFrameBodySize, the kind is
// unknown or the arguments nest deeper than kMaxListDepth.
bool EncodeFrame(const Frame& frame, std::vector<uint8_t>* out, std::string* error);

// Decodes one frame body (what follows the length prefix). On failure
// *error says why; when at least the kind and sequence were readable,
// *sequence_known is true and frame->kind / frame->sequence hold them, so the
// receiver can refuse that very frame.
bool DecodeFrameBody(const uint8_t* data,
                     size_t size,
                     Frame* frame,
                     bool* sequence_known,
                     std::string* error);

// Cuts a stream into frame bodies. Bytes go in with Append(); Next() hands
// out complete bodies in order.
class FrameSplitter {
 public:
  enum class Result {
    kNeedMore,   // no complete frame buffered yet
    kBody,       // *body holds the next frame body
    kOversized,  // the next length prefix exceeds the limit: the stream is unusable
  };

  void Append(const uint8_t* data, size_t size);
  Result Next(std::vector<uint8_t>* body, uint32_t* announced_length);

  size_t buffered() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
};

}  // namespace cefipc

#endif  // CEF_IPC_FRAME_CODEC_H_
