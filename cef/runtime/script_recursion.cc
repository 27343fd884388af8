#include "cef/runtime/script_recursion.h"

#include <v8.h>

#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_epoch.h"

namespace cefrt {
namespace internal {

namespace {

// Render thread only, like everything else of the runtime.
int g_level = 0;
bool g_in_checkpoint = false;
bool g_stopped = false;

}  // namespace

void RaiseScriptRecursion() {
  ++g_level;
}

void LowerScriptRecursion() {
  if (g_level > 0)
    --g_level;
}

void MicrotaskCheckpoint() {
  v8::Isolate* isolate = CurrentIsolate();
  if (!isolate || g_level > 0 || g_in_checkpoint || g_stopped)
    return;
  g_in_checkpoint = true;
  {
    // The reactions run as script of their own: calls they make do not
    // start a checkpoint inside this one.
    ScriptRecursionScope scope;
    ScriptRunScope script;
    v8::HandleScope handles(isolate);
    isolate->PerformMicrotaskCheckpoint();
  }
  g_in_checkpoint = false;
}

void ResetScriptRecursion() {
  g_level = 0;
  g_in_checkpoint = false;
  g_stopped = false;
}

void StopMicrotaskCheckpoints() {
  g_stopped = true;
}

ScriptRecursionScope::~ScriptRecursionScope() {
  LowerScriptRecursion();
  if (g_level == 0)
    MicrotaskCheckpoint();
}

}  // namespace internal
}  // namespace cefrt
