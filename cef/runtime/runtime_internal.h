// Shared internals of the V8-backed runtime: access to the one isolate from
// the render thread, the per-context record, the native-object tracker and
// the wrappers that turn V8 handles into CEF objects. Only cef/runtime/
// includes this header.
#ifndef CEF_RUNTIME_RUNTIME_INTERNAL_H_
#define CEF_RUNTIME_RUNTIME_INTERNAL_H_

#include <v8.h>

#include <memory>
#include <string>

#include "include/cef_browser.h"
#include "include/cef_render_process_handler.h"
#include "include/cef_v8.h"

namespace cefrt {

class RenderRuntimeObserver;

namespace internal {

class BrowserImpl;
class FrameImpl;
class CefV8ValueImpl;

// What the runtime knows about one script context. The context's embedder
// data points here while the context is live.
struct ContextState : std::enable_shared_from_this<ContextState> {
  int64 id = 0;
  bool valid = true;
  v8::Global<v8::Context> context;
  CefRefPtr<BrowserImpl> browser;
  CefRefPtr<FrameImpl> frame;
};

// The native objects behind one script object or function made through the
// CEF interface. Lives until V8 collects the object (or the isolate goes);
// the references it holds are dropped earlier when its context is released.
struct Tracker {
  int64 context_id = 0;
  CefRefPtr<CefV8Accessor> accessor;
  CefRefPtr<CefV8Handler> handler;
  CefString function_name;
  CefRefPtr<CefBase> user_data;
  int external_memory = 0;
  v8::Global<v8::Object> weak;

  bool HoldsReferences() const { return accessor || handler || user_data; }
  // Drops every client reference; safe to call more than once.
  void ReleaseReferences();
};

// The runtime's services for the other files of cef/runtime/. All of them
// return null/false unless called on the render thread of a live runtime.
v8::Isolate* CurrentIsolate();
CefRefPtr<CefRenderProcessHandler> CurrentHandler();
RenderRuntimeObserver* CurrentObserver();

// The record of |context|; null for contexts the runtime did not make or
// has released.
std::shared_ptr<ContextState> StateOf(v8::Local<v8::Context> context);
// The record of the isolate's current context (null when none).
std::shared_ptr<ContextState> CurrentState();

// Native-object tracking (tracker.cc).
// Links |tracker| to |object| (private property plus weak handle) and keeps
// it; null when that fails (then |tracker| is gone).
Tracker* AdoptTracker(v8::Isolate* isolate,
                      v8::Local<v8::Context> context,
                      v8::Local<v8::Object> object,
                      std::unique_ptr<Tracker> tracker);
Tracker* TrackerOf(v8::Isolate* isolate, v8::Local<v8::Context> context, v8::Local<v8::Value> v);
void ReleaseTrackersOfContext(int64 context_id);
void DestroyAllTrackers();
size_t CountTrackersHoldingReferences();
void AccessorGetter(v8::Local<v8::Name> property, const v8::PropertyCallbackInfo<v8::Value>& info);
void AccessorSetter(v8::Local<v8::Name> property,
                    v8::Local<v8::Value> value,
                    const v8::PropertyCallbackInfo<void>& info);
void FunctionCallback(const v8::FunctionCallbackInfo<v8::Value>& info);

// Value wrappers (v8_value_impl.cc). Live wrappers are registered so that
// their handles can be dropped when their context or the isolate goes.
CefRefPtr<CefV8Value> WrapValue(v8::Isolate* isolate,
                                v8::Local<v8::Value> value,
                                std::shared_ptr<ContextState> state);
// As WrapValue, with the record of |context| looked up only for objects.
CefRefPtr<CefV8Value> WrapValueIn(v8::Isolate* isolate,
                                  v8::Local<v8::Value> value,
                                  v8::Local<v8::Context> context);
bool UnwrapValue(const CefRefPtr<CefV8Value>& value,
                 v8::Isolate* isolate,
                 v8::Local<v8::Value>* out);
void InvalidateValuesOfContext(const ContextState* state);
void InvalidateAllValues();

// Context wrappers (v8_context_impl.cc).
CefRefPtr<CefV8Context> WrapContext(std::shared_ptr<ContextState> state);
std::shared_ptr<ContextState> StateOfWrapper(CefRefPtr<CefV8Context> context);
// Leaves every context entered through CefV8Context::Enter (teardown).
void ExitAllEnteredContexts();

// Exceptions and stack traces (v8_exception_impl.cc), as snapshots.
CefRefPtr<CefV8Exception> MakeException(v8::Isolate* isolate,
                                        v8::Local<v8::Context> context,
                                        v8::Local<v8::Message> message);
CefRefPtr<CefV8StackTrace> MakeStackTrace(v8::Isolate* isolate, v8::Local<v8::StackTrace> trace);
// Calls the page's window.onerror, then OnUncaughtException, for |message|
// (the message listener).
void ReportUncaughtException(v8::Local<v8::Message> message, v8::Local<v8::Value> error);

// The page's document object (document.cc).
bool InstallDocument(v8::Isolate* isolate,
                     v8::Local<v8::Context> context,
                     int browser_id,
                     int64 frame_id);
// The page's window: window, self, frames, document.defaultView and the
// onerror attribute (window_object.cc). Needs the document installed first.
bool InstallWindow(v8::Isolate* isolate, v8::Local<v8::Context> context);
// Calls the page's window.onerror, if it holds a function, for an uncaught
// exception of |context| with Chromium's arguments (message, source, line,
// column, error). Not re-entered for an exception of the handler itself.
void DispatchPageError(v8::Isolate* isolate,
                       v8::Local<v8::Context> context,
                       v8::Local<v8::Message> message,
                       v8::Local<v8::Value> error);
// Runs one document command as execCommand does and tells the observer.
bool RunDocumentCommand(int browser_id,
                        int64 frame_id,
                        const CefString& command,
                        bool show_ui,
                        const CefString& value);

// Runs |source| as page code in |state|'s context under a verbose TryCatch,
// so that an escaping exception reaches OnUncaughtException. False on a
// throw or compile error.
bool RunPageCode(ContextState* state, const CefString& source, const CefString& url, int line);

// Text conversions.
v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const CefString& text);
v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const char16_t* text, size_t length);
CefString ToCefString(v8::Isolate* isolate, v8::Local<v8::Value> value);

// One clear line on stderr.
void LogError(const std::string& text);

}  // namespace internal
}  // namespace cefrt

#endif  // CEF_RUNTIME_RUNTIME_INTERNAL_H_
