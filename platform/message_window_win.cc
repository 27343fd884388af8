// Message windows on Windows: hidden, disabled pop-up windows of one class,
// SendMessageW with WM_COPYDATA between them. Windows itself delivers the
// messages sent to a thread's windows while that thread waits in
// SendMessageW, which is the nested dispatch the bridge relies on.
//
// `fd` in WaitAndDispatch is a C runtime descriptor whose operating-system
// handle is waitable (_get_osfhandle); it is waited on together with the
// thread's message queue.

#include "platform/message_window.h"

#include <windows.h>

#include <io.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace nuv {
namespace platform {
namespace {

std::atomic<MessageWindowLogHandler> g_log_handler{nullptr};

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

// Window handles are 32-bit values, sign-extended in a 64-bit process.
HWND ToHwnd(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

WindowHandle FromHwnd(HWND hwnd) {
  return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(hwnd));
}

// The delegate of a window being created, taken up by its first message
// (WM_GETMINMAXINFO comes before WM_NCCREATE).
thread_local MessageWindowDelegate* t_creating = nullptr;

MessageWindowDelegate* DelegateOf(HWND hwnd) {
  auto* delegate = reinterpret_cast<MessageWindowDelegate*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!delegate && t_creating) {
    delegate = t_creating;
    t_creating = nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(delegate));
  }
  return delegate;
}

bool CallDelegate(MessageWindowDelegate* delegate,
                  HWND hwnd,
                  UINT message,
                  WPARAM wparam,
                  intptr_t lparam,
                  intptr_t* result) {
  *result = 0;
  try {
    return delegate->ProcessWindowMessage(FromHwnd(hwnd), message, wparam, lparam, result);
  } catch (...) {
    Log("window %p: its handler threw an exception (message 0x%x)", static_cast<void*>(hwnd),
        message);
    *result = 0;
    return false;
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MessageWindowDelegate* delegate = DelegateOf(hwnd);
  if (delegate) {
    intptr_t result = 0;
    bool handled;
    if (message == WM_COPYDATA) {
      CopyData data;
      const auto* sent = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (sent) {
        data.dwData = static_cast<uintptr_t>(sent->dwData);
        data.cbData = sent->cbData;
        data.lpData = sent->cbData ? sent->lpData : nullptr;
      }
      handled = CallDelegate(delegate, hwnd, message, wparam,
                             sent ? reinterpret_cast<intptr_t>(&data) : 0, &result);
    } else {
      handled =
          CallDelegate(delegate, hwnd, message, wparam, static_cast<intptr_t>(lparam), &result);
    }
    if (message == WM_NCDESTROY)
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (handled)
      return static_cast<LRESULT>(result);
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&WindowProc), &module);
  return module;
}

// The window class, registered once per process under a name that only has
// to be unique in it.
ATOM WindowClass() {
  static const ATOM atom = [] {
    wchar_t name[64];
    static const int marker = 0;
    swprintf(name, 64, L"NuvMessageWindow:%p", static_cast<const void*>(&marker));
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;  // 0x000B
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = ModuleInstance();
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    window_class.lpszClassName = name;
    ATOM registered = RegisterClassExW(&window_class);
    if (!registered)
      Log("RegisterClassExW failed: %lu", GetLastError());
    return registered;
  }();
  return atom;
}

bool IsOurWindow(HWND hwnd) {
  if (!IsWindow(hwnd))
    return false;
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  return process == GetCurrentProcessId() &&
         static_cast<ATOM>(GetClassLongPtrW(hwnd, GCW_ATOM)) == WindowClass();
}

struct BlockingSendHookSlot {
  BlockingSendHook hook = nullptr;
  void* context = nullptr;
};
thread_local BlockingSendHookSlot t_blocking_send_hook;

// A window of this thread answers inside SendMessageW without blocking.
void RunBlockingSendHook(HWND target) {
  const BlockingSendHookSlot slot = t_blocking_send_hook;
  if (slot.hook && GetWindowThreadProcessId(target, nullptr) != GetCurrentThreadId())
    slot.hook(slot.context);
}

}  // namespace

void SetMessageWindowLogHandler(MessageWindowLogHandler handler) {
  g_log_handler.store(handler);
}

WindowHandle CreateMessageWindow(MessageWindowDelegate* delegate) {
  ATOM atom = WindowClass();
  if (!delegate || !atom)
    return 0;
  t_creating = delegate;
  HWND hwnd = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"",
                              WS_POPUP | WS_DISABLED, -100, -100, 50, 50, nullptr, nullptr,
                              ModuleInstance(), nullptr);
  t_creating = nullptr;
  if (!hwnd) {
    Log("CreateWindowExW failed: %lu", GetLastError());
    return 0;
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(delegate));
  return FromHwnd(hwnd);
}

bool DestroyMessageWindow(WindowHandle window) {
  HWND hwnd = ToHwnd(window);
  if (!window || !IsOurWindow(hwnd))
    return false;
  if (!DestroyWindow(hwnd)) {
    Log("DestroyWindow failed: %lu", GetLastError());
    return false;
  }
  return true;
}

void AbandonMessageWindows() {}

bool IsMessageWindow(WindowHandle window) {
  return window != 0 && IsWindow(ToHwnd(window));
}

void SetBlockingSendHook(BlockingSendHook hook, void* context) {
  t_blocking_send_hook = BlockingSendHookSlot{hook, hook ? context : nullptr};
}

bool SendCopyData(WindowHandle target,
                  WindowHandle wparam,
                  const CopyData& data,
                  intptr_t* result) {
  intptr_t ignored;
  if (!result)
    result = &ignored;
  *result = 0;
  HWND hwnd = ToHwnd(target);
  if (!target || !IsWindow(hwnd))
    return false;
  if (data.cbData > kMaxCopyDataSize || (data.cbData && !data.lpData)) {
    Log("refusing to send a copy-data of %u bytes", data.cbData);
    return false;
  }
  RunBlockingSendHook(hwnd);
  COPYDATASTRUCT sent;
  sent.dwData = static_cast<ULONG_PTR>(data.dwData);
  sent.cbData = data.cbData;
  sent.lpData = const_cast<void*>(data.lpData);
  SetLastError(ERROR_SUCCESS);
  LRESULT answer = SendMessageW(hwnd, WM_COPYDATA, reinterpret_cast<WPARAM>(ToHwnd(wparam)),
                                reinterpret_cast<LPARAM>(&sent));
  // SendMessageW has no failure result of its own: a window that vanished
  // before answering leaves 0 and an error behind.
  if (answer == 0 && GetLastError() != ERROR_SUCCESS && !IsWindow(hwnd))
    return false;
  *result = static_cast<intptr_t>(answer);
  return true;
}

WaitResult WaitAndDispatch(int fd, int timeout_ms) {
  HANDLE handle = nullptr;
  if (fd >= 0) {
    handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || !handle)
      return WaitResult::kError;
  }
  ULONGLONG deadline = timeout_ms >= 0 ? GetTickCount64() + timeout_ms : 0;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
        return WaitResult::kError;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    DWORD remaining = INFINITE;
    if (timeout_ms >= 0) {
      ULONGLONG now = GetTickCount64();
      if (now >= deadline) {
        // Out of time, even if messages keep coming: the descriptor decides.
        if (handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0)
          return WaitResult::kFdReadable;
        return WaitResult::kTimeout;
      }
      remaining = static_cast<DWORD>(deadline - now);
    }
    DWORD count = handle ? 1 : 0;
    DWORD waited = MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr, remaining,
                                               QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handle && waited == WAIT_OBJECT_0)
      return WaitResult::kFdReadable;
    if (waited == WAIT_OBJECT_0 + count)
      continue;  // messages: dispatched at the top of the loop
    if (waited == WAIT_TIMEOUT)
      return WaitResult::kTimeout;
    return WaitResult::kError;
  }
}

}  // namespace platform
}  // namespace nuv
