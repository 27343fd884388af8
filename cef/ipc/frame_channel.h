// One end of the IPC socket: numbers and encodes outgoing frames, writes
// them without ever raising SIGPIPE, reads and splits incoming bytes into
// frames. Single-threaded; the owner decides when to wait (idle_wait.h).
// A peer that closes, a socket error or an oversized length prefix closes
// the channel; close_reason() says why.
#ifndef CEF_IPC_FRAME_CHANNEL_H_
#define CEF_IPC_FRAME_CHANNEL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "cef/ipc/frame.h"
#include "cef/ipc/frame_codec.h"

namespace cefipc {

class FrameChannel {
 public:
  // Takes ownership of `fd` (a connected stream socket) and makes it
  // non-blocking.
  explicit FrameChannel(int fd);
  ~FrameChannel();
  FrameChannel(const FrameChannel&) = delete;
  FrameChannel& operator=(const FrameChannel&) = delete;

  int fd() const { return fd_; }
  // False once the peer closed, the socket failed or the stream was
  // unusable. Frames already received stay readable with NextFrame.
  bool is_open() const { return open_; }
  const std::string& close_reason() const { return close_reason_; }

  // Gives `frame` the next sequence number, encodes and queues it. Returns
  // the sequence, or 0 (with *error) when the frame cannot be encoded or
  // the channel is closed. Nothing is written yet. Never throws: a failure
  // to allocate is reported like any other (callers run under V8 frames).
  uint32_t Queue(Frame frame, std::string* error);

  // Uses up the next sequence number without sending anything, for a frame
  // the caller writes by other means.
  uint32_t TakeSequence();

  // Writes as much queued output as the socket takes now. False when the
  // channel is (or becomes) closed.
  bool FlushSome();
  bool has_pending_output() const { return out_pos_ < out_.size(); }

  // Writes all queued output, reading incoming bytes meanwhile so the peer
  // can never block us by blocking on us. Between tries it waits in short
  // slices through WaitForInput(-1, ...), so this thread's windows keep
  // being served. `timeout_ms` < 0: no limit. False when the channel closes
  // or the time runs out.
  bool FlushAll(int timeout_ms);

  // Reads what the socket has now, without blocking. False when the
  // channel is (or becomes) closed; buffered frames stay readable.
  bool ReadAvailable();

  enum class NextResult {
    kNone,      // no complete frame buffered
    kFrame,     // *frame is the next frame
    kBadFrame,  // the next frame was malformed and is dropped; *error says why,
                // *sequence_known tells whether frame->kind/sequence are valid
  };
  NextResult NextFrame(Frame* frame, bool* sequence_known, std::string* error);

  // Closes the socket now (the peer reads end of stream).
  void Close(const std::string& reason);

 private:
  uint32_t Encode(const Frame& frame, std::string* error);
  bool WriteNow();

  int fd_;
  bool open_ = true;
  std::string close_reason_;
  uint32_t next_sequence_ = 1;
  std::vector<uint8_t> out_;
  size_t out_pos_ = 0;
  FrameSplitter splitter_;
  bool oversized_ = false;
};

}  // namespace cefipc

#endif  // CEF_IPC_FRAME_CHANNEL_H_
