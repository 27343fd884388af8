#include "cef/ipc/monotonic_clock.h"

#include <time.h>

namespace cefipc {

int64_t MonotonicNowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace cefipc
