#include "platform/wait_handle.h"

#include <windows.h>

namespace nuv {
namespace platform {

bool WaitOnHandle(WaitHandle handle, uint32_t timeout_ms) {
  if (!handle)
    return false;
  DWORD result = WaitForSingleObject(static_cast<HANDLE>(handle), timeout_ms);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void CloseWaitHandle(WaitHandle handle) {
  if (handle)
    CloseHandle(static_cast<HANDLE>(handle));
}

}  // namespace platform
}  // namespace nuv
