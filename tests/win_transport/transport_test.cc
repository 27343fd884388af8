// The bridge transport between two processes: a render-side helper window
// sends requests to a host window in a peer process, which replies with a
// nested copy-data message before its handler returns. The same source runs
// against the Win32 backend (under wine) and the POSIX backend, so both are
// held to one contract.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_window.h"
#include "tests/win_transport/peer_process.h"
#include "tests/win_transport/transport_protocol.h"

namespace nuv {
namespace testing {
namespace {

using platform::CopyData;
using platform::WindowHandle;
using Clock = std::chrono::steady_clock;

constexpr int32_t kBrowserId = 7;

// Receives the peer's hello with its host window handle.
class AnchorWindow : public platform::MessageWindowDelegate {
 public:
  WindowHandle host = 0;

  bool ProcessWindowMessage(WindowHandle,
                            uint32_t message,
                            uintptr_t,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != platform::kWmCopyData || lparam == 0)
      return false;
    const CopyData& data = *reinterpret_cast<const CopyData*>(lparam);
    if (data.dwData == kKindHello && data.cbData == 4) {
      const uint8_t* bytes = static_cast<const uint8_t*>(data.lpData);
      host = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    }
    *result = 0;
    return true;
  }
};

// The render side: files replies by (browser id, request id), noting
// whether each one arrived inside a pending send, and answers the peer's
// nested ping with a pong sent back into the peer's blocked handler.
class HelperWindow : public platform::MessageWindowDelegate {
 public:
  int sends_pending = 0;
  int filed_outside_send = 0;
  int probes = 0;
  std::map<std::pair<int32_t, int32_t>, std::string> replies;

  bool ProcessWindowMessage(WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message == platform::kWmDestroy) {
      *result = 0;
      return true;
    }
    if (message != platform::kWmCopyData)
      return false;
    *result = 0;
    if (lparam == 0)
      return true;
    const CopyData& data = *reinterpret_cast<const CopyData*>(lparam);
    BridgePacket packet;
    if (data.dwData == kKindReply && DecodeReply(data, &packet)) {
      if (sends_pending == 0)
        ++filed_outside_send;
      replies[{packet.browser_id, packet.request_id}] = packet.text;
    } else if (data.dwData == kKindPing) {
      std::vector<uint8_t> pong(16, 0);
      intptr_t pong_result = 0;
      bool sent = platform::SendCopyData(static_cast<WindowHandle>(wparam), window,
                                         MakeCopyData(kKindPong, pong), &pong_result);
      *result = sent ? 10 + pong_result : 0;
    } else if (data.dwData == kKindProbe) {
      ++probes;
    }
    return true;
  }

  std::string Take(int32_t browser_id, int32_t request_id) {
    auto it = replies.find({browser_id, request_id});
    if (it == replies.end())
      return std::string();
    std::string text = it->second;
    replies.erase(it);
    return text;
  }
};

class BridgeTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    anchor_ = platform::CreateMessageWindow(&anchor_delegate_);
    helper_ = platform::CreateMessageWindow(&helper_delegate_);
    ASSERT_NE(0u, anchor_);
    ASSERT_NE(0u, helper_);
    ASSERT_TRUE(peer_.Start(kPeerSwitch + std::to_string(anchor_)));
    // The test thread idles in its own loop until the peer has said hello.
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (anchor_delegate_.host == 0 && Clock::now() < deadline)
      platform::WaitAndDispatch(-1, 10);
    host_ = anchor_delegate_.host;
    ASSERT_NE(0u, host_) << "the peer process did not announce its host window";
  }

  void TearDown() override {
    if (peer_.running()) {
      if (host_ != 0 && platform::IsMessageWindow(host_)) {
        std::string ignored;
        Request(kKindQuit, "", &ignored);
      }
      EXPECT_EQ(0, peer_.Wait(30000));
    }
    platform::DestroyMessageWindow(helper_);
    platform::DestroyMessageWindow(anchor_);
  }

  // One bridge request as the render side makes it: send, then take the
  // reply filed meanwhile. Returns the host window's result, or -1 when the
  // send failed.
  intptr_t Request(uintptr_t kind,
                   const std::string& text,
                   std::string* reply,
                   int32_t object_id = 0,
                   WindowHandle reply_to = 0) {
    BridgePacket packet;
    packet.browser_id = kBrowserId;
    packet.request_id = ++request_counter_;
    packet.object_id = object_id;
    packet.text = text;
    std::vector<uint8_t> bytes = EncodeRequest(packet);
    intptr_t result = 0;
    ++helper_delegate_.sends_pending;
    bool sent = platform::SendCopyData(host_, reply_to ? reply_to : helper_,
                                       MakeCopyData(kind, bytes), &result);
    --helper_delegate_.sends_pending;
    *reply = helper_delegate_.Take(kBrowserId, packet.request_id);
    return sent ? result : -1;
  }

  AnchorWindow anchor_delegate_;
  HelperWindow helper_delegate_;
  WindowHandle anchor_ = 0;
  WindowHandle helper_ = 0;
  WindowHandle host_ = 0;
  PeerProcess peer_;
  int32_t request_counter_ = 0;
};

TEST_F(BridgeTransportTest, EveryRequestKindGetsItsNestedReplyBeforeTheSendReturns) {
  for (uintptr_t kind = kKindFirstRequest; kind <= kKindLastRequest; ++kind) {
    // Kinds 1 and 2 travel without text: 16 bytes, four of them zero.
    std::string text = kind <= 2 ? std::string() : "title";
    std::string reply;
    EXPECT_EQ(kPeerReplied, Request(kind, text, &reply)) << "kind " << kind;
    EXPECT_EQ("echo:" + std::to_string(kind) + ":" + text, reply);
  }
  EXPECT_EQ(0, helper_delegate_.filed_outside_send);
  EXPECT_TRUE(helper_delegate_.replies.empty()) << "every reply was taken by its own request";
}

TEST_F(BridgeTransportTest, LargeAndNonAsciiTextsCrossIntact) {
  std::string large(300 * 1024, 'x');
  for (size_t i = 0; i < large.size(); i += 997)
    large[i] = static_cast<char>('a' + i % 26);
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87 \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80";
  std::string reply;
  EXPECT_EQ(kPeerReplied, Request(3, large, &reply));
  EXPECT_EQ("echo:3:" + large, reply);
  EXPECT_EQ(kPeerReplied, Request(5, utf8, &reply));
  EXPECT_EQ("echo:5:" + utf8, reply);
}

TEST_F(BridgeTransportTest, MessagesNestBothWaysWhileBothThreadsAreBlocked) {
  // The peer, inside our pending request, sends a ping to the helper; the
  // helper, inside the peer's pending ping, sends a pong to the peer.
  std::string reply;
  EXPECT_EQ(kPeerReplied, Request(kKindPingPong, "", &reply));
  EXPECT_EQ("ping:1:11,pongs:1", reply);
}

TEST_F(BridgeTransportTest, ReplyToANonWindowIsRefusedAndNothingIsFiled) {
  // A render side whose helper window could not be created sends wParam 0:
  // the host's reply fails at once and the request reads an empty reply.
  std::string reply = "unchanged";
  constexpr WindowHandle kNotAWindow = 0;
  BridgePacket packet;
  packet.browser_id = kBrowserId;
  packet.request_id = ++request_counter_;
  std::vector<uint8_t> bytes = EncodeRequest(packet);
  intptr_t result = 0;
  ASSERT_TRUE(platform::SendCopyData(host_, kNotAWindow, MakeCopyData(3, bytes), &result));
  EXPECT_EQ(kPeerReplyRefused, result);
  EXPECT_TRUE(helper_delegate_.replies.empty());
}

TEST_F(BridgeTransportTest, DestroyedWindowRefusesSendsAtOnce) {
  HelperWindow gone_delegate;
  WindowHandle gone = platform::CreateMessageWindow(&gone_delegate);
  ASSERT_NE(0u, gone);
  ASSERT_TRUE(platform::IsMessageWindow(gone));
  ASSERT_TRUE(platform::DestroyMessageWindow(gone));
  EXPECT_FALSE(platform::IsMessageWindow(gone));
  EXPECT_FALSE(platform::DestroyMessageWindow(gone));

  // From this process and from the peer alike.
  std::vector<uint8_t> bytes(16, 0);
  auto start = Clock::now();
  EXPECT_FALSE(platform::SendCopyData(gone, helper_, MakeCopyData(3, bytes), nullptr));
  EXPECT_FALSE(platform::SendCopyData(0, helper_, MakeCopyData(3, bytes), nullptr));
  std::string reply;
  EXPECT_EQ(kPeerReplied, Request(kKindSendToObject, "", &reply, static_cast<int32_t>(gone)));
  EXPECT_EQ("refused", reply);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(0, gone_delegate.probes);

  // A live window of this process is reachable the same way.
  EXPECT_EQ(kPeerReplied, Request(kKindSendToObject, "", &reply, static_cast<int32_t>(helper_)));
  EXPECT_EQ("accepted", reply);
  EXPECT_EQ(1, helper_delegate_.probes);
}

TEST_F(BridgeTransportTest, HostWindowOfAnEndedPeerRefusesSends) {
  std::string reply;
  ASSERT_EQ(kPeerReplied, Request(kKindQuit, "", &reply));
  EXPECT_EQ("bye", reply);
  EXPECT_EQ(0, peer_.Wait(30000));
  EXPECT_FALSE(platform::IsMessageWindow(host_));
  auto start = Clock::now();
  EXPECT_EQ(-1, Request(3, "title", &reply));
  EXPECT_EQ("", reply);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace testing
}  // namespace nuv

int main(int argc, char** argv) {
  using nuv::testing::kPeerSwitch;
  const size_t switch_length = std::strlen(kPeerSwitch);
  if (argc == 2 && std::strncmp(argv[1], kPeerSwitch, switch_length) == 0)
    return nuv::testing::RunTransportPeer(argv[1] + switch_length);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
