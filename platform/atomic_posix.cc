#include "platform/atomic.h"

namespace nuv {
namespace platform {

// Unsigned arithmetic so that the wrap from INT32_MAX is defined.
int32_t AtomicIncrement(volatile int32_t* value) {
  return static_cast<int32_t>(
      __atomic_add_fetch(reinterpret_cast<volatile uint32_t*>(value), 1u, __ATOMIC_SEQ_CST));
}

int32_t AtomicDecrement(volatile int32_t* value) {
  return static_cast<int32_t>(
      __atomic_sub_fetch(reinterpret_cast<volatile uint32_t*>(value), 1u, __ATOMIC_SEQ_CST));
}

}  // namespace platform
}  // namespace nuv
