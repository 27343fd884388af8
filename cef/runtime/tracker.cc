// Native objects behind script objects: the accessor of an object made by
// CreateObject, the handler and name of a function made by CreateFunction,
// and the user data of either. A private property of the script object
// points at its Tracker; a weak handle frees the Tracker (and with it the
// client's references) once V8 has collected the object.
#include <unordered_map>
#include <vector>

#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_epoch.h"

namespace cefrt {
namespace internal {

namespace {

// A C++ exception must never unwind through V8's frames: a client callback
// that throws one is turned into this script exception instead.
const char kNativeFailure[] = "native callback failed";

std::unordered_map<Tracker*, std::unique_ptr<Tracker>>& Trackers() {
  static auto* trackers = new std::unordered_map<Tracker*, std::unique_ptr<Tracker>>();
  return *trackers;
}

v8::Local<v8::Private> TrackerKey(v8::Isolate* isolate) {
  return v8::Private::ForApi(isolate, v8::String::NewFromUtf8Literal(isolate, "nuv.cef.tracker"));
}

// Second pass: the object is gone; drop the client's references exactly once.
void ReleaseCollected(const v8::WeakCallbackInfo<Tracker>& info) {
  // The client's release code may come between two steps of page code.
  ScriptRunScope script;
  Tracker* tracker = info.GetParameter();
  auto it = Trackers().find(tracker);
  if (it == Trackers().end())
    return;
  std::unique_ptr<Tracker> owned = std::move(it->second);
  Trackers().erase(it);
  owned->ReleaseReferences();
}

// First pass: V8 requires the handle to be reset here and nothing else.
void ObjectCollected(const v8::WeakCallbackInfo<Tracker>& info) {
  info.GetParameter()->weak.Reset();
  info.SetSecondPassCallback(ReleaseCollected);
}

void ThrowError(v8::Isolate* isolate, const CefString& text) {
  isolate->ThrowException(v8::Exception::Error(ToV8String(isolate, text)));
}

// What a native getter or function call hands back to script: nothing when
// the client did not handle it, its exception text as a thrown Error, or its
// result value.
void FinishNativeCall(v8::Isolate* isolate,
                      bool handled,
                      const CefString& exception,
                      const CefRefPtr<CefV8Value>& retval,
                      v8::ReturnValue<v8::Value> returnValue) {
  if (!handled)
    return;
  if (!exception.empty()) {
    ThrowError(isolate, exception);
    return;
  }
  v8::Local<v8::Value> result;
  if (retval && UnwrapValue(retval, isolate, &result))
    returnValue.Set(result);
}

// The accessor of the object a property is read from or written to, as CEF
// finds it: from the receiver itself, so an object that merely inherits an
// accessor property (Object.create(host)) reaches no accessor and reads
// undefined.
CefRefPtr<CefV8Accessor> ReceiverAccessor(v8::Isolate* isolate, v8::Local<v8::Object> receiver) {
  if (!CurrentIsolate())
    return nullptr;
  Tracker* tracker = TrackerOf(isolate, isolate->GetCurrentContext(), receiver);
  return tracker ? tracker->accessor : nullptr;
}

CefV8ValueList WrapArguments(v8::Isolate* isolate,
                             const v8::FunctionCallbackInfo<v8::Value>& info,
                             const std::shared_ptr<ContextState>& state) {
  CefV8ValueList arguments;
  arguments.reserve(static_cast<size_t>(info.Length()));
  for (int i = 0; i < info.Length(); ++i)
    arguments.push_back(WrapValue(isolate, info[i], state));
  return arguments;
}

}  // namespace

void Tracker::ReleaseReferences() {
  // Move out first: a client destructor may reach back into the runtime.
  CefRefPtr<CefV8Accessor> a = std::move(accessor);
  CefRefPtr<CefV8Handler> h = std::move(handler);
  CefRefPtr<CefBase> u = std::move(user_data);
  accessor = nullptr;
  handler = nullptr;
  user_data = nullptr;
}

Tracker* AdoptTracker(v8::Isolate* isolate,
                      v8::Local<v8::Context> context,
                      v8::Local<v8::Object> object,
                      std::unique_ptr<Tracker> tracker) {
  if (!tracker)
    return nullptr;
  Tracker* raw = tracker.get();
  if (!object->SetPrivate(context, TrackerKey(isolate), v8::External::New(isolate, raw))
           .FromMaybe(false))
    return nullptr;
  std::shared_ptr<ContextState> state = StateOf(context);
  raw->context_id = state ? state->id : 0;
  raw->weak.Reset(isolate, object);
  raw->weak.SetWeak(raw, ObjectCollected, v8::WeakCallbackType::kParameter);
  Trackers()[raw] = std::move(tracker);
  return raw;
}

Tracker* TrackerOf(v8::Isolate* isolate, v8::Local<v8::Context> context, v8::Local<v8::Value> v) {
  if (v.IsEmpty() || !v->IsObject())
    return nullptr;
  v8::Local<v8::Value> data;
  if (!v.As<v8::Object>()->GetPrivate(context, TrackerKey(isolate)).ToLocal(&data) ||
      !data->IsExternal())
    return nullptr;
  Tracker* tracker = static_cast<Tracker*>(data.As<v8::External>()->Value());
  return Trackers().count(tracker) ? tracker : nullptr;
}

void ReleaseTrackersOfContext(int64 context_id) {
  std::vector<Tracker*> matching;
  for (auto& entry : Trackers()) {
    if (entry.first->context_id == context_id)
      matching.push_back(entry.first);
  }
  for (Tracker* tracker : matching) {
    if (Trackers().count(tracker))
      tracker->ReleaseReferences();
  }
}

void DestroyAllTrackers() {
  std::unordered_map<Tracker*, std::unique_ptr<Tracker>> all;
  all.swap(Trackers());
  for (auto& entry : all) {
    entry.second->weak.Reset();
    entry.second->ReleaseReferences();
  }
}

size_t CountTrackersHoldingReferences() {
  size_t count = 0;
  for (auto& entry : Trackers())
    count += entry.first->HoldsReferences() ? 1 : 0;
  return count;
}

void AccessorGetter(v8::Local<v8::Name> property, const v8::PropertyCallbackInfo<v8::Value>& info) {
  // Page code ran up to here and runs again after.
  ScriptRunScope script;
  v8::Isolate* isolate = info.GetIsolate();
  CefRefPtr<CefV8Accessor> accessor = ReceiverAccessor(isolate, info.This());
  if (!accessor)
    return;
  std::shared_ptr<ContextState> state = CurrentState();
  CefRefPtr<CefV8Value> object = WrapValue(isolate, info.This(), state);
  CefRefPtr<CefV8Value> retval;
  CefString exception;
  bool handled = false;
  try {
    handled = accessor->Get(ToCefString(isolate, property), object, retval, exception);
  } catch (...) {
    exception = kNativeFailure;
    handled = true;
  }
  FinishNativeCall(isolate, handled, exception, retval, info.GetReturnValue());
}

void AccessorSetter(v8::Local<v8::Name> property,
                    v8::Local<v8::Value> value,
                    const v8::PropertyCallbackInfo<void>& info) {
  // Page code ran up to here and runs again after.
  ScriptRunScope script;
  v8::Isolate* isolate = info.GetIsolate();
  CefRefPtr<CefV8Accessor> accessor = ReceiverAccessor(isolate, info.This());
  if (!accessor)
    return;
  std::shared_ptr<ContextState> state = CurrentState();
  CefRefPtr<CefV8Value> object = WrapValue(isolate, info.This(), state);
  CefRefPtr<CefV8Value> new_value = WrapValue(isolate, value, state);
  CefString exception;
  bool handled = false;
  try {
    handled = accessor->Set(ToCefString(isolate, property), object, new_value, exception);
  } catch (...) {
    exception = kNativeFailure;
    handled = true;
  }
  if (handled && !exception.empty())
    ThrowError(isolate, exception);
}

void FunctionCallback(const v8::FunctionCallbackInfo<v8::Value>& info) {
  // Page code ran up to here and runs again after.
  ScriptRunScope script;
  v8::Isolate* isolate = info.GetIsolate();
  if (!info.Data()->IsExternal() || !CurrentIsolate())
    return;
  Tracker* tracker = static_cast<Tracker*>(info.Data().As<v8::External>()->Value());
  if (!Trackers().count(tracker) || !tracker->handler)
    return;
  CefRefPtr<CefV8Handler> handler = tracker->handler;
  CefString name = tracker->function_name;
  std::shared_ptr<ContextState> state = CurrentState();
  CefRefPtr<CefV8Value> object = WrapValue(isolate, info.This(), state);
  CefV8ValueList arguments = WrapArguments(isolate, info, state);
  CefRefPtr<CefV8Value> retval;
  CefString exception;
  bool handled = false;
  try {
    handled = handler->Execute(name, object, arguments, retval, exception);
  } catch (...) {
    exception = kNativeFailure;
    handled = true;
  }
  FinishNativeCall(isolate, handled, exception, retval, info.GetReturnValue());
}

}  // namespace internal
}  // namespace cefrt
