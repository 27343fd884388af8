#include "src/common/process_global.h"

#include <cstdlib>

#include "src/common/log.h"

namespace {

INuvGlobal* g_processGlobal = nullptr;
NuvProcessGlobalFactory g_factory = nullptr;

void DestroyProcessGlobal() {
  INuvGlobal* global = g_processGlobal;
  g_processGlobal = nullptr;
  delete global;
}

INuvGlobal* MakeDefaultGlobal() {
  return new CNuvGlobalDefault;
}

}  // namespace

bool SetProcessGlobalFactory(NuvProcessGlobalFactory factory) {
  if (g_processGlobal)
    return false;
  g_factory = factory;
  return true;
}

// Construction may end the process (no product name); the exit handler is
// registered only for a finished object.
INuvGlobal* GetProcessGlobal() {
  if (!g_processGlobal) {
    g_processGlobal = (g_factory ? g_factory : MakeDefaultGlobal)();
    atexit(DestroyProcessGlobal);
  }
  return g_processGlobal;
}

bool IsDebugLogOn() noexcept {
  try {
    return IsDebugSwitchOn();
  } catch (...) {
    return false;
  }
}
