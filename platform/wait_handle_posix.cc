#include "platform/wait_handle.h"

namespace nuv {
namespace platform {

// POSIX has no kernel objects to wait on; no handle is ever created, so a
// wait fails as WaitForSingleObject fails for an invalid handle.
bool WaitOnHandle(WaitHandle handle, uint32_t timeout_ms) {
  return false;
}

void CloseWaitHandle(WaitHandle handle) {}

}  // namespace platform
}  // namespace nuv
