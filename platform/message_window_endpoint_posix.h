// The POSIX endpoints behind message windows: where a window's Unix-domain
// socket lives, how a fresh process-unique handle is taken, how a sender
// reaches a window, the peer checks that keep other users out, and the frames
// that travel on a connection. Private to the message window backend (and
// its tests).
#ifndef NUV_PLATFORM_MESSAGE_WINDOW_ENDPOINT_POSIX_H_
#define NUV_PLATFORM_MESSAGE_WINDOW_ENDPOINT_POSIX_H_

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/message_window.h"

namespace nuv {
namespace platform {
namespace msgwin {

// Handles stay below 2^31 so that they read the same as signed or unsigned
// decimal numbers on a command line.
constexpr WindowHandle kMaxHandle = 0x7FFFFFFF;

// A request frame: this header, then exactly `cb_data` payload bytes.
// Host byte order: both ends are on the same machine.
constexpr uint32_t kRequestMagic = 0x4D57554E;  // "NUWM"
struct RequestHeader {
  uint32_t magic;
  uint32_t wparam;
  uint64_t dw_data;
  uint32_t cb_data;
  uint32_t reserved;
};
static_assert(sizeof(RequestHeader) == 24, "request header layout");

// The answer to one request: the delegate's result.
constexpr uint32_t kResultMagic = 0x5257554E;  // "NUWR"
struct ResultHeader {
  uint32_t magic;
  uint32_t handled;
  int64_t result;
};
static_assert(sizeof(ResultHeader) == 16, "result header layout");

// Formats one log line and hands it to the installed log handler.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The directory of this user's endpoints ("$XDG_RUNTIME_DIR/nuv-msgwin", or
// "/tmp/nuv-msgwin-<uid>"). With `create`, it is made if missing; either way
// it is only returned when it is a real directory owned by this user that no
// one else can enter. Empty on failure (logged).
std::string EndpointDirectory(bool create);

// The socket path of `window` inside `directory`.
std::string EndpointPath(const std::string& directory, WindowHandle window);

// Takes a fresh handle (unique among the live windows of this user, and not
// reused soon after a window goes away) and binds a listening, non-blocking
// socket to it. Returns the socket, or -1 (logged).
int CreateEndpoint(WindowHandle* handle);

// Connects to the endpoint of `window`, checks that its owner is this user
// and makes the connection non-blocking. Returns -1 when there is no such
// window or it belongs to someone else (the latter logged).
int ConnectEndpoint(WindowHandle window);

// Whether the process at the other end of `fd` runs as this user; when not,
// *peer_uid gets its user id.
bool PeerIsSameUser(int fd, uid_t* peer_uid);

}  // namespace msgwin
}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_MESSAGE_WINDOW_ENDPOINT_POSIX_H_
