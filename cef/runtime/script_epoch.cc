#include "cef/runtime/script_epoch.h"

#include <vector>

#include "cef/runtime/runtime_internal.h"

namespace cefrt {
namespace internal {

namespace {

// A chain longer than this is not looked through: its stores go to V8 one
// by one.
constexpr int kMaxChainLength = 16;

// What was found about one context's chain, valid while the epoch stays.
struct ArrayStoreFinding {
  uint64_t epoch = 0;
  int64 context_id = 0;
  bool quiet = false;
  std::vector<v8::Global<v8::Object>> chain;
};

// The runtime lives on one thread; so does all of this.
thread_local uint64_t t_epoch = 1;
thread_local ArrayStoreFinding* t_finding = nullptr;

// True when |object| has no own indexed property of any kind (data or
// accessor, enumerable or not): its own keys with and without indices are
// as many.
bool HasNoOwnElements(v8::Local<v8::Context> context, v8::Local<v8::Object> object) {
  const auto filter = static_cast<v8::PropertyFilter>(v8::PropertyFilter::ALL_PROPERTIES |
                                                      v8::PropertyFilter::SKIP_SYMBOLS);
  v8::Local<v8::Array> with;
  v8::Local<v8::Array> without;
  return object
             ->GetPropertyNames(context, v8::KeyCollectionMode::kOwnOnly, filter,
                                v8::IndexFilter::kIncludeIndices)
             .ToLocal(&with) &&
         object
             ->GetPropertyNames(context, v8::KeyCollectionMode::kOwnOnly, filter,
                                v8::IndexFilter::kSkipIndices)
             .ToLocal(&without) &&
         with->Length() == without->Length();
}

// Looks through the chain of a new array of |context|; fills |finding|.
void LookThroughChain(v8::Isolate* isolate,
                      v8::Local<v8::Context> context,
                      ArrayStoreFinding* finding) {
  finding->quiet = false;
  finding->chain.clear();
  v8::Context::Scope context_scope(context);
  v8::TryCatch try_catch(isolate);
  // A new array has the context's own Array.prototype, whatever the page
  // did to its global Array since.
  v8::Local<v8::Value> link = v8::Array::New(isolate, 0)->GetPrototype();
  for (int depth = 0; link->IsObject(); ++depth) {
    v8::Local<v8::Object> object = link.As<v8::Object>();
    if (depth >= kMaxChainLength || object->IsProxy() || object->HasIndexedLookupInterceptor() ||
        object->HasNamedLookupInterceptor() || !HasNoOwnElements(context, object) ||
        try_catch.HasCaught())
      return;
    finding->chain.emplace_back(isolate, object);
    link = object->GetPrototype();
  }
  finding->quiet = link->IsNull();
}

}  // namespace

void NoteScriptMayRun() {
  ++t_epoch;
}

void NoteObjectChanging(v8::Local<v8::Object> object) {
  if (object.IsEmpty())
    return;
  if (object->IsProxy()) {
    NoteScriptMayRun();
    return;
  }
  const ArrayStoreFinding* finding = t_finding;
  if (!finding || finding->epoch != t_epoch)
    return;
  for (const v8::Global<v8::Object>& link : finding->chain) {
    if (link == object) {
      NoteScriptMayRun();
      return;
    }
  }
}

bool ArrayStoresAreQuiet(v8::Isolate* isolate, const ContextState& state, bool* looked) {
  if (looked)
    *looked = false;
  if (!state.valid)
    return false;
  if (!t_finding)
    t_finding = new ArrayStoreFinding;
  ArrayStoreFinding* finding = t_finding;
  if (finding->epoch == t_epoch && finding->context_id == state.id)
    return finding->quiet;
  if (looked)
    *looked = true;
  v8::HandleScope scope(isolate);
  LookThroughChain(isolate, state.context.Get(isolate), finding);
  // Looking ran no page code, but went through V8 calls that step nothing:
  // the finding holds from now until the next step.
  finding->epoch = t_epoch;
  finding->context_id = state.id;
  return finding->quiet;
}

void ForgetArrayStoreFinding() {
  delete t_finding;
  t_finding = nullptr;
  NoteScriptMayRun();
}

}  // namespace internal
}  // namespace cefrt
