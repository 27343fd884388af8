#include "platform/atomic.h"

#include <windows.h>

namespace nuv {
namespace platform {

int32_t AtomicIncrement(volatile int32_t* value) {
  return static_cast<int32_t>(InterlockedIncrement(reinterpret_cast<volatile LONG*>(value)));
}

int32_t AtomicDecrement(volatile int32_t* value) {
  return static_cast<int32_t>(InterlockedDecrement(reinterpret_cast<volatile LONG*>(value)));
}

}  // namespace platform
}  // namespace nuv
