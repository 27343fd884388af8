// The socket channel over a real socketpair: frames cross in order with
// their sequence numbers, a closing or dying peer is noticed without
// SIGPIPE or a hang, and two sides writing large frames at each other at
// the same time cannot deadlock.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "cef/ipc/frame_channel.h"
#include "cef/ipc/idle_wait.h"

namespace cefipc {
namespace {

struct Pair {
  Pair() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    a = std::make_unique<FrameChannel>(fds[0]);
    b = std::make_unique<FrameChannel>(fds[1]);
  }
  std::unique_ptr<FrameChannel> a;
  std::unique_ptr<FrameChannel> b;
};

// Waits up to `timeout_ms` for the next frame on `channel`.
FrameChannel::NextResult Receive(FrameChannel* channel,
                                 Frame* frame,
                                 std::string* error,
                                 int timeout_ms = 5000) {
  bool sequence_known = false;
  for (int waited = 0; waited <= timeout_ms; waited += 10) {
    FrameChannel::NextResult r = channel->NextFrame(frame, &sequence_known, error);
    if (r != FrameChannel::NextResult::kNone)
      return r;
    const bool open = channel->ReadAvailable();
    r = channel->NextFrame(frame, &sequence_known, error);
    if (r != FrameChannel::NextResult::kNone || !open)
      return r;
    WaitForInput(channel->fd(), 10);
  }
  return FrameChannel::NextResult::kNone;
}

TEST(FrameChannelTest, FramesCrossInOrderWithRunningSequences) {
  Pair p;
  std::string error;
  EXPECT_EQ(p.a->Queue(MakeBrowserCreated(1), &error), 1u);
  EXPECT_EQ(p.a->Queue(MakeContextCreated(1, 10, true, u"main", u"var a;"), &error), 2u);
  EXPECT_EQ(p.a->Queue(MakeEnd(), &error), 3u);
  ASSERT_TRUE(p.a->FlushAll(1000));

  Frame f;
  ASSERT_EQ(Receive(p.b.get(), &f, &error), FrameChannel::NextResult::kFrame);
  EXPECT_EQ(f.kind, FrameKind::kBrowserCreated);
  EXPECT_EQ(f.sequence, 1u);
  ASSERT_EQ(Receive(p.b.get(), &f, &error), FrameChannel::NextResult::kFrame);
  EXPECT_EQ(f.kind, FrameKind::kContextCreated);
  EXPECT_EQ(f.text, u"var a;");
  ASSERT_EQ(Receive(p.b.get(), &f, &error), FrameChannel::NextResult::kFrame);
  EXPECT_EQ(f.kind, FrameKind::kEnd);
  EXPECT_EQ(f.sequence, 3u);

  // The other direction numbers its own frames from 1.
  EXPECT_EQ(p.b->Queue(MakeAck(3, AckStatus::kDone, u""), &error), 1u);
}

TEST(FrameChannelTest, PeerCloseIsSeenAfterItsLastFrames) {
  Pair p;
  std::string error;
  p.a->Queue(MakeCollectGarbage(), &error);
  ASSERT_TRUE(p.a->FlushAll(1000));
  p.a.reset();

  Frame f;
  EXPECT_EQ(Receive(p.b.get(), &f, &error), FrameChannel::NextResult::kFrame);
  EXPECT_EQ(f.kind, FrameKind::kCollectGarbage);
  EXPECT_EQ(Receive(p.b.get(), &f, &error), FrameChannel::NextResult::kNone);
  EXPECT_FALSE(p.b->is_open());
  EXPECT_NE(p.b->close_reason().find("closed"), std::string::npos);

  // Writing to the closed peer fails cleanly (no SIGPIPE kills the test).
  EXPECT_EQ(p.b->Queue(MakeEnd(), &error), 0u);
  EXPECT_FALSE(error.empty());
}

TEST(FrameChannelTest, WritingToAVanishedPeerFailsWithoutSignal) {
  Pair p;
  p.b.reset();
  std::string error;
  ASSERT_NE(p.a->Queue(MakeRunScript(1, 1, std::u16string(100000, u'x')), &error), 0u);
  EXPECT_FALSE(p.a->FlushAll(1000));
  EXPECT_FALSE(p.a->is_open());
  EXPECT_NE(p.a->close_reason().find("write failed"), std::string::npos);
}

TEST(FrameChannelTest, OversizedLengthClosesTheStream) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  FrameChannel receiver(fds[0]);
  const uint8_t prefix[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  ASSERT_EQ(write(fds[1], prefix, sizeof(prefix)), static_cast<ssize_t>(sizeof(prefix)));
  Frame f;
  std::string error;
  EXPECT_EQ(Receive(&receiver, &f, &error), FrameChannel::NextResult::kBadFrame);
  EXPECT_NE(error.find("exceeds"), std::string::npos);
  EXPECT_FALSE(receiver.is_open());
  close(fds[1]);
}

TEST(FrameChannelTest, LargeFramesBothWaysAtOnceDoNotDeadlock) {
  Pair p;
  // Each side queues far more than a socket buffer holds, then flushes
  // while the other does the same; each must drain the other while writing.
  const std::u16string big(3 * 1024 * 1024, u'q');
  auto run_side = [&big](FrameChannel* channel, int* received) {
    std::string error;
    for (int i = 0; i < 4; ++i)
      channel->Queue(MakeRunScript(i, i, big), &error);
    channel->FlushAll(20000);
    Frame f;
    while (*received < 4 && Receive(channel, &f, &error) == FrameChannel::NextResult::kFrame) {
      EXPECT_EQ(f.text.size(), big.size());
      ++*received;
    }
  };
  int received_a = 0;
  int received_b = 0;
  std::thread other(run_side, p.b.get(), &received_b);
  run_side(p.a.get(), &received_a);
  other.join();
  EXPECT_EQ(received_a, 4);
  EXPECT_EQ(received_b, 4);
}

}  // namespace
}  // namespace cefipc
