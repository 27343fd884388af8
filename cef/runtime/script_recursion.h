// When microtasks run. The isolate never runs them by itself: as in a Blink
// renderer they run at a checkpoint, which happens when the outermost script
// call made by the runtime returns (page code, Eval, ExecuteFunction, the
// context callbacks), at the end of each render-loop task, and never while
// the script recursion level is above zero. CefV8Context::Enter raises that
// level and Exit lowers it again without a checkpoint, so that a result
// computed inside an entered context goes out before the promise reactions
// that the computation queued.
#ifndef CEF_RUNTIME_SCRIPT_RECURSION_H_
#define CEF_RUNTIME_SCRIPT_RECURSION_H_

namespace cefrt {
namespace internal {

// CefV8Context::Enter and Exit: the level without a checkpoint.
void RaiseScriptRecursion();
void LowerScriptRecursion();

// Runs the queued microtasks unless script (or an entered context) is still
// on the way, or a checkpoint is already running.
void MicrotaskCheckpoint();

// A new runtime starts at level 0; a runtime that is ending runs no more
// microtasks.
void ResetScriptRecursion();
void StopMicrotaskCheckpoints();

// One script call of the runtime: raises the level and, when the level
// falls back to 0, runs a checkpoint.
class ScriptRecursionScope {
 public:
  ScriptRecursionScope() { RaiseScriptRecursion(); }
  ~ScriptRecursionScope();
  ScriptRecursionScope(const ScriptRecursionScope&) = delete;
  ScriptRecursionScope& operator=(const ScriptRecursionScope&) = delete;
};

}  // namespace internal
}  // namespace cefrt

#endif  // CEF_RUNTIME_SCRIPT_RECURSION_H_
