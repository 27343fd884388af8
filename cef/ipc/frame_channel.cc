#include "cef/ipc/frame_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "cef/ipc/idle_wait.h"
#include "cef/ipc/monotonic_clock.h"

namespace cefipc {

namespace {

// Incoming bytes beyond this are left in the socket while we are busy
// writing: the peer is misbehaving and we must not grow without bound.
constexpr size_t kMaxBufferedInput = 2 * static_cast<size_t>(kMaxFrameBodySize) + (1u << 20);

}  // namespace

FrameChannel::FrameChannel(int fd) : fd_(fd) {
  if (fd_ < 0) {
    open_ = false;
    close_reason_ = "no socket";
    return;
  }
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) {
    open_ = false;
    close_reason_ = std::string("socket unusable: ") + std::strerror(errno);
  }
}

FrameChannel::~FrameChannel() {
  if (fd_ >= 0)
    ::close(fd_);
}

void FrameChannel::Close(const std::string& reason) {
  if (open_) {
    open_ = false;
    close_reason_ = reason;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

uint32_t FrameChannel::Queue(Frame frame, std::string* error) {
  frame.sequence = next_sequence_;
  try {
    return Encode(frame, error);
  } catch (const std::exception& e) {
    *error = e.what();
    return 0;
  }
}

uint32_t FrameChannel::Encode(const Frame& frame, std::string* error) {
  if (!open_) {
    *error = "channel closed (" + close_reason_ + ")";
    return 0;
  }
  if (out_pos_ == out_.size()) {
    out_.clear();
    out_pos_ = 0;
  }
  if (!EncodeFrame(frame, &out_, error))
    return 0;
  if (++next_sequence_ == 0)
    next_sequence_ = 1;
  return frame.sequence;
}

uint32_t FrameChannel::TakeSequence() {
  const uint32_t sequence = next_sequence_;
  if (++next_sequence_ == 0)
    next_sequence_ = 1;
  return sequence;
}

bool FrameChannel::WriteNow() {
  while (open_ && out_pos_ < out_.size()) {
    const ssize_t n = ::send(fd_, out_.data() + out_pos_, out_.size() - out_pos_, MSG_NOSIGNAL);
    if (n > 0) {
      out_pos_ += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return true;
    Close(std::string("write failed: ") + (n < 0 ? std::strerror(errno) : "no progress"));
    return false;
  }
  if (out_pos_ == out_.size()) {
    out_.clear();
    out_pos_ = 0;
  }
  return open_;
}

bool FrameChannel::FlushSome() {
  return WriteNow();
}

bool FrameChannel::FlushAll(int timeout_ms) {
  const int64_t deadline = timeout_ms < 0 ? -1 : MonotonicNowMs() + timeout_ms;
  while (open_ && has_pending_output()) {
    if (!WriteNow())
      return false;
    if (!has_pending_output())
      break;
    pollfd p{fd_, static_cast<short>(POLLOUT | POLLIN), 0};
    const int n = poll(&p, 1, 0);
    if (n > 0 && (p.revents & POLLIN) && splitter_.buffered() < kMaxBufferedInput) {
      // Keep the peer's frames coming so that it can drain ours.
      ReadAvailable();
      continue;
    }
    if (n > 0 && (p.revents & (POLLOUT | POLLERR | POLLHUP)))
      continue;
    if (deadline >= 0 && MonotonicNowMs() >= deadline)
      return false;
    WaitForInput(-1, 5);
  }
  return open_;
}

bool FrameChannel::ReadAvailable() {
  if (oversized_)
    return false;
  uint8_t buffer[64 * 1024];
  while (open_) {
    const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
    if (n > 0) {
      splitter_.Append(buffer, static_cast<size_t>(n));
      // A short read took everything there was; asking again would only
      // hear EAGAIN. The owner's next wait reports what arrives later
      // (and the end of the stream).
      if (static_cast<size_t>(n) < sizeof(buffer) || splitter_.buffered() >= kMaxBufferedInput)
        return true;
      continue;
    }
    if (n == 0) {
      Close("peer closed the connection");
      return false;
    }
    if (errno == EINTR)
      continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return true;
    Close(std::string("read failed: ") + std::strerror(errno));
    return false;
  }
  return false;
}

FrameChannel::NextResult FrameChannel::NextFrame(Frame* frame,
                                                 bool* sequence_known,
                                                 std::string* error) {
  *sequence_known = false;
  if (oversized_)
    return NextResult::kNone;
  std::vector<uint8_t> body;
  uint32_t length = 0;
  switch (splitter_.Next(&body, &length)) {
    case FrameSplitter::Result::kNeedMore:
      return NextResult::kNone;
    case FrameSplitter::Result::kOversized:
      oversized_ = true;
      *error = "frame length " + std::to_string(length) + " exceeds the limit of " +
               std::to_string(kMaxFrameBodySize) + " bytes; the stream is dropped";
      Close("oversized frame");
      return NextResult::kBadFrame;
    case FrameSplitter::Result::kBody:
      break;
  }
  if (!DecodeFrameBody(body.data(), body.size(), frame, sequence_known, error))
    return NextResult::kBadFrame;
  return NextResult::kFrame;
}

}  // namespace cefipc
