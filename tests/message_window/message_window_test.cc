// The message window transport between this test process and a real second
// process (message_window_peer), over the real per-user endpoints.

#include "platform/message_window.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/message_window_endpoint_posix.h"
#include "tests/common/test_util.h"
#include "tests/message_window/peer_protocol.h"

namespace nuv {
namespace platform {
namespace {

std::mutex g_log_mutex;
std::vector<std::string> g_log_lines;

void CaptureLog(const char* line) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log_lines.emplace_back(line);
}

bool LogContains(const std::string& text) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  for (const auto& line : g_log_lines) {
    if (line.find(text) != std::string::npos)
      return true;
  }
  return false;
}

// A window of the test process: records what reaches it and, for kNest,
// plays the same part as the peer.
class TestWindow : public MessageWindowDelegate {
 public:
  struct Received {
    uint32_t message;
    uintptr_t wparam;
    uintptr_t dw_data;
    std::vector<uint8_t> bytes;
    bool null_data;
  };

  TestWindow() : handle_(CreateMessageWindow(this)) {}
  ~TestWindow() override {
    if (handle_ && IsMessageWindow(handle_))
      DestroyMessageWindow(handle_);
  }

  WindowHandle handle() const { return handle_; }
  std::vector<Received> received;
  int nest_calls = 0;

  bool ProcessWindowMessage(WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    Received entry{message, wparam, 0, {}, true};
    if (message == kWmCopyData) {
      const auto& data = *reinterpret_cast<const CopyData*>(lparam);
      entry.dw_data = data.dwData;
      entry.null_data = data.lpData == nullptr;
      const auto* bytes = static_cast<const uint8_t*>(data.lpData);
      entry.bytes.assign(bytes, bytes + data.cbData);
      if (data.dwData == peer::kNest) {
        ++nest_calls;
        uint32_t depth = 0;
        memcpy(&depth, data.lpData, sizeof(depth));
        if (depth == 0) {
          *result = 1;
        } else {
          --depth;
          CopyData next{peer::kNest, sizeof(depth), &depth};
          intptr_t nested = 0;
          bool sent = SendCopyData(static_cast<WindowHandle>(wparam), window, next, &nested);
          *result = sent ? nested + 1 : -1000;
        }
        received.push_back(std::move(entry));
        return true;
      }
      *result = static_cast<intptr_t>(data.cbData);
    }
    received.push_back(std::move(entry));
    return message == kWmCopyData;
  }

 private:
  WindowHandle handle_;
};

// Serves this thread's windows until `done` or about five seconds.
bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i)
    WaitAndDispatch(-1, 10);
  return done();
}

int RawConnect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int RawConnect(WindowHandle window) {
  return RawConnect(msgwin::EndpointPath(msgwin::EndpointDirectory(false), window));
}

// Whether the far end has closed `fd` (reads until end of stream, without
// blocking the pump).
bool ClosedByPeer(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  char buffer[64];
  ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
  return got == 0 || (got < 0 && errno != EAGAIN);
}

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageWindowLogHandler(CaptureLog);
    ASSERT_TRUE(
        peer_process_.Start(NUV_MESSAGE_WINDOW_PEER, {}, {}, nuv_test::ChildStreams::kTalk));
    std::string line;
    ASSERT_TRUE(peer_process_.ReadLine(&line));
    peer_ = static_cast<WindowHandle>(std::stoul(line));
    ASSERT_NE(0u, peer_);
    ASSERT_NE(0u, window_.handle());
  }
  void TearDown() override { SetMessageWindowLogHandler(nullptr); }

  bool Send(uintptr_t kind, const void* bytes, size_t size, intptr_t* result) {
    CopyData data{kind, static_cast<uint32_t>(size), bytes};
    return SendCopyData(peer_, window_.handle(), data, result);
  }

  nuv_test::ChildProcess peer_process_;
  WindowHandle peer_ = 0;
  TestWindow window_;
};

TEST_F(MessageWindowTest, DeliversPayloadsByteExactWithNestedReplies) {
  std::mt19937 random(12345);
  for (size_t size : {size_t{0}, size_t{1}, size_t{11}, size_t{4095}, size_t{4096}, size_t{4097},
                      size_t{65543}, size_t{(1 << 20) + 3}, size_t{20 << 20}}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> payload(size);
    for (auto& byte : payload)
      byte = static_cast<uint8_t>(random());
    intptr_t result = 0;
    ASSERT_TRUE(Send(peer::kHash, payload.data(), size, &result));
    EXPECT_EQ(peer::Fnv1a(payload.data(), size), result);

    // The peer sends the bytes back to this thread's window while this
    // thread is still blocked in its own send.
    window_.received.clear();
    ASSERT_TRUE(Send(peer::kReplyBack, payload.data(), size, &result));
    EXPECT_EQ(static_cast<intptr_t>(1000 + size), result);
    ASSERT_EQ(1u, window_.received.size());
    const auto& back = window_.received[0];
    EXPECT_EQ(kWmCopyData, back.message);
    EXPECT_EQ(peer::kReturned, back.dw_data);
    EXPECT_EQ(peer_, back.wparam);
    EXPECT_EQ(size == 0, back.null_data);
    EXPECT_TRUE(back.bytes == payload);
  }
  // dwData keeps all its bits.
  intptr_t result = 0;
  EXPECT_TRUE(Send(uintptr_t{0x123456789ABCDEF0}, "x", 1, &result));
  EXPECT_EQ(0, result);  // not handled by the peer: default result
}

TEST_F(MessageWindowTest, NestsSeveralLevelsDeep) {
  for (uint32_t depth : {0u, 1u, 2u, 7u, 40u}) {
    SCOPED_TRACE(depth);
    window_.nest_calls = 0;
    intptr_t result = 0;
    ASSERT_TRUE(Send(peer::kNest, &depth, sizeof(depth), &result));
    EXPECT_EQ(static_cast<intptr_t>(depth) + 1, result);
    EXPECT_EQ(static_cast<int>((depth + 1) / 2), window_.nest_calls);
  }
}

TEST_F(MessageWindowTest, SendsToWindowsThatAreGoneFailAtOnce) {
  intptr_t result = 99;
  EXPECT_FALSE(SendCopyData(0, window_.handle(), CopyData{}, &result));
  EXPECT_EQ(0, result);
  EXPECT_FALSE(IsMessageWindow(0));

  // A local window after its destruction.
  {
    TestWindow gone;
    WindowHandle handle = gone.handle();
    ASSERT_TRUE(DestroyMessageWindow(handle));
    EXPECT_FALSE(DestroyMessageWindow(handle));
    ASSERT_EQ(2u, gone.received.size() + 1);  // kWmDestroy only
    EXPECT_EQ(kWmDestroy, gone.received[0].message);
    EXPECT_FALSE(IsMessageWindow(handle));
    EXPECT_FALSE(SendCopyData(handle, 0, CopyData{}, &result));
  }

  // The peer's window: alive, then destroyed inside a request (whose result
  // still arrives), then its process gone.
  EXPECT_TRUE(IsMessageWindow(peer_));
  ASSERT_TRUE(Send(peer::kHash, "abc", 3, &result));
  ASSERT_TRUE(Send(peer::kDestroySelf, nullptr, 0, &result));
  EXPECT_EQ(55, result);
  EXPECT_FALSE(Send(peer::kHash, "abc", 3, &result));
  EXPECT_FALSE(IsMessageWindow(peer_));
  EXPECT_EQ(0, peer_process_.Wait().exit_code);  // after its input is closed
  EXPECT_FALSE(Send(peer::kHash, "abc", 3, &result));
}

TEST_F(MessageWindowTest, ReceiverDyingMidRequestFailsTheSend) {
  intptr_t result = 0;
  ASSERT_TRUE(Send(peer::kHash, "abc", 3, &result));  // a cached connection exists
  EXPECT_FALSE(Send(peer::kDie, "abc", 3, &result));
  EXPECT_EQ(7, peer_process_.Wait().exit_code);
  EXPECT_FALSE(Send(peer::kHash, "abc", 3, &result));
  EXPECT_FALSE(IsMessageWindow(peer_));
}

TEST_F(MessageWindowTest, RefusesOversizedAndMalformedTraffic) {
  // The size is refused before a single byte is read.
  char small[4] = {};
  intptr_t result = 0;
  CopyData huge{peer::kHash, kMaxCopyDataSize + 1, small};
  EXPECT_FALSE(SendCopyData(peer_, window_.handle(), huge, &result));
  CopyData missing{peer::kHash, 8, nullptr};
  EXPECT_FALSE(SendCopyData(peer_, window_.handle(), missing, &result));

  // Raw peers of this window: a header announcing too much, a frame without
  // the magic, half a header then death, a request whose sender dies before
  // reading the result.
  msgwin::RequestHeader oversized{msgwin::kRequestMagic, 0, 1, kMaxCopyDataSize + 1, 0};
  int fd = RawConnect(window_.handle());
  ASSERT_GE(fd, 0);
  ASSERT_EQ(24, write(fd, &oversized, sizeof(oversized)));
  EXPECT_TRUE(PumpUntil([&] { return ClosedByPeer(fd); }));
  close(fd);
  EXPECT_TRUE(LogContains("refusing a copy-data"));

  fd = RawConnect(window_.handle());
  ASSERT_EQ(24, write(fd, "GET / HTTP/1.0\r\n\r\nxxxxxx", 24));
  EXPECT_TRUE(PumpUntil([&] { return ClosedByPeer(fd); }));
  close(fd);

  fd = RawConnect(window_.handle());
  msgwin::RequestHeader partial{msgwin::kRequestMagic, 0, 1, 100, 0};
  ASSERT_EQ(10, write(fd, &partial, 10));
  WaitAndDispatch(-1, 30);
  close(fd);
  WaitAndDispatch(-1, 30);

  window_.received.clear();
  fd = RawConnect(window_.handle());
  msgwin::RequestHeader whole{msgwin::kRequestMagic, 0, 9, 3, 0};
  ASSERT_EQ(24, write(fd, &whole, sizeof(whole)));
  ASSERT_EQ(3, write(fd, "xyz", 3));
  close(fd);
  EXPECT_TRUE(PumpUntil([&] { return !window_.received.empty(); }));
  ASSERT_EQ(1u, window_.received.size());
  EXPECT_EQ(9u, window_.received[0].dw_data);

  // None of that disturbed the window.
  window_.received.clear();
  ASSERT_TRUE(Send(peer::kReplyBack, "after", 5, &result));
  EXPECT_EQ(1005, result);
  EXPECT_EQ(1u, window_.received.size());
}

TEST_F(MessageWindowTest, ThreadsOwnTheirWindows) {
  // A window of another thread of this process is served by that thread.
  std::atomic<WindowHandle> other{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> destroyed{false};
  std::atomic<std::thread::id> served_on{};
  class Recorder : public MessageWindowDelegate {
   public:
    std::atomic<std::thread::id>* served_on;
    bool ProcessWindowMessage(WindowHandle,
                              uint32_t message,
                              uintptr_t,
                              intptr_t,
                              intptr_t* result) override {
      if (message != kWmCopyData)
        return false;
      served_on->store(std::this_thread::get_id());
      *result = 77;
      return true;
    }
  } recorder;
  recorder.served_on = &served_on;
  std::thread owner([&] {
    other = CreateMessageWindow(&recorder);
    while (!stop)
      WaitAndDispatch(-1, 5);
    destroyed = DestroyMessageWindow(other);
  });
  while (!other)
    std::this_thread::yield();
  intptr_t result = 0;
  EXPECT_TRUE(SendCopyData(other, 0, CopyData{1, 1, "a"}, &result));
  EXPECT_EQ(77, result);
  EXPECT_NE(std::this_thread::get_id(), served_on.load());
  EXPECT_FALSE(DestroyMessageWindow(other));  // not this thread's window
  EXPECT_TRUE(IsMessageWindow(other));
  stop = true;
  owner.join();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(SendCopyData(other, 0, CopyData{1, 1, "a"}, &result));

  // A window of this thread is called directly.
  window_.received.clear();
  EXPECT_TRUE(SendCopyData(window_.handle(), 5, CopyData{9, 2, "hi"}, &result));
  EXPECT_EQ(2, result);
  ASSERT_EQ(1u, window_.received.size());
  EXPECT_EQ(5u, window_.received[0].wparam);

  // An exiting thread takes its windows along.
  WindowHandle orphan = 0;
  std::thread([&] { orphan = CreateMessageWindow(&recorder); }).join();
  EXPECT_NE(0u, orphan);
  EXPECT_FALSE(IsMessageWindow(orphan));
}

TEST_F(MessageWindowTest, WaitAndDispatchReportsItsDescriptor) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  EXPECT_EQ(WaitResult::kTimeout, WaitAndDispatch(fds[0], 20));
  ASSERT_EQ(1, write(fds[1], "x", 1));
  EXPECT_EQ(WaitResult::kFdReadable, WaitAndDispatch(fds[0], -1));
  close(fds[0]);
  close(fds[1]);
  std::thread([] { EXPECT_EQ(WaitResult::kError, WaitAndDispatch(-1, -1)); }).join();
}

// Points XDG_RUNTIME_DIR, where endpoints live, elsewhere while it lives.
class RuntimeDirectoryOverride {
 public:
  explicit RuntimeDirectoryOverride(const std::string& directory) {
    const char* value = getenv("XDG_RUNTIME_DIR");
    had_value_ = value != nullptr;
    if (value)
      saved_ = value;
    setenv("XDG_RUNTIME_DIR", directory.c_str(), 1);
  }
  ~RuntimeDirectoryOverride() {
    if (had_value_)
      setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

 private:
  bool had_value_ = false;
  std::string saved_;
};

// Another user can neither send to this user's windows nor, even when the
// file permissions are opened up, get a connection accepted.
TEST_F(MessageWindowTest, RefusesPeersOfAnotherUser) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another user";
  passwd* nobody = getpwnam("nobody");
  uid_t other_uid = nobody ? nobody->pw_uid : 65534;
  gid_t other_gid = nobody ? nobody->pw_gid : 65534;
  // Opening up the shared endpoint directory would make every test running
  // beside this one refuse it; this window lives in a runtime directory of
  // its own instead.
  // The window is destroyed (and its endpoint removed) before the variable
  // is restored.
  nuv_test::ScratchDir runtime;
  ASSERT_EQ(0, chmod(runtime.path().c_str(), 0711));
  RuntimeDirectoryOverride runtime_override(runtime.path());
  TestWindow window;
  std::string directory = msgwin::EndpointDirectory(false);
  ASSERT_NE(0u, window.handle());
  ASSERT_EQ(0u, directory.rfind(runtime.path(), 0)) << directory;
  std::string path = msgwin::EndpointPath(directory, window.handle());
  ASSERT_EQ(0, chmod(directory.c_str(), 0711));
  ASSERT_EQ(0, chmod(path.c_str(), 0666));

  int report[2];
  ASSERT_EQ(0, pipe(report));
  window.received.clear();
  pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    char outcome[2] = {'?', '?'};
    if (setgid(other_gid) == 0 && setuid(other_uid) == 0) {
      intptr_t result = 0;
      outcome[0] = SendCopyData(window.handle(), 0, CopyData{1, 1, "a"}, &result) ? 'S' : 'f';
      int fd = RawConnect(path);
      msgwin::RequestHeader whole{msgwin::kRequestMagic, 0, 1, 1, 0};
      if (fd >= 0) {
        // The window's thread drops the connection unread: the writes may
        // fail, and no result ever comes.
        signal(SIGPIPE, SIG_IGN);
        (void)!write(fd, &whole, sizeof(whole));
        (void)!write(fd, "a", 1);
        char answer[16];
        outcome[1] = read(fd, answer, sizeof(answer)) <= 0 ? 'r' : 'A';
      } else {
        outcome[1] = 'c';
      }
    }
    (void)!write(report[1], outcome, 2);
    _exit(0);
  }
  close(report[1]);
  char outcome[2] = {};
  int got = 0;
  while (got < 2) {
    if (WaitAndDispatch(report[0], 5000) != WaitResult::kFdReadable)
      break;
    ssize_t n = read(report[0], outcome + got, 2 - got);
    if (n <= 0)
      break;
    got += static_cast<int>(n);
  }
  close(report[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ('f', outcome[0]);
  EXPECT_EQ('r', outcome[1]);
  EXPECT_TRUE(window.received.empty());
  EXPECT_TRUE(LogContains("refused a connection from user"));
}

}  // namespace
}  // namespace platform
}  // namespace nuv
