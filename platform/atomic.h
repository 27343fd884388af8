// Atomic counters (InterlockedIncrement).
#ifndef NUV_PLATFORM_ATOMIC_H_
#define NUV_PLATFORM_ATOMIC_H_

#include <cstdint>

namespace nuv {
namespace platform {

// Adds one to `*value` atomically (full barrier) and returns the new value;
// wraps from INT32_MAX to INT32_MIN.
int32_t AtomicIncrement(volatile int32_t* value);
int32_t AtomicDecrement(volatile int32_t* value);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_ATOMIC_H_
