// CefV8Exception, CefV8StackTrace and CefV8StackFrame as snapshots taken
// when the exception or trace is seen, so they stay readable afterwards;
// and the uncaught-exception report to the render-process handler.
#include <vector>

#include "cef/runtime/browser_impl.h"
#include "cef/runtime/misuse.h"

namespace cefrt {
namespace internal {

namespace {

class ExceptionImpl : public CefV8Exception {
 public:
  CefString message, source_line, resource_name;
  int line_number = 0, start_position = 0, end_position = 0, start_column = 0, end_column = 0;

  CefString GetMessage() override { return message; }
  CefString GetSourceLine() override { return source_line; }
  CefString GetScriptResourceName() override { return resource_name; }
  int GetLineNumber() override { return line_number; }
  int GetStartPosition() override { return start_position; }
  int GetEndPosition() override { return end_position; }
  int GetStartColumn() override { return start_column; }
  int GetEndColumn() override { return end_column; }

 private:
  IMPLEMENT_REFCOUNTING(ExceptionImpl);
};

class StackFrameImpl : public CefV8StackFrame {
 public:
  CefString script_name, script_name_or_url, function_name;
  int line_number = 0, column = 0;
  bool is_eval = false, is_constructor = false;

  bool IsValid() override { return true; }
  CefString GetScriptName() override { return script_name; }
  CefString GetScriptNameOrSourceURL() override { return script_name_or_url; }
  CefString GetFunctionName() override { return function_name; }
  int GetLineNumber() override { return line_number; }
  int GetColumn() override { return column; }
  bool IsEval() override { return is_eval; }
  bool IsConstructor() override { return is_constructor; }

 private:
  IMPLEMENT_REFCOUNTING(StackFrameImpl);
};

class StackTraceImpl : public CefV8StackTrace {
 public:
  std::vector<CefRefPtr<CefV8StackFrame>> frames;

  bool IsValid() override { return true; }
  int GetFrameCount() override { return static_cast<int>(frames.size()); }
  CefRefPtr<CefV8StackFrame> GetFrame(int index) override {
    if (index < 0 || static_cast<size_t>(index) >= frames.size())
      return nullptr;
    return frames[static_cast<size_t>(index)];
  }

 private:
  IMPLEMENT_REFCOUNTING(StackTraceImpl);
};

}  // namespace

CefRefPtr<CefV8Exception> MakeException(v8::Isolate* isolate,
                                        v8::Local<v8::Context> context,
                                        v8::Local<v8::Message> message) {
  CefRefPtr<ExceptionImpl> e = new ExceptionImpl();
  if (message.IsEmpty() || context.IsEmpty())
    return e.get();
  v8::HandleScope scope(isolate);
  e->message = ToCefString(isolate, message->Get());
  v8::Local<v8::String> source_line;
  if (message->GetSourceLine(context).ToLocal(&source_line))
    e->source_line = ToCefString(isolate, source_line);
  e->resource_name = ToCefString(isolate, message->GetScriptResourceName());
  e->line_number = message->GetLineNumber(context).FromMaybe(0);
  e->start_position = message->GetStartPosition();
  e->end_position = message->GetEndPosition();
  e->start_column = message->GetStartColumn(context).FromMaybe(0);
  e->end_column = message->GetEndColumn(context).FromMaybe(0);
  return e.get();
}

CefRefPtr<CefV8StackTrace> MakeStackTrace(v8::Isolate* isolate, v8::Local<v8::StackTrace> trace) {
  CefRefPtr<StackTraceImpl> t = new StackTraceImpl();
  if (trace.IsEmpty())
    return t.get();
  v8::HandleScope scope(isolate);
  for (int i = 0; i < trace->GetFrameCount(); ++i) {
    v8::Local<v8::StackFrame> frame = trace->GetFrame(isolate, static_cast<uint32_t>(i));
    CefRefPtr<StackFrameImpl> f = new StackFrameImpl();
    f->script_name = ToCefString(isolate, frame->GetScriptName());
    f->script_name_or_url = ToCefString(isolate, frame->GetScriptNameOrSourceURL());
    f->function_name = ToCefString(isolate, frame->GetFunctionName());
    f->line_number = frame->GetLineNumber();
    f->column = frame->GetColumn();
    f->is_eval = frame->IsEval();
    f->is_constructor = frame->IsConstructor();
    t->frames.push_back(f.get());
  }
  return t.get();
}

void ReportUncaughtException(v8::Local<v8::Message> message, v8::Local<v8::Value> error) {
  v8::Isolate* isolate = CurrentIsolate();
  if (!isolate || message.IsEmpty())
    return;
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  if (context.IsEmpty())
    context = isolate->GetEnteredOrMicrotaskContext();
  std::shared_ptr<ContextState> state = context.IsEmpty() ? nullptr : StateOf(context);
  if (!state || !state->valid)
    return;
  // As in Chromium, the page's own error handler hears of it first.
  DispatchPageError(isolate, context, message, error);
  CefRefPtr<CefRenderProcessHandler> handler = CurrentHandler();
  if (!handler || !state->valid)
    return;
  CefRefPtr<CefV8Exception> exception = MakeException(isolate, context, message);
  CefRefPtr<CefV8StackTrace> trace = MakeStackTrace(isolate, message->GetStackTrace());
  handler->OnUncaughtException(state->browser.get(), state->frame.get(), WrapContext(state),
                               exception, trace);
}

}  // namespace internal
}  // namespace cefrt

CefRefPtr<CefV8StackTrace> CefV8StackTrace::GetCurrent(int frame_limit) {
  v8::Isolate* isolate = cefrt::internal::CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  if (!isolate->InContext())
    return nullptr;
  v8::HandleScope scope(isolate);
  return cefrt::internal::MakeStackTrace(
      isolate, v8::StackTrace::CurrentStackTrace(isolate, frame_limit < 0 ? 0 : frame_limit,
                                                 v8::StackTrace::kDetailed));
}
