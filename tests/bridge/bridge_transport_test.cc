// The copy-data transport: packet layout, request numbering, the reply
// store and its matching, helper window lifetime and deferred releases,
// against a real message window answering on the same thread.
#include <gtest/gtest.h>

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "tests/bridge/test_host_window.h"

namespace {

using nuv_test::RecordedRequest;
using nuv_test::ReplyPacket;
using nuv_test::SendPacket;
using nuv_test::TestHostWindow;

// Browser ids are unique per test so that helper windows left behind by one
// test never meet another.
class BridgeTransportTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int32_t id : browsers_)
      DestroyHelperWindow(id);
  }
  int32_t NewBrowser() {
    static int32_t next = 100;
    browsers_.push_back(++next);
    return next;
  }

  TestHostWindow host_;
  std::vector<int32_t> browsers_;
};

TEST(BridgePacketTest, RequestLayout) {
  // Property read "title" of host object 7 for browser 1 as request 5.
  const std::vector<uint8_t> expected = {1, 0,   0,   0,   5,   0,   0, 0, 7, 0, 0,
                                         0, 't', 'i', 't', 'l', 'e', 0, 0, 0, 0};
  EXPECT_EQ(expected, BuildRequestPacket(1, 5, 7, "title"));
  // No text: exactly the header and four zero bytes; negative ids keep
  // their two's complement bytes.
  const std::vector<uint8_t> empty = {0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(empty, BuildRequestPacket(-1, 2, 0, ""));
  // A zero byte inside the text ends it: the terminator is the first zero.
  EXPECT_EQ(18u, BuildRequestPacket(1, 1, 1, std::string("ab\0cd", 5)).size());
}

TEST(BridgePacketTest, ReplyParsingStaysInsideThePacket) {
  NuvBridgeReply reply;
  EXPECT_FALSE(ReadReplyPacket(nullptr, 100, &reply));
  const std::vector<uint8_t> eleven(11, 1);
  EXPECT_FALSE(ReadReplyPacket(eleven.data(), eleven.size(), &reply));

  std::vector<uint8_t> unterminated = ReplyPacket(3, 9, "abc", false);
  ASSERT_TRUE(ReadReplyPacket(unterminated.data(), unterminated.size(), &reply));
  EXPECT_EQ(3, reply.browserId);
  EXPECT_EQ(9, reply.requestId);
  EXPECT_EQ("abc", reply.text);

  std::vector<uint8_t> headerOnly = ReplyPacket(3, 9, "", false);
  ASSERT_TRUE(ReadReplyPacket(headerOnly.data(), headerOnly.size(), &reply));
  EXPECT_EQ("", reply.text);

  std::vector<uint8_t> early = ReplyPacket(3, 9, std::string("ab\0cd", 5));
  ASSERT_TRUE(ReadReplyPacket(early.data(), early.size(), &reply));
  EXPECT_EQ("ab", reply.text);
}

TEST_F(BridgeTransportTest, FifthRequestOfTheProcessIsByteExact) {
  requestCounter = 0;
  host_.set_reply_text("{}");
  const int32_t other = NewBrowser();
  SendBridgeRequest(host_.handle(), BRIDGE_GET_NAMED_OBJECTS, other, 0, "");
  SendBridgeRequest(host_.handle(), BRIDGE_RELEASE_OBJECT, other, 3, "");
  SendBridgeRequest(host_.handle(), BRIDGE_CALL_METHOD, other, 3, "{}\n");
  SendBridgeRequest(host_.handle(), BRIDGE_SET_PROPERTY, other, 3, "{}\n");
  browsers_.push_back(1);
  SendBridgeRequest(host_.handle(), BRIDGE_GET_PROPERTY, 1, 7, "title");

  ASSERT_EQ(5u, host_.requests().size());
  const RecordedRequest& read = host_.requests()[4];
  EXPECT_EQ(3u, read.kind);
  const std::vector<uint8_t> expected = {1, 0,   0,   0,   5,   0,   0, 0, 7, 0, 0,
                                         0, 't', 'i', 't', 'l', 'e', 0, 0, 0, 0};
  EXPECT_EQ(expected, read.bytes);
  EXPECT_EQ(GetHelperWindow(1)->GetWindowHandle(), read.replyTo);
  // Numbering runs across browsers and kinds.
  for (size_t i = 0; i < host_.requests().size(); ++i)
    EXPECT_EQ(static_cast<int32_t>(i + 1), host_.requests()[i].RequestId());
}

TEST_F(BridgeTransportTest, RepliesAreMatchedByBrowserAndRequestId) {
  const int32_t browser = NewBrowser();
  host_.set_reply_text("{\"a\":1}");
  EXPECT_EQ("{\"a\":1}", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));

  // Two replies under the same key: the later one is taken.
  host_.set_answer([](TestHostWindow&, const RecordedRequest& request) {
    TestHostWindow::Reply(request, "first");
    TestHostWindow::Reply(request, "second");
  });
  EXPECT_EQ("second", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));

  // A reply for another request id is filed but not taken; a reply of
  // another kind is ignored and answered with 0.
  host_.set_answer([](TestHostWindow&, const RecordedRequest& request) {
    SendPacket(request.replyTo, 0,
               ReplyPacket(request.BrowserId(), request.RequestId() + 1000, "late"));
    intptr_t result = -1;
    SendPacket(request.replyTo, 1, ReplyPacket(request.BrowserId(), request.RequestId(), "k1"),
               &result);
    EXPECT_EQ(0, result);
  });
  EXPECT_EQ("", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));
  EXPECT_EQ(1u, GetHelperWindow(browser)->GetStoredReplyCount());

  // Short packets are ignored; an unterminated text runs to the end.
  host_.set_answer([](TestHostWindow&, const RecordedRequest& request) {
    SendPacket(request.replyTo, 0, std::vector<uint8_t>(11, 0));
    SendPacket(request.replyTo, 0, std::vector<uint8_t>());
    SendPacket(request.replyTo, 0,
               ReplyPacket(request.BrowserId(), request.RequestId(), "open", false));
  });
  EXPECT_EQ("open", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));

  // No reply at all, or an empty one: the empty text.
  host_.set_answer([](TestHostWindow&, const RecordedRequest&) {});
  EXPECT_EQ("", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));
}

TEST_F(BridgeTransportTest, LateRepliesStayUntilTheWindowGoesAndAreBounded) {
  const int32_t browser = NewBrowser();
  CNuvHelperWindowRef window = GetHelperWindow(browser);
  for (int32_t i = 0; i < 3000; ++i)
    SendPacket(window->GetWindowHandle(), 0, ReplyPacket(browser, 100000 + i, "late"));
  EXPECT_EQ(CNuvChromeBrowserComHelperWindow_RendererSide::kMaxStoredReplies,
            window->GetStoredReplyCount());
  // The newest are kept.
  EXPECT_EQ("late", TakeReply(browser, 100000 + 2999));
  EXPECT_EQ("", TakeReply(browser, 100000));
}

TEST_F(BridgeTransportTest, NothingIsSentToWindowZeroOrToANonWindow) {
  const int32_t browser = NewBrowser();
  const int32_t before = requestCounter;
  EXPECT_EQ("", SendBridgeRequest(0, 3, browser, 1, "x"));
  EXPECT_EQ(before, requestCounter);
  EXPECT_FALSE(FindHelperWindow(browser));

  EXPECT_EQ("", SendBridgeRequest(0x7FFFFFF0u, 3, browser, 1, "x"));
  EXPECT_EQ(before + 1, requestCounter);
}

TEST_F(BridgeTransportTest, HelperWindowsPerBrowserAndTheirDestruction) {
  const int32_t first = NewBrowser();
  const int32_t second = NewBrowser();
  SendBridgeRequest(host_.handle(), 1, first, 0, "");
  SendBridgeRequest(host_.handle(), 1, second, 0, "");
  ASSERT_EQ(2u, host_.requests().size());
  const auto firstWindow = host_.requests()[0].replyTo;
  EXPECT_NE(0u, firstWindow);
  EXPECT_NE(firstWindow, host_.requests()[1].replyTo);
  EXPECT_TRUE(nuv::platform::IsMessageWindow(firstWindow));

  // A late reply dies with its window; the next request gets a new window.
  SendPacket(firstWindow, 0, ReplyPacket(first, 99999, "late"));
  DestroyHelperWindow(first);
  EXPECT_FALSE(nuv::platform::IsMessageWindow(firstWindow));
  EXPECT_FALSE(FindHelperWindow(first));
  DestroyHelperWindow(first);  // nothing listed: nothing happens
  SendBridgeRequest(host_.handle(), 1, first, 0, "");
  EXPECT_NE(firstWindow, host_.requests()[2].replyTo);
  EXPECT_EQ("", TakeReply(first, 99999));
}

TEST_F(BridgeTransportTest, DestroyingTheWindowOfAPendingRequestIsSafe) {
  const int32_t browser = NewBrowser();
  host_.set_answer([browser](TestHostWindow&, const RecordedRequest& request) {
    TestHostWindow::Reply(request, "before");
    DestroyHelperWindow(browser);
    // The reply address is gone now: this one cannot arrive.
    EXPECT_FALSE(TestHostWindow::Reply(request, "after"));
  });
  EXPECT_EQ("", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));
  EXPECT_FALSE(FindHelperWindow(browser));
  host_.set_answer(nullptr);
  host_.set_reply_text("again");
  EXPECT_EQ("again", SendBridgeRequest(host_.handle(), 3, browser, 1, "x"));
}

TEST_F(BridgeTransportTest, DeferredReleasesGoOutOnceAtTheNextSafePoint) {
  const int32_t browser = NewBrowser();
  const int32_t gone = NewBrowser();
  GetHelperWindow(browser);
  QueueObjectRelease(host_.handle(), browser, 41);
  QueueObjectRelease(host_.handle(), gone, 42);
  QueueObjectRelease(0, browser, 43);  // no host window: dropped
  EXPECT_EQ(2u, GetDeferredReleaseCount());
  EXPECT_TRUE(host_.requests().empty());

  host_.set_reply_text("\"ok\"");
  EXPECT_EQ("\"ok\"", SendBridgeRequest(host_.handle(), 3, browser, 7, "title"));
  ASSERT_EQ(3u, host_.requests().size());
  EXPECT_EQ(2u, host_.requests()[0].kind);
  EXPECT_EQ(41, host_.requests()[0].ObjectId());
  EXPECT_EQ(16u, host_.requests()[0].bytes.size());
  EXPECT_EQ(2u, host_.requests()[1].kind);
  EXPECT_EQ(42, host_.requests()[1].ObjectId());
  // A browser without helper window gets none just for its release.
  EXPECT_EQ(0u, host_.requests()[1].replyTo);
  EXPECT_FALSE(FindHelperWindow(gone));
  EXPECT_EQ(3u, host_.requests()[2].kind);
  // Replies to releases are taken, not left in the store.
  EXPECT_EQ(0u, GetHelperWindow(browser)->GetStoredReplyCount());

  EXPECT_EQ(0u, FlushDeferredReleases());
  QueueObjectRelease(host_.handle(), browser, 44);
  EXPECT_EQ(1u, FlushDeferredReleases());
  EXPECT_EQ(0u, FlushDeferredReleases());
  EXPECT_EQ(4u, host_.requests().size());

  // A release sent at once is the same request and makes no window either;
  // the queued ones go out before it.
  QueueObjectRelease(host_.handle(), browser, 45);
  RequestReleaseObject(host_.handle(), gone, 46);
  ASSERT_EQ(6u, host_.requests().size());
  EXPECT_EQ(45, host_.requests()[4].ObjectId());
  EXPECT_EQ(2u, host_.requests()[5].kind);
  EXPECT_EQ(46, host_.requests()[5].ObjectId());
  EXPECT_EQ(16u, host_.requests()[5].bytes.size());
  EXPECT_EQ(0u, host_.requests()[5].replyTo);
  EXPECT_FALSE(FindHelperWindow(gone));
}

}  // namespace
