// Endpoints of message windows on POSIX: one listening Unix-domain socket
// per window, named by its handle, in a directory only this user can enter.

#include "platform/message_window_endpoint_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nuv {
namespace platform {
namespace {

std::atomic<MessageWindowLogHandler> g_log_handler{nullptr};

// Longest handle in decimal plus the separator and the terminator.
constexpr size_t kHandleChars = 12;

bool IsPrivateDirectory(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool FitsSocketPath(const std::string& directory) {
  return directory.size() + kHandleChars <= sizeof(sockaddr_un::sun_path);
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  if (path.size() >= sizeof(address->sun_path))
    return false;
  memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

enum class Probe { kAlive, kStale, kAbsent };

// Tells a live endpoint from a socket file left behind by a dead process.
Probe ProbeEndpoint(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, &address))
    return Probe::kAbsent;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return Probe::kAlive;  // cannot tell: leave it alone
  int rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  int error = errno;
  close(fd);
  if (rc == 0 || error == EAGAIN || error == EINPROGRESS)
    return Probe::kAlive;
  if (error == ECONNREFUSED)
    return Probe::kStale;
  if (error == ENOENT)
    return Probe::kAbsent;
  return Probe::kAlive;
}

// Removes the sockets of dead windows, once per process, so that crashed
// processes do not leave the directory growing.
void SweepStaleEndpoints(const std::string& directory) {
  static std::atomic<bool> swept{false};
  if (swept.exchange(true))
    return;
  DIR* dir = opendir(directory.c_str());
  if (!dir)
    return;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (!*name || strspn(name, "0123456789") != strlen(name))
      continue;
    std::string path = directory + "/" + name;
    if (ProbeEndpoint(path) == Probe::kStale)
      unlink(path.c_str());
  }
  closedir(dir);
}

WindowHandle NextHandle(WindowHandle handle) {
  return handle >= msgwin::kMaxHandle ? 1 : handle + 1;
}

WindowHandle InitialHandle() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  uint64_t mix = static_cast<uint64_t>(now.tv_nsec) * 2654435761u ^
                 static_cast<uint64_t>(getpid()) * 40503u ^ static_cast<uint64_t>(now.tv_sec);
  return static_cast<WindowHandle>(0x10000 + mix % 0x00FF0000);
}

// Binds a listening socket at `path`; EADDRINUSE is reported through errno.
int BindListener(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, &address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  // Only this user may connect, even if the directory were opened up.
  chmod(path.c_str(), 0600);
  if (listen(fd, SOMAXCONN) != 0) {
    int error = errno;
    unlink(path.c_str());
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Walks the handle counter (under the caller's lock) to the first handle whose
// socket can be bound. Returns the listener and sets *handle.
int BindFreshHandle(const std::string& directory, WindowHandle start, WindowHandle* handle) {
  constexpr int kAttempts = 4096;
  WindowHandle candidate = start;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    candidate = NextHandle(candidate);
    std::string path = msgwin::EndpointPath(directory, candidate);
    int fd = BindListener(path);
    if (fd < 0 && errno == EADDRINUSE && ProbeEndpoint(path) == Probe::kStale) {
      unlink(path.c_str());
      fd = BindListener(path);
    }
    if (fd >= 0) {
      *handle = candidate;
      return fd;
    }
    if (errno != EADDRINUSE) {
      msgwin::Log("cannot bind window endpoint %s: %s", path.c_str(), strerror(errno));
      return -1;
    }
  }
  msgwin::Log("no free window handle in %s", directory.c_str());
  return -1;
}

}  // namespace

void SetMessageWindowLogHandler(MessageWindowLogHandler handler) {
  g_log_handler.store(handler);
}

namespace msgwin {

void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  MessageWindowLogHandler handler = g_log_handler.load();
  if (handler) {
    handler(line);
  } else {
    fprintf(stderr, "message window: %s\n", line);
  }
}

std::string EndpointDirectory(bool create) {
  std::string directory;
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    struct stat st;
    if (stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid())
      directory = std::string(runtime) + "/nuv-msgwin";
  }
  if (directory.empty() || !FitsSocketPath(directory))
    directory = "/tmp/nuv-msgwin-" + std::to_string(geteuid());
  if (IsPrivateDirectory(directory))
    return directory;
  if (create && mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    Log("cannot create %s: %s", directory.c_str(), strerror(errno));
    return std::string();
  }
  if (!IsPrivateDirectory(directory)) {
    if (create)
      Log("refusing %s: not a private directory of this user", directory.c_str());
    return std::string();
  }
  return directory;
}

std::string EndpointPath(const std::string& directory, WindowHandle window) {
  return directory + "/" + std::to_string(window);
}

int CreateEndpoint(WindowHandle* handle) {
  std::string directory = EndpointDirectory(true);
  if (directory.empty())
    return -1;
  std::string counter_path = directory + "/handles";
  int counter = open(counter_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (counter < 0) {
    Log("cannot open %s: %s", counter_path.c_str(), strerror(errno));
    return -1;
  }
  int rc;
  do {
    rc = flock(counter, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    Log("cannot lock %s: %s", counter_path.c_str(), strerror(errno));
    close(counter);
    return -1;
  }
  SweepStaleEndpoints(directory);
  uint32_t last = 0;
  if (pread(counter, &last, sizeof(last), 0) != static_cast<ssize_t>(sizeof(last)) || last == 0 ||
      last > kMaxHandle) {
    last = InitialHandle();
  }
  int fd = BindFreshHandle(directory, last, handle);
  if (fd >= 0 &&
      pwrite(counter, handle, sizeof(*handle), 0) != static_cast<ssize_t>(sizeof(*handle)))
    Log("cannot record the last window handle: %s", strerror(errno));
  flock(counter, LOCK_UN);
  close(counter);
  return fd;
}

int ConnectEndpoint(WindowHandle window) {
  if (window == 0 || window > kMaxHandle)
    return -1;
  std::string directory = EndpointDirectory(false);
  if (directory.empty())
    return -1;
  sockaddr_un address;
  if (!FillAddress(EndpointPath(directory, window), &address))
    return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return -1;
  }
  uid_t peer = 0;
  if (!PeerIsSameUser(fd, &peer)) {
    Log("window %u belongs to user %u: not sending", window, static_cast<unsigned>(peer));
    close(fd);
    return -1;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool PeerIsSameUser(int fd, uid_t* peer_uid) {
  ucred credentials;
  socklen_t length = sizeof(credentials);
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
      length != sizeof(credentials)) {
    *peer_uid = static_cast<uid_t>(-1);
    return false;
  }
  *peer_uid = credentials.uid;
  return credentials.uid == geteuid();
}

}  // namespace msgwin
}  // namespace platform
}  // namespace nuv
