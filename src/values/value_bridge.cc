#include "src/values/value_bridge.h"

#include <atomic>

namespace {

std::atomic<INuvValueBridge*> g_valueBridge{nullptr};

}  // namespace

void SetValueBridge(INuvValueBridge* bridge) {
  g_valueBridge.store(bridge, std::memory_order_release);
}

INuvValueBridge* GetValueBridge() {
  return g_valueBridge.load(std::memory_order_acquire);
}
