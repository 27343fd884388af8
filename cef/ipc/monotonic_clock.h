// Milliseconds of a clock that never goes back, for the deadlines of the
// IPC's waits on both sides (render loop and client).
#ifndef CEF_IPC_MONOTONIC_CLOCK_H_
#define CEF_IPC_MONOTONIC_CLOCK_H_

#include <cstdint>

namespace cefipc {

// CLOCK_MONOTONIC in milliseconds; only differences mean anything.
int64_t MonotonicNowMs();

}  // namespace cefipc

#endif  // CEF_IPC_MONOTONIC_CLOCK_H_
