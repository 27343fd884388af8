// Hidden message windows with synchronous copy-data sends: the transport of
// the host object bridge between a render process and the client's host
// window. On Windows these are real windows (RegisterClassExW,
// CreateWindowExW, SendMessageW with WM_COPYDATA); on POSIX each window is a
// Unix-domain endpoint reachable only by processes of the same user, with the
// same contract:
//  - a window handle is a 32-bit number; 0 is never a window;
//  - SendCopyData blocks the calling thread until the receiving window's
//    handler has returned, and hands back its result; it fails at once when
//    the handle is not a window;
//  - while a thread is blocked in SendCopyData, messages sent to windows that
//    thread owns are dispatched on it (nested), so a reply can arrive inside
//    a pending request;
//  - a thread that is idle in its own loop dispatches them through
//    WaitAndDispatch;
//  - a copy-data message keeps the Windows layout: dwData, cbData, lpData.
#ifndef NUV_PLATFORM_MESSAGE_WINDOW_H_
#define NUV_PLATFORM_MESSAGE_WINDOW_H_

#include <cstdint>

namespace nuv {
namespace platform {

// A window handle as the bridge carries it: 32 bits, 0 = no window.
using WindowHandle = uint32_t;

// Message numbers as on Windows, so the window procedures read alike.
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmCopyData = 0x004A;

// COPYDATASTRUCT: dwData is the caller's kind, lpData points at cbData bytes.
struct CopyData {
  uintptr_t dwData = 0;
  uint32_t cbData = 0;
  const void* lpData = nullptr;
};

// What a window does with the messages it receives, called on the thread
// that created the window. For kWmCopyData, `lparam` is the address of a
// CopyData that is valid only during the call and `wparam` the handle the
// sender passed. Returns true when the message was handled and sets
// *result; unhandled messages get the default handling (result 0).
class MessageWindowDelegate {
 public:
  virtual bool ProcessWindowMessage(WindowHandle window,
                                    uint32_t message,
                                    uintptr_t wparam,
                                    intptr_t lparam,
                                    intptr_t* result) = 0;

 protected:
  virtual ~MessageWindowDelegate() = default;
};

// Creates a hidden window owned by the calling thread. The delegate must
// outlive the window. Returns 0 when the window cannot be created.
WindowHandle CreateMessageWindow(MessageWindowDelegate* delegate);

// Destroys a window created by this process (kWmDestroy reaches its
// delegate first). Returns false for a handle that is not such a window.
bool DestroyMessageWindow(WindowHandle window);

// For a process about to end on the spot (its threads will not end their
// windows): makes every window of this process unreachable at once and
// leaves nothing behind for senders to find. Callable from any thread; the
// windows must not be used afterwards. On Windows there is nothing to do:
// windows end with their process.
void AbandonMessageWindows();

// Whether `window` is a live window (of any process of this user).
bool IsMessageWindow(WindowHandle window);

// Largest copy-data payload a window accepts; larger sends are refused
// before anything is transferred.
constexpr uint32_t kMaxCopyDataSize = 64u * 1024u * 1024u;

// SendMessageW(target, WM_COPYDATA, wparam, &data): blocks until the
// target's delegate has returned, dispatching this thread's own windows
// meanwhile. Returns false at once when `target` is not a window, or when the
// target goes away before answering; *result (optional) gets the delegate's
// result.
bool SendCopyData(WindowHandle target, WindowHandle wparam, const CopyData& data, intptr_t* result);

// Called on the calling thread right before SendCopyData blocks for a window
// of another thread or process, so that a thread which holds back output of
// its own (to send it together with what follows) lets it go before it
// waits. One hook per thread; nullptr removes it. The hook must not send
// copy-data itself.
using BlockingSendHook = void (*)(void* context);
void SetBlockingSendHook(BlockingSendHook hook, void* context);

// The idle loop of a thread that owns windows: waits until `fd` is readable
// (fd < 0: no descriptor) or `timeout_ms` passes (< 0: no limit), dispatching
// every message sent to this thread's windows meanwhile.
enum class WaitResult { kFdReadable, kTimeout, kError };
WaitResult WaitAndDispatch(int fd, int timeout_ms);

// Where the transport reports refused peers and malformed traffic (one line
// per call, no trailing line feed). nullptr restores the default, which
// writes to standard error.
using MessageWindowLogHandler = void (*)(const char* line);
void SetMessageWindowLogHandler(MessageWindowLogHandler handler);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_MESSAGE_WINDOW_H_
