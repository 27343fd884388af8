// The render process runtime: V8 set-up, the isolate, the browsers with
// their frames and contexts, and the render-process callbacks.
#include "cef/runtime/render_runtime.h"

#include <libplatform/libplatform.h>
#include <v8.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "cef/runtime/browser_impl.h"
#include "cef/runtime/misuse.h"
#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_epoch.h"
#include "cef/runtime/script_recursion.h"

namespace cefrt {
namespace internal {

namespace {

// Embedder data slot of a context that points at its ContextState (slot 0
// belongs to debuggers).
const int kStateSlot = 3;

class RenderRuntimeImpl;
RenderRuntimeImpl* g_runtime = nullptr;
// Asked on every call of the value interface: the render thread keeps its
// isolate in a thread-local slot, tagged with the serial number of the
// runtime that set it, so that a slot left behind by an earlier runtime
// never answers for a later one.
uint64_t g_runtime_serial = 0;
uint64_t g_live_serial = 0;
thread_local v8::Isolate* t_isolate = nullptr;
thread_local uint64_t t_serial = 0;

v8::Platform* Platform() {
  static v8::Platform* platform = [] {
    // V8 can be initialised once per process; the platform lives as long.
    v8::Platform* p = v8::platform::NewDefaultPlatform().release();
    v8::V8::InitializePlatform(p);
    v8::V8::Initialize();
    return p;
  }();
  return platform;
}

void OnFatalError(const char* location, const char* message) {
  std::fflush(stdout);
  std::fprintf(stderr, "[cef-runtime] V8 fatal error in %s: %s\n", location ? location : "?",
               message ? message : "?");
  std::fflush(stderr);
  std::abort();
}

void OnOutOfMemory(const char* location, bool is_heap_oom) {
  OnFatalError(location, is_heap_oom ? "JavaScript heap out of memory" : "process out of memory");
}

void OnMessage(v8::Local<v8::Message> message, v8::Local<v8::Value> error) {
  ReportUncaughtException(message, error);
}

class RenderRuntimeImpl : public RenderRuntime {
 public:
  RenderRuntimeImpl(CefRefPtr<CefApp> app,
                    RenderRuntimeObserver* observer,
                    const RenderRuntimeSettings& settings);
  ~RenderRuntimeImpl() override;

  void Start();

  bool CreateBrowser(int browser_id) override;
  bool DestroyBrowser(int browser_id) override;
  bool CreateContext(int browser_id,
                     int64 frame_id,
                     bool is_main,
                     const CefString& frame_name,
                     const CefString& page_script) override;
  bool ReleaseContext(int browser_id, int64 frame_id) override;
  bool RunPageScript(int browser_id, int64 frame_id, const CefString& script) override;
  bool DeliverProcessMessage(int browser_id, CefRefPtr<CefProcessMessage> message) override;
  void CollectGarbage() override;
  CefRefPtr<CefBrowser> GetBrowser(int browser_id) override;
  size_t GetTrackedObjectCount() override { return CountTrackersHoldingReferences(); }

  v8::Isolate* isolate() const { return isolate_; }
  CefRefPtr<CefRenderProcessHandler> handler() const { return handler_; }
  RenderRuntimeObserver* observer() const { return observer_; }

 private:
  BrowserImpl* FindBrowser(int browser_id, const char* operation);
  // Resolves (or creates) the frame a new context belongs to.
  FrameImpl* FrameForContext(BrowserImpl* browser,
                             int64 frame_id,
                             bool is_main,
                             const CefString& name);
  void ReleaseFrameContext(BrowserImpl* browser, FrameImpl* frame);

  CefRefPtr<CefApp> app_;
  CefRefPtr<CefRenderProcessHandler> handler_;
  RenderRuntimeObserver* observer_;
  std::unique_ptr<v8::ArrayBuffer::Allocator> allocator_;
  v8::Isolate* isolate_ = nullptr;
  // Open for the runtime's whole life on the render thread. Every call into
  // the runtime still opens its own scope inside this one; this one only
  // keeps a handle block allocated, so those inner scopes do not each
  // allocate and free a block.
  std::optional<v8::HandleScope> outer_scope_;
  std::map<int, CefRefPtr<BrowserImpl>> browsers_;
  int64 next_context_id_ = 0;
};

// One task of the render thread: a microtask checkpoint when it ends.
class TaskScope {
 public:
  TaskScope() = default;
  ~TaskScope() { MicrotaskCheckpoint(); }
  TaskScope(const TaskScope&) = delete;
  TaskScope& operator=(const TaskScope&) = delete;
};

RenderRuntimeImpl::RenderRuntimeImpl(CefRefPtr<CefApp> app,
                                     RenderRuntimeObserver* observer,
                                     const RenderRuntimeSettings& settings)
    : app_(app), observer_(observer) {
  Platform();
  allocator_.reset(v8::ArrayBuffer::Allocator::NewDefaultAllocator());
  v8::Isolate::CreateParams params;
  params.array_buffer_allocator = allocator_.get();
  isolate_ = v8::Isolate::New(params);
  isolate_->Enter();
  outer_scope_.emplace(isolate_);
  // One handle in it gives it its block (scopes opened while the current
  // one has none would each allocate one and free it on closing).
  (void)v8::Integer::New(isolate_, 0);
  isolate_->SetFatalErrorHandler(OnFatalError);
  isolate_->SetOOMErrorHandler(OnOutOfMemory);
  // Microtasks run at checkpoints only (script_recursion.h), as in Blink.
  isolate_->SetMicrotasksPolicy(v8::MicrotasksPolicy::kExplicit);
  ResetScriptRecursion();
  // As CEF: without a positive stack size nobody listens for uncaught
  // exceptions, so OnUncaughtException is never called.
  if (settings.uncaught_exception_stack_size > 0) {
    isolate_->AddMessageListenerWithErrorLevel(OnMessage, v8::Isolate::kMessageError);
    isolate_->SetCaptureStackTraceForUncaughtExceptions(
        true, settings.uncaught_exception_stack_size, v8::StackTrace::kDetailed);
  }
  g_runtime = this;
  g_live_serial = ++g_runtime_serial;
  t_isolate = isolate_;
  t_serial = g_live_serial;
}

void RenderRuntimeImpl::Start() {
  if (app_)
    handler_ = app_->GetRenderProcessHandler();
  if (handler_) {
    handler_->OnRenderThreadCreated(CefListValue::Create());
    handler_->OnWebKitInitialized();
  }
}

RenderRuntimeImpl::~RenderRuntimeImpl() {
  // Nothing queued runs while everything is taken down.
  StopMicrotaskCheckpoints();
  while (!browsers_.empty())
    DestroyBrowser(browsers_.begin()->first);
  ExitAllEnteredContexts();
  // Isolate::Dispose runs no finalizers: drop every client reference while
  // V8 is still usable, then every handle a wrapper still holds.
  DestroyAllTrackers();
  handler_ = nullptr;
  app_ = nullptr;
  InvalidateAllValues();
  ForgetArrayStoreFinding();
  g_runtime = nullptr;
  g_live_serial = 0;
  t_isolate = nullptr;
  outer_scope_.reset();
  isolate_->Exit();
  isolate_->Dispose();
}

BrowserImpl* RenderRuntimeImpl::FindBrowser(int browser_id, const char* operation) {
  auto it = browsers_.find(browser_id);
  if (it == browsers_.end()) {
    LogError(std::string(operation) + ": unknown browser " + std::to_string(browser_id));
    return nullptr;
  }
  return it->second.get();
}

bool RenderRuntimeImpl::CreateBrowser(int browser_id) {
  TaskScope task;
  if (browsers_.count(browser_id)) {
    LogError("CreateBrowser: browser " + std::to_string(browser_id) + " already exists");
    return false;
  }
  CefRefPtr<BrowserImpl> browser = new BrowserImpl(browser_id);
  browsers_[browser_id] = browser;
  if (handler_)
    handler_->OnBrowserCreated(browser.get());
  return true;
}

bool RenderRuntimeImpl::DestroyBrowser(int browser_id) {
  TaskScope task;
  CefRefPtr<BrowserImpl> browser = FindBrowser(browser_id, "DestroyBrowser");
  if (!browser)
    return false;
  // Sub-frames first, the main frame last.
  std::vector<CefRefPtr<FrameImpl>> frames = browser->frames();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if ((*it)->context_state())
      ReleaseFrameContext(browser.get(), it->get());
  }
  if (handler_)
    handler_->OnBrowserDestroyed(browser.get());
  browser->Detach();
  browsers_.erase(browser_id);
  return true;
}

FrameImpl* RenderRuntimeImpl::FrameForContext(BrowserImpl* browser,
                                              int64 frame_id,
                                              bool is_main,
                                              const CefString& name) {
  FrameImpl* frame = browser->FindFrame(frame_id);
  if (frame) {
    if (is_main && !frame->IsMain()) {
      LogError("CreateContext: frame " + std::to_string(frame_id) +
               " is a sub-frame and cannot become the main frame");
      return nullptr;
    }
  } else if (is_main) {
    // The main frame exists from browser creation; the client's identifier
    // for it arrives now (a new main document may bring a new one).
    frame = browser->main_frame();
    if (frame->context_state())
      ReleaseFrameContext(browser, frame);
    browser->NameMainFrame(frame_id);
  } else {
    frame = browser->AddFrame(frame_id, name);
  }
  frame->set_name(name);
  return frame;
}

bool RenderRuntimeImpl::CreateContext(int browser_id,
                                      int64 frame_id,
                                      bool is_main,
                                      const CefString& frame_name,
                                      const CefString& page_script) {
  TaskScope task;
  CefRefPtr<BrowserImpl> browser = FindBrowser(browser_id, "CreateContext");
  if (!browser)
    return false;
  CefRefPtr<FrameImpl> frame = FrameForContext(browser.get(), frame_id, is_main, frame_name);
  if (!frame)
    return false;
  if (frame->context_state())
    ReleaseFrameContext(browser.get(), frame.get());

  v8::HandleScope scope(isolate_);
  v8::Local<v8::Context> context = v8::Context::New(isolate_);
  if (context.IsEmpty()) {
    LogError("CreateContext: V8 could not create a context");
    return false;
  }
  // Frames of one browser may reach each other's objects.
  context->SetSecurityToken(browser->SecurityToken(isolate_));
  auto state = std::make_shared<ContextState>();
  state->id = ++next_context_id_;
  state->context.Reset(isolate_, context);
  state->browser = browser;
  state->frame = frame;
  context->SetAlignedPointerInEmbedderData(kStateSlot, state.get());
  frame->set_context_state(state);
  {
    v8::Context::Scope context_scope(context);
    if (!InstallDocument(isolate_, context, browser_id, frame->GetIdentifier()) ||
        !InstallWindow(isolate_, context))
      LogError("CreateContext: the document or window object could not be installed");
    // As CEF: the callback is one script call, and what it queued runs
    // when it returns.
    ScriptRecursionScope recursion;
    if (handler_)
      handler_->OnContextCreated(browser.get(), frame.get(), WrapContext(state));
  }
  if (!page_script.empty() && state->valid)
    RunPageCode(state.get(), page_script, frame->GetURL(), 1);
  return true;
}

void RenderRuntimeImpl::ReleaseFrameContext(BrowserImpl* browser, FrameImpl* frame) {
  std::shared_ptr<ContextState> state = frame->context_state();
  if (!state)
    return;
  v8::HandleScope scope(isolate_);
  v8::Local<v8::Context> context = state->context.Get(isolate_);
  if (handler_ && state->valid) {
    v8::Context::Scope context_scope(context);
    ScriptRecursionScope recursion;
    handler_->OnContextReleased(browser, frame, WrapContext(state));
  }
  state->valid = false;
  frame->set_context_state(nullptr);
  context->SetAlignedPointerInEmbedderData(kStateSlot, nullptr);
  ReleaseTrackersOfContext(state->id);
  InvalidateValuesOfContext(state.get());
  state->context.Reset();
  state->browser = nullptr;
  state->frame = nullptr;
}

bool RenderRuntimeImpl::ReleaseContext(int browser_id, int64 frame_id) {
  TaskScope task;
  CefRefPtr<BrowserImpl> browser = FindBrowser(browser_id, "ReleaseContext");
  if (!browser)
    return false;
  CefRefPtr<FrameImpl> frame = browser->FindFrame(frame_id);
  if (!frame || !frame->context_state()) {
    LogError("ReleaseContext: browser " + std::to_string(browser_id) + " has no context in frame " +
             std::to_string(frame_id));
    return false;
  }
  ReleaseFrameContext(browser.get(), frame.get());
  return true;
}

bool RenderRuntimeImpl::RunPageScript(int browser_id, int64 frame_id, const CefString& script) {
  TaskScope task;
  CefRefPtr<BrowserImpl> browser = FindBrowser(browser_id, "RunPageScript");
  if (!browser)
    return false;
  CefRefPtr<FrameImpl> frame = browser->FindFrame(frame_id);
  if (!frame || !frame->context_state()) {
    LogError("RunPageScript: browser " + std::to_string(browser_id) + " has no context in frame " +
             std::to_string(frame_id));
    return false;
  }
  std::shared_ptr<ContextState> state = frame->context_state();
  return RunPageCode(state.get(), script, frame->GetURL(), 1);
}

bool RenderRuntimeImpl::DeliverProcessMessage(int browser_id,
                                              CefRefPtr<CefProcessMessage> message) {
  TaskScope task;
  CefRefPtr<BrowserImpl> browser = FindBrowser(browser_id, "DeliverProcessMessage");
  if (!browser)
    return false;
  if (!message) {
    LogError("DeliverProcessMessage: no message");
    return false;
  }
  return handler_ && handler_->OnProcessMessageReceived(browser.get(), PID_BROWSER, message);
}

void RenderRuntimeImpl::CollectGarbage() {
  TaskScope task;
  // A full collection whose weak callbacks (both passes) have all run when
  // it returns; pump the platform too in case V8 posted any as tasks.
  ScriptRunScope script_run;
  isolate_->LowMemoryNotification();
  while (v8::platform::PumpMessageLoop(Platform(), isolate_)) {
  }
}

CefRefPtr<CefBrowser> RenderRuntimeImpl::GetBrowser(int browser_id) {
  auto it = browsers_.find(browser_id);
  return it == browsers_.end() ? nullptr : it->second.get();
}

}  // namespace

v8::Isolate* CurrentIsolate() {
  return t_isolate && t_serial == g_live_serial ? t_isolate : nullptr;
}

const char* NoIsolateReason() {
  // t_serial stays set on a thread whose runtime has ended.
  return t_serial ? "V8 isolate is not valid: the runtime of this thread has ended"
                  : "called on incorrect thread: not the render thread of a live runtime";
}

CefRefPtr<CefRenderProcessHandler> CurrentHandler() {
  return CurrentIsolate() ? g_runtime->handler() : nullptr;
}

RenderRuntimeObserver* CurrentObserver() {
  return CurrentIsolate() ? g_runtime->observer() : nullptr;
}

std::shared_ptr<ContextState> StateOf(v8::Local<v8::Context> context) {
  if (context.IsEmpty() || !CurrentIsolate() ||
      context->GetNumberOfEmbedderDataFields() <= static_cast<uint32_t>(kStateSlot))
    return nullptr;
  void* state = context->GetAlignedPointerFromEmbedderData(kStateSlot);
  return state ? static_cast<ContextState*>(state)->shared_from_this() : nullptr;
}

std::shared_ptr<ContextState> CurrentState() {
  v8::Isolate* isolate = CurrentIsolate();
  if (!isolate || !isolate->InContext())
    return nullptr;
  v8::HandleScope scope(isolate);
  return StateOf(isolate->GetCurrentContext());
}

bool RunPageCode(ContextState* state, const CefString& source, const CefString& url, int line) {
  v8::Isolate* isolate = CurrentIsolate();
  if (!isolate || !state || !state->valid)
    return false;
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = state->context.Get(isolate);
  v8::Context::Scope context_scope(context);
  // Verbose: whatever escapes the page code reaches OnUncaughtException.
  ScriptRunScope script_run;
  ScriptRecursionScope recursion;
  v8::TryCatch try_catch(isolate);
  try_catch.SetVerbose(true);
  v8::ScriptOrigin origin(isolate, ToV8String(isolate, url), line > 0 ? line - 1 : 0, 0);
  v8::Local<v8::Script> script;
  if (!v8::Script::Compile(context, ToV8String(isolate, source), &origin).ToLocal(&script))
    return false;
  v8::Local<v8::Value> result;
  return script->Run(context).ToLocal(&result) && !try_catch.HasCaught();
}

v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const CefString& text) {
  return ToV8String(isolate, reinterpret_cast<const char16_t*>(text.c_str()), text.length());
}

v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const char16_t* text, size_t length) {
  v8::Local<v8::String> result;
  if (length > static_cast<size_t>(v8::String::kMaxLength) ||
      !v8::String::NewFromTwoByte(isolate, reinterpret_cast<const uint16_t*>(text),
                                  v8::NewStringType::kNormal, static_cast<int>(length))
           .ToLocal(&result)) {
    LogError("a text is too long for a script string; the empty string is used");
    return v8::String::Empty(isolate);
  }
  return result;
}

CefString ToCefString(v8::Isolate* isolate, v8::Local<v8::Value> value) {
  if (value.IsEmpty())
    return CefString();
  if (value->IsSymbol())
    value = value.As<v8::Symbol>()->Description(isolate);
  if (value.IsEmpty() || !value->IsString())
    return CefString();
  v8::Local<v8::String> s = value.As<v8::String>();
  std::u16string text(static_cast<size_t>(s->Length()), u'\0');
  s->Write(isolate, reinterpret_cast<uint16_t*>(&text[0]), 0, s->Length(),
           v8::String::NO_NULL_TERMINATION);
  return text;
}

void LogError(const std::string& text) {
  std::fprintf(stderr, "[cef-runtime] %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace internal

RenderRuntime::~RenderRuntime() = default;

std::unique_ptr<RenderRuntime> RenderRuntime::Create(CefRefPtr<CefApp> app,
                                                     RenderRuntimeObserver* observer,
                                                     const RenderRuntimeSettings& settings) {
  if (internal::g_runtime) {
    internal::LogError("RenderRuntime::Create: a runtime already exists in this process");
    return nullptr;
  }
  auto runtime = std::make_unique<internal::RenderRuntimeImpl>(app, observer, settings);
  runtime->Start();
  return runtime;
}

}  // namespace cefrt
