// When page script may have run, and whether storing into a new array can
// run any. A store into a hole of an array goes up the array's prototype
// chain: a setter, a proxy or an interceptor there would run page code, and
// a read-only element there would refuse the store. When the chain holds
// none of these, a store only adds an element, so the runtime may gather
// the elements of an array it made and give them to V8 in one go (see
// fresh_array.h). Knowing the chain is still clean needs to know that no
// script ran since it was looked at: every runtime path that may run page
// code counts a step of the script epoch on its way in and on its way out.
#ifndef CEF_RUNTIME_SCRIPT_EPOCH_H_
#define CEF_RUNTIME_SCRIPT_EPOCH_H_

#include <v8.h>

#include <cstdint>

namespace cefrt {
namespace internal {

struct ContextState;

// Steps the epoch: from here on, earlier findings about the chain are void.
void NoteScriptMayRun();

// Steps the epoch on entry and on exit of a call that may run page code.
class ScriptRunScope {
 public:
  ScriptRunScope() { NoteScriptMayRun(); }
  ~ScriptRunScope() { NoteScriptMayRun(); }
  ScriptRunScope(const ScriptRunScope&) = delete;
  ScriptRunScope& operator=(const ScriptRunScope&) = delete;
};

// Called before |object| is changed without running script (a property
// defined, an accessor set): steps the epoch when |object| is a proxy or one
// of the prototypes the last finding rests on.
void NoteObjectChanging(v8::Local<v8::Object> object);

// True when a store into any hole of a new array of |state|'s context runs
// no script and always succeeds: no object on the chain from that
// context's Array.prototype has an indexed property, is a proxy or has an
// interceptor. The finding is kept until the epoch steps; |looked| (when
// given) tells whether this call had to look through the chain again.
bool ArrayStoresAreQuiet(v8::Isolate* isolate, const ContextState& state, bool* looked = nullptr);

// Drops the kept finding and its handles (before the isolate goes).
void ForgetArrayStoreFinding();

}  // namespace internal
}  // namespace cefrt

#endif  // CEF_RUNTIME_SCRIPT_EPOCH_H_
