// Message windows on POSIX. Each window is a listening Unix-domain socket
// owned by the thread that created it. A sender keeps one connection per
// (thread, target window) and nesting level, writes a request frame and waits
// for the result frame; while it waits, it serves the connections of its own
// thread's windows, so replies sent to it arrive inside the pending send, to
// any depth. Every socket is non-blocking and every wait is one poll() over
// the thread's own endpoints plus the one descriptor being waited for, so a
// stalled or dead peer never blocks anyone.

#include "platform/message_window.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_window_endpoint_posix.h"

namespace nuv {
namespace platform {
namespace {

using msgwin::Log;
using msgwin::RequestHeader;
using msgwin::ResultHeader;

constexpr size_t kRequestHeaderSize = sizeof(RequestHeader);
// Bytes read ahead of a frame's header; most bridge packets fit.
constexpr size_t kReadAhead = 4096;
// Payload growth per read, so a peer that announces a large payload and
// sends little of it costs little memory.
constexpr size_t kGrowStep = 1024 * 1024;
// Idle connections kept per target window after the nesting that needed
// them has unwound.
constexpr size_t kIdleConnectionsPerTarget = 2;

struct ThreadState;

// A connection accepted on one of this thread's windows.
struct InConnection {
  int fd = -1;
  WindowHandle window = 0;
  std::vector<uint8_t> buffer;
  size_t filled = 0;
  bool busy = false;     // its request is being dispatched (maybe nested)
  bool closing = false;  // window destroyed during that dispatch
  bool dead = false;
};

// A connection of this thread to another thread's (or process's) window.
struct OutConnection {
  int fd = -1;
  bool in_use = false;
};

struct WindowEntry {
  MessageWindowDelegate* delegate = nullptr;
  ThreadState* owner = nullptr;
  int listen_fd = -1;
  bool destroying = false;
};

// Process-wide table of this process's windows. A forked child inherits the
// memory but not the windows: the fork handler empties the table and bumps
// the generation, and thread states of an older generation drop what they
// hold without touching the parent's endpoints.
struct Registry {
  std::mutex mutex;
  std::map<WindowHandle, WindowEntry> windows;
  std::atomic<uint64_t> generation{1};
};

Registry& GetRegistry();

void ForkPrepare() {
  GetRegistry().mutex.lock();
}
void ForkParent() {
  GetRegistry().mutex.unlock();
}
void ForkChild() {
  Registry& registry = GetRegistry();
  registry.windows.clear();
  ++registry.generation;
  registry.mutex.unlock();
}

Registry& GetRegistry() {
  // Never destroyed: thread states release their windows during exit.
  static Registry* registry = [] {
    auto* created = new Registry;
    pthread_atfork(ForkPrepare, ForkParent, ForkChild);
    return created;
  }();
  return *registry;
}

void CloseFd(int* fd) {
  if (*fd >= 0) {
    close(*fd);
    *fd = -1;
  }
}

struct ThreadState {
  uint64_t generation = 0;
  std::map<WindowHandle, int> windows;  // handle -> listening socket
  std::vector<std::shared_ptr<InConnection>> incoming;
  std::map<WindowHandle, std::vector<std::shared_ptr<OutConnection>>> outgoing;
  // Room for one wait's poll set, kept between waits (see PollSet).
  std::vector<pollfd> spare_fds;
  std::vector<WindowHandle> spare_listeners;
  std::vector<std::shared_ptr<InConnection>> spare_connections;

  ~ThreadState() { Release(true); }

  // Gives up everything this thread holds. `owned`: the endpoints are this
  // process's own (not inherited across fork), so they are unlisted and
  // their socket files removed.
  void Release(bool owned) {
    if (owned && !windows.empty()) {
      Registry& registry = GetRegistry();
      std::string directory = msgwin::EndpointDirectory(false);
      std::lock_guard<std::mutex> lock(registry.mutex);
      owned = registry.generation == generation;
      for (auto& window : windows) {
        if (!owned)
          break;
        registry.windows.erase(window.first);
        if (!directory.empty())
          unlink(msgwin::EndpointPath(directory, window.first).c_str());
      }
    }
    for (auto& window : windows)
      close(window.second);
    windows.clear();
    for (auto& connection : incoming) {
      connection->dead = true;
      CloseFd(&connection->fd);
    }
    incoming.clear();
    for (auto& target : outgoing) {
      for (auto& connection : target.second)
        CloseFd(&connection->fd);
    }
    outgoing.clear();
  }
};

ThreadState& CurrentThread() {
  thread_local ThreadState state;
  uint64_t generation = GetRegistry().generation.load();
  if (state.generation != generation) {
    if (state.generation != 0)
      state.Release(false);  // inherited from the parent process
    state.generation = generation;
  }
  return state;
}

// Calls a delegate, which must not let an exception escape into the
// transport.
bool CallDelegate(MessageWindowDelegate* delegate,
                  WindowHandle window,
                  uint32_t message,
                  uintptr_t wparam,
                  intptr_t lparam,
                  intptr_t* result) {
  *result = 0;
  try {
    if (!delegate->ProcessWindowMessage(window, message, wparam, lparam, result)) {
      *result = 0;
      return false;
    }
    return true;
  } catch (...) {
    Log("window %u: its handler threw an exception (message 0x%x)", window, message);
    *result = 0;
    return false;
  }
}

MessageWindowDelegate* DelegateOf(WindowHandle window, const ThreadState& state) {
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.windows.find(window);
  if (it == registry.windows.end() || it->second.owner != &state)
    return nullptr;
  return it->second.delegate;
}

bool FrameComplete(const InConnection& connection, size_t* frame_size) {
  if (connection.filled < kRequestHeaderSize)
    return false;
  RequestHeader header;
  memcpy(&header, connection.buffer.data(), sizeof(header));
  *frame_size = kRequestHeaderSize + header.cb_data;
  return connection.filled >= *frame_size;
}

void DropConnection(ThreadState& state, const std::shared_ptr<InConnection>& connection) {
  connection->dead = true;
  CloseFd(&connection->fd);
  auto& list = state.incoming;
  list.erase(std::remove(list.begin(), list.end(), connection), list.end());
}

// Reads what is available, up to the end of one frame. Returns false when
// the connection has to go (end of stream, error, bad header).
bool ReadRequest(InConnection& connection) {
  for (;;) {
    size_t wanted;
    if (connection.filled < kRequestHeaderSize) {
      if (connection.buffer.size() < kRequestHeaderSize + kReadAhead)
        connection.buffer.resize(kRequestHeaderSize + kReadAhead);
      wanted = connection.buffer.size() - connection.filled;
    } else {
      RequestHeader header;
      memcpy(&header, connection.buffer.data(), sizeof(header));
      if (header.magic != msgwin::kRequestMagic) {
        Log("window %u: dropping a connection that sent no request frame", connection.window);
        return false;
      }
      if (header.cb_data > kMaxCopyDataSize) {
        Log("window %u: refusing a copy-data of %u bytes", connection.window, header.cb_data);
        return false;
      }
      size_t frame = kRequestHeaderSize + header.cb_data;
      if (connection.filled >= frame)
        return true;
      if (connection.buffer.size() < frame) {
        connection.buffer.resize(std::min(frame, connection.buffer.size() + kGrowStep));
      }
      wanted = connection.buffer.size() - connection.filled;
    }
    ssize_t got = recv(connection.fd, connection.buffer.data() + connection.filled, wanted, 0);
    if (got > 0) {
      connection.filled += static_cast<size_t>(got);
      continue;
    }
    if (got == 0)
      return false;
    if (errno == EINTR)
      continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

bool SendResult(int fd, bool handled, intptr_t result) {
  ResultHeader header{msgwin::kResultMagic, handled ? 1u : 0u, static_cast<int64_t>(result)};
  ssize_t sent;
  do {
    sent = send(fd, &header, sizeof(header), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  // The sender reads nothing else on this connection, so a short write only
  // happens to a peer that stopped reading: it loses the connection.
  return sent == static_cast<ssize_t>(sizeof(header));
}

// Delivers the complete frame at the front of `connection` to its window.
void Dispatch(ThreadState& state, const std::shared_ptr<InConnection>& connection, size_t frame) {
  RequestHeader header;
  memcpy(&header, connection->buffer.data(), sizeof(header));
  MessageWindowDelegate* delegate = DelegateOf(connection->window, state);
  bool handled = false;
  intptr_t result = 0;
  if (delegate) {
    CopyData data;
    data.dwData = static_cast<uintptr_t>(header.dw_data);
    data.cbData = header.cb_data;
    data.lpData = header.cb_data ? connection->buffer.data() + kRequestHeaderSize : nullptr;
    connection->busy = true;
    handled = CallDelegate(delegate, connection->window, kWmCopyData, header.wparam,
                           reinterpret_cast<intptr_t>(&data), &result);
    connection->busy = false;
  }
  if (connection->dead)
    return;
  bool answered = delegate && SendResult(connection->fd, handled, result);
  if (!answered || connection->closing) {
    DropConnection(state, connection);
    return;
  }
  connection->filled -= frame;
  if (connection->filled)
    memmove(connection->buffer.data(), connection->buffer.data() + frame, connection->filled);
  if (connection->buffer.size() > kRequestHeaderSize + kReadAhead) {
    connection->buffer.resize(std::max(connection->filled, kRequestHeaderSize + kReadAhead));
    connection->buffer.shrink_to_fit();
  }
}

void AcceptAll(ThreadState& state, WindowHandle window, int listen_fd) {
  for (;;) {
    int fd = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR)
        continue;
      return;
    }
    uid_t peer = 0;
    if (!msgwin::PeerIsSameUser(fd, &peer)) {
      Log("window %u: refused a connection from user %u", window, static_cast<unsigned>(peer));
      close(fd);
      continue;
    }
    auto connection = std::make_shared<InConnection>();
    connection->fd = fd;
    connection->window = window;
    state.incoming.push_back(std::move(connection));
  }
}

// The outcome of one wait for the descriptor a caller cares about.
struct PumpResult {
  bool error = false;
  short revents = 0;
};

// The descriptors of one wait. Their room is borrowed from the thread's
// spare vectors and given back afterwards, so that a wait allocates
// nothing; a nested wait (inside a dispatch) finds the spares taken and
// makes its own.
class PollSet {
 public:
  explicit PollSet(ThreadState& state) : state_(state) {
    fds.swap(state.spare_fds);
    listeners.swap(state.spare_listeners);
    connections.swap(state.spare_connections);
  }
  ~PollSet() {
    fds.clear();
    listeners.clear();
    connections.clear();
    if (fds.capacity() > state_.spare_fds.capacity())
      fds.swap(state_.spare_fds);
    if (listeners.capacity() > state_.spare_listeners.capacity())
      listeners.swap(state_.spare_listeners);
    if (connections.capacity() > state_.spare_connections.capacity())
      connections.swap(state_.spare_connections);
  }
  PollSet(const PollSet&) = delete;
  PollSet& operator=(const PollSet&) = delete;

  std::vector<pollfd> fds;
  std::vector<WindowHandle> listeners;
  std::vector<std::shared_ptr<InConnection>> connections;

 private:
  ThreadState& state_;
};

// Waits up to `timeout_ms` for `fd` (if >= 0) to get `events`, serving this
// thread's windows meanwhile. Returns after at most one dispatch, because a
// dispatch may have changed every set this function looked at.
PumpResult PumpOnce(ThreadState& state, int fd, short events, int timeout_ms) {
  PumpResult outcome;
  // A frame already buffered (its sender pipelined) is served without
  // waiting for more bytes.
  for (auto& connection : state.incoming) {
    size_t frame;
    if (!connection->busy && FrameComplete(*connection, &frame)) {
      auto hold = connection;
      Dispatch(state, hold, frame);
      return outcome;
    }
  }
  PollSet set(state);
  std::vector<pollfd>& fds = set.fds;
  std::vector<WindowHandle>& listeners = set.listeners;
  std::vector<std::shared_ptr<InConnection>>& connections = set.connections;
  fds.reserve(1 + state.windows.size() + state.incoming.size());
  fds.push_back(pollfd{fd, events, 0});
  for (auto& window : state.windows) {
    fds.push_back(pollfd{window.second, POLLIN, 0});
    listeners.push_back(window.first);
  }
  for (auto& connection : state.incoming) {
    if (connection->busy)
      continue;
    fds.push_back(pollfd{connection->fd, POLLIN, 0});
    connections.push_back(connection);
  }
  int ready = poll(fds.data(), fds.size(), timeout_ms);
  if (ready < 0) {
    outcome.error = errno != EINTR;
    return outcome;
  }
  outcome.revents = fd >= 0 ? fds[0].revents : 0;
  if (ready == 0)
    return outcome;
  size_t index = 1;
  for (WindowHandle window : listeners) {
    if (fds[index].revents & POLLIN)
      AcceptAll(state, window, fds[index].fd);
    ++index;
  }
  for (auto& connection : connections) {
    short revents = fds[index++].revents;
    if (!revents || connection->dead)
      continue;
    if (!ReadRequest(*connection)) {
      DropConnection(state, connection);
      continue;
    }
    size_t frame;
    if (FrameComplete(*connection, &frame)) {
      Dispatch(state, connection, frame);
      return outcome;
    }
  }
  return outcome;
}

// Takes an idle connection to `target` (`reused` says so), or makes a new
// one. An idle connection is not checked first: one whose far end has gone
// fails the request's first write, and the send then tries a new
// connection (see SendCopyData).
std::shared_ptr<OutConnection> TakeConnection(ThreadState& state,
                                              WindowHandle target,
                                              bool* reused) {
  *reused = false;
  auto& pool = state.outgoing[target];
  for (auto& connection : pool) {
    if (!connection->in_use) {
      connection->in_use = true;
      *reused = true;
      return connection;
    }
  }
  int fd = msgwin::ConnectEndpoint(target);
  if (fd < 0) {
    if (pool.empty())
      state.outgoing.erase(target);
    return nullptr;
  }
  // A new connection is the moment to forget connections to windows that
  // have gone away since (a client talks to many short-lived windows).
  for (auto it = state.outgoing.begin(); it != state.outgoing.end();) {
    auto& list = it->second;
    for (auto c = list.begin(); c != list.end();) {
      pollfd check{(*c)->fd, POLLIN, 0};
      if (!(*c)->in_use && poll(&check, 1, 0) != 0) {
        CloseFd(&(*c)->fd);
        c = list.erase(c);
      } else {
        ++c;
      }
    }
    it = list.empty() && it->first != target ? state.outgoing.erase(it) : std::next(it);
  }
  auto connection = std::make_shared<OutConnection>();
  connection->fd = fd;
  connection->in_use = true;
  state.outgoing[target].push_back(connection);
  return connection;
}

void ReturnConnection(ThreadState& state,
                      WindowHandle target,
                      const std::shared_ptr<OutConnection>& connection,
                      bool healthy) {
  connection->in_use = false;
  auto found = state.outgoing.find(target);
  if (found == state.outgoing.end()) {
    CloseFd(&connection->fd);
    return;
  }
  auto& pool = found->second;
  size_t idle = 0;
  for (auto& other : pool)
    idle += other->in_use ? 0 : 1;
  if (!healthy || idle > kIdleConnectionsPerTarget) {
    CloseFd(&connection->fd);
    pool.erase(std::remove(pool.begin(), pool.end(), connection), pool.end());
    if (pool.empty())
      state.outgoing.erase(found);
  }
}

// Writes the request and waits for its result on `fd`, serving this thread's
// windows while it waits.
bool Transact(ThreadState& state,
              int fd,
              const RequestHeader& header,
              const void* payload,
              ResultHeader* answer,
              bool* unsent) {
  *unsent = false;
  size_t total = kRequestHeaderSize + header.cb_data;
  size_t sent = 0;
  size_t got = 0;
  bool writable = true;
  bool readable = false;
  while (got < sizeof(*answer)) {
    if (sent < total && writable) {
      iovec parts[2];
      int count = 0;
      if (sent < kRequestHeaderSize) {
        parts[count++] = {const_cast<char*>(reinterpret_cast<const char*>(&header)) + sent,
                          kRequestHeaderSize - sent};
      }
      size_t payload_done = sent > kRequestHeaderSize ? sent - kRequestHeaderSize : 0;
      if (header.cb_data > payload_done) {
        parts[count++] = {const_cast<char*>(static_cast<const char*>(payload)) + payload_done,
                          header.cb_data - payload_done};
      }
      msghdr message{};
      message.msg_iov = parts;
      message.msg_iovlen = count;
      ssize_t written = sendmsg(fd, &message, MSG_NOSIGNAL);
      if (written > 0) {
        sent += static_cast<size_t>(written);
        continue;
      }
      if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        // EPIPE / ECONNRESET before the first byte: the far end had closed
        // this connection; nothing of the request reached anyone.
        *unsent = sent == 0 && (errno == EPIPE || errno == ECONNRESET);
        return false;
      }
      writable = false;
    }
    if (sent == total && readable) {
      ssize_t n = recv(fd, reinterpret_cast<char*>(answer) + got, sizeof(*answer) - got, 0);
      if (n > 0) {
        got += static_cast<size_t>(n);
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        return false;
      readable = false;
    }
    PumpResult pumped = PumpOnce(state, fd, sent < total ? POLLOUT : POLLIN, -1);
    if (pumped.error || (pumped.revents & POLLNVAL))
      return false;
    if ((pumped.revents & (POLLERR | POLLHUP)) && sent < total)
      return false;
    if (pumped.revents & POLLOUT)
      writable = true;
    // After a hang-up the result may still be waiting to be read.
    if (pumped.revents & (POLLIN | POLLERR | POLLHUP))
      readable = true;
  }
  return answer->magic == msgwin::kResultMagic;
}

struct BlockingSendHookSlot {
  BlockingSendHook hook = nullptr;
  void* context = nullptr;
};
thread_local BlockingSendHookSlot t_blocking_send_hook;

void RunBlockingSendHook() {
  BlockingSendHookSlot slot = t_blocking_send_hook;
  if (slot.hook)
    slot.hook(slot.context);
}

int64_t NowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

WindowHandle CreateMessageWindow(MessageWindowDelegate* delegate) {
  if (!delegate)
    return 0;
  ThreadState& state = CurrentThread();
  WindowHandle handle = 0;
  int fd = msgwin::CreateEndpoint(&handle);
  if (fd < 0)
    return 0;
  Registry& registry = GetRegistry();
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    WindowEntry entry;
    entry.delegate = delegate;
    entry.owner = &state;
    entry.listen_fd = fd;
    registry.windows[handle] = entry;
  }
  state.windows[handle] = fd;
  return handle;
}

bool DestroyMessageWindow(WindowHandle window) {
  ThreadState& state = CurrentThread();
  Registry& registry = GetRegistry();
  MessageWindowDelegate* delegate = nullptr;
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.windows.find(window);
    if (it == registry.windows.end() || it->second.destroying)
      return false;
    if (it->second.owner != &state) {
      Log("window %u can only be destroyed by the thread that created it", window);
      return false;
    }
    it->second.destroying = true;
    delegate = it->second.delegate;
  }
  intptr_t ignored = 0;
  CallDelegate(delegate, window, kWmDestroy, 0, 0, &ignored);
  {
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.windows.erase(window);
  }
  auto listener = state.windows.find(window);
  if (listener != state.windows.end()) {
    close(listener->second);
    state.windows.erase(listener);
  }
  std::string directory = msgwin::EndpointDirectory(false);
  if (!directory.empty())
    unlink(msgwin::EndpointPath(directory, window).c_str());
  // Senders waiting on this window see their connection end; one whose
  // request is being handled right now still gets its result first.
  auto connections = state.incoming;
  for (auto& connection : connections) {
    if (connection->window != window)
      continue;
    if (connection->busy)
      connection->closing = true;
    else
      DropConnection(state, connection);
  }
  return true;
}

void AbandonMessageWindows() {
  Registry& registry = GetRegistry();
  const std::string directory = msgwin::EndpointDirectory(false);
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (!directory.empty()) {
    for (const auto& window : registry.windows)
      unlink(msgwin::EndpointPath(directory, window.first).c_str());
  }
}

bool IsMessageWindow(WindowHandle window) {
  if (window == 0)
    return false;
  {
    Registry& registry = GetRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.windows.find(window);
    if (it != registry.windows.end())
      return true;
  }
  // Another process's window: an idle or new connection answers, and is
  // kept for the send that usually follows.
  ThreadState& state = CurrentThread();
  bool reused = false;
  auto connection = TakeConnection(state, window, &reused);
  if (!connection)
    return false;
  if (reused) {
    // An idle connection answers only if its far end is still there.
    pollfd check{connection->fd, POLLIN, 0};
    if (poll(&check, 1, 0) != 0) {
      ReturnConnection(state, window, connection, false);
      return IsMessageWindow(window);
    }
  }
  ReturnConnection(state, window, connection, true);
  return true;
}

bool SendCopyData(WindowHandle target,
                  WindowHandle wparam,
                  const CopyData& data,
                  intptr_t* result) {
  intptr_t ignored;
  if (!result)
    result = &ignored;
  *result = 0;
  if (target == 0)
    return false;
  if (data.cbData > kMaxCopyDataSize || (data.cbData && !data.lpData)) {
    Log("refusing to send a copy-data of %u bytes%s", data.cbData,
        data.lpData ? "" : " without data");
    return false;
  }
  ThreadState& state = CurrentThread();
  MessageWindowDelegate* own = DelegateOf(target, state);
  if (own) {
    // A window of this thread: its handler runs right here.
    CallDelegate(own, target, kWmCopyData, wparam, reinterpret_cast<intptr_t>(&data), result);
    return true;
  }
  RunBlockingSendHook();
  RequestHeader header{msgwin::kRequestMagic, wparam, static_cast<uint64_t>(data.dwData),
                       data.cbData, 0};
  ResultHeader answer{};
  bool ok = false;
  // An idle connection whose far end closed meanwhile fails before anything
  // is written; the request then goes on a new connection, once.
  for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
    bool reused = false;
    auto connection = TakeConnection(state, target, &reused);
    if (!connection)
      return false;
    bool unsent = false;
    ok = Transact(state, connection->fd, header, data.lpData, &answer, &unsent);
    ReturnConnection(state, target, connection, ok);
    if (!ok && !(reused && unsent))
      return false;
  }
  if (!ok)
    return false;
  *result = static_cast<intptr_t>(answer.result);
  return true;
}

void SetBlockingSendHook(BlockingSendHook hook, void* context) {
  t_blocking_send_hook = BlockingSendHookSlot{hook, hook ? context : nullptr};
}

WaitResult WaitAndDispatch(int fd, int timeout_ms) {
  ThreadState& state = CurrentThread();
  if (fd < 0 && timeout_ms < 0 && state.windows.empty())
    return WaitResult::kError;  // nothing could ever end this wait
  int64_t deadline = timeout_ms >= 0 ? NowMs() + timeout_ms : 0;
  for (;;) {
    int remaining = -1;
    if (timeout_ms >= 0)
      remaining = static_cast<int>(std::max<int64_t>(0, deadline - NowMs()));
    PumpResult pumped = PumpOnce(state, fd, POLLIN, remaining);
    if (pumped.error || (pumped.revents & POLLNVAL))
      return WaitResult::kError;
    if (pumped.revents & (POLLIN | POLLHUP | POLLERR))
      return WaitResult::kFdReadable;
    if (timeout_ms >= 0 && NowMs() >= deadline)
      return WaitResult::kTimeout;
  }
}

}  // namespace platform
}  // namespace nuv
