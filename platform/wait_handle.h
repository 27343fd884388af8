// Operating-system waitable handles (Windows kernel objects). POSIX has no
// such objects: there a handle is always null and waiting on it fails.
#ifndef NUV_PLATFORM_WAIT_HANDLE_H_
#define NUV_PLATFORM_WAIT_HANDLE_H_

#include <cstdint>

namespace nuv {
namespace platform {

using WaitHandle = void*;

// Waits up to `timeout_ms` (0xFFFFFFFF: no limit). True when the handle was
// signalled or abandoned.
bool WaitOnHandle(WaitHandle handle, uint32_t timeout_ms);

// Closes a non-null handle.
void CloseWaitHandle(WaitHandle handle);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_WAIT_HANDLE_H_
