// CefV8Context over a runtime context record, with Enter/Exit nesting kept
// on a stack so that an unbalanced Exit fails instead of upsetting V8.
#include <vector>

#include "cef/runtime/browser_impl.h"
#include "cef/runtime/misuse.h"
#include "cef/runtime/script_epoch.h"
#include "cef/runtime/script_recursion.h"

namespace cefrt {
namespace internal {

namespace {

struct EnteredContext {
  std::shared_ptr<ContextState> state;
  v8::Global<v8::Context> context;
};

std::vector<EnteredContext>& EnteredStack() {
  static auto* stack = new std::vector<EnteredContext>();
  return *stack;
}

class CefV8ContextImpl : public CefV8Context {
 public:
  explicit CefV8ContextImpl(std::shared_ptr<ContextState> state) : state_(std::move(state)) {}

  const std::shared_ptr<ContextState>& state() const { return state_; }

  // CEF_V8_REQUIRE_VALID_HANDLE: the render thread of a live runtime and a
  // context that has not been released. Reports the fault (debug builds)
  // and answers false otherwise; |here| names the caller (CEFRT_HERE).
  v8::Isolate* RequireValid(const char* here) {
    v8::Isolate* isolate = CurrentIsolate();
    if (!isolate) {
      CEFRT_REPORT_MISUSE_AT(here, NoIsolateReason());
      return nullptr;
    }
    if (!state_->valid) {
      CEFRT_REPORT_MISUSE_AT(here, kHandleNotValid);
      return nullptr;
    }
    return isolate;
  }

  CefRefPtr<CefTaskRunner> GetTaskRunner() override { return nullptr; }
  bool IsValid() override { return CurrentIsolate() && state_->valid; }
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefFrame> GetFrame() override;
  CefRefPtr<CefV8Value> GetGlobal() override {
    v8::Isolate* isolate = RequireValid(CEFRT_HERE);
    if (!isolate)
      return nullptr;
    v8::HandleScope scope(isolate);
    return WrapValue(isolate, state_->context.Get(isolate)->Global(), state_);
  }
  bool Enter() override {
    v8::Isolate* isolate = RequireValid(CEFRT_HERE);
    if (!isolate)
      return false;
    v8::HandleScope scope(isolate);
    v8::Local<v8::Context> context = state_->context.Get(isolate);
    context->Enter();
    EnteredStack().push_back({state_, v8::Global<v8::Context>(isolate, context)});
    // As CEF: script called while a context is entered is not the
    // outermost, so its microtasks wait for the end of the task.
    RaiseScriptRecursion();
    return true;
  }
  bool Exit() override {
    v8::Isolate* isolate = CurrentIsolate();
    CEFRT_REQUIRE_ISOLATE_RETURN(isolate, false);
    std::vector<EnteredContext>& stack = EnteredStack();
    if (stack.empty() || stack.back().state != state_) {
      LogError("CefV8Context::Exit: this context is not the most recently entered one");
      return false;
    }
    v8::HandleScope scope(isolate);
    if (isolate->GetCurrentContext() != stack.back().context.Get(isolate)) {
      LogError("CefV8Context::Exit: a script scope entered later is still open");
      return false;
    }
    stack.back().context.Get(isolate)->Exit();
    stack.pop_back();
    LowerScriptRecursion();
    return true;
  }
  bool IsSame(CefRefPtr<CefV8Context> that) override {
    CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), false);
    std::shared_ptr<ContextState> other = StateOfWrapper(that);
    return other && other == state_;
  }
  bool Eval(const CefString& code,
            CefRefPtr<CefV8Value>& retval,
            CefRefPtr<CefV8Exception>& exception) override;

 private:
  std::shared_ptr<ContextState> state_;
  IMPLEMENT_REFCOUNTING(CefV8ContextImpl);
};

bool CefV8ContextImpl::Eval(const CefString& code,
                            CefRefPtr<CefV8Value>& retval,
                            CefRefPtr<CefV8Exception>& exception) {
  v8::Isolate* isolate = RequireValid(CEFRT_HERE);
  if (!isolate)
    return false;
  if (code.empty()) {
    CEFRT_REPORT_MISUSE(kInvalidInput);
    return false;
  }
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = state_->context.Get(isolate);
  v8::Context::Scope context_scope(context);
  v8::Local<v8::Object> global = context->Global();

  // Like CEF: the page's own global eval, called with the global object as
  // receiver, so the code runs as global code.
  ScriptRunScope script;
  ScriptRecursionScope recursion;
  v8::Local<v8::Value> eval;
  {
    v8::TryCatch lookup(isolate);
    if (!global->Get(context, v8::String::NewFromUtf8Literal(isolate, "eval")).ToLocal(&eval) ||
        !eval->IsFunction())
      return false;
  }
  v8::Local<v8::Value> argv[] = {ToV8String(isolate, code)};
  v8::TryCatch try_catch(isolate);
  try_catch.SetVerbose(true);
  v8::MaybeLocal<v8::Value> result = eval.As<v8::Function>()->Call(context, global, 1, argv);
  if (try_catch.HasCaught()) {
    exception = MakeException(isolate, context, try_catch.Message());
    return false;
  }
  if (result.IsEmpty())
    return false;
  retval = WrapValue(isolate, result.ToLocalChecked(), state_);
  return true;
}

CefRefPtr<CefBrowser> CefV8ContextImpl::GetBrowser() {
  return RequireValid(CEFRT_HERE) ? state_->browser.get() : nullptr;
}

CefRefPtr<CefFrame> CefV8ContextImpl::GetFrame() {
  return RequireValid(CEFRT_HERE) ? state_->frame.get() : nullptr;
}

}  // namespace

CefRefPtr<CefV8Context> WrapContext(std::shared_ptr<ContextState> state) {
  if (!state)
    return nullptr;
  return new CefV8ContextImpl(std::move(state));
}

std::shared_ptr<ContextState> StateOfWrapper(CefRefPtr<CefV8Context> context) {
  CefV8ContextImpl* impl = context ? dynamic_cast<CefV8ContextImpl*>(context.get()) : nullptr;
  return impl ? impl->state() : nullptr;
}

void ExitAllEnteredContexts() {
  v8::Isolate* isolate = CurrentIsolate();
  std::vector<EnteredContext>& stack = EnteredStack();
  if (!isolate) {
    stack.clear();
    return;
  }
  v8::HandleScope scope(isolate);
  while (!stack.empty()) {
    stack.back().context.Get(isolate)->Exit();
    stack.pop_back();
  }
}

}  // namespace internal
}  // namespace cefrt

using cefrt::internal::CurrentIsolate;

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  if (!isolate->InContext())
    return nullptr;
  v8::HandleScope scope(isolate);
  return cefrt::internal::WrapContext(cefrt::internal::StateOf(isolate->GetCurrentContext()));
}

CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  if (!isolate->InContext())
    return nullptr;
  v8::HandleScope scope(isolate);
  return cefrt::internal::WrapContext(
      cefrt::internal::StateOf(isolate->GetEnteredOrMicrotaskContext()));
}

bool CefV8Context::InContext() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, false);
  return isolate->InContext();
}

bool CefRegisterExtension(const CefString& extension_name,
                          const CefString& javascript_code,
                          CefRefPtr<CefV8Handler> handler) {
  cefrt::internal::LogError("CefRegisterExtension is not supported by this runtime");
  return false;
}
