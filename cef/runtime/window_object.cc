// The page's window, as a Chromium page has it: the global object answers to
// `window` (unforgeable), `self` and `frames` (replaceable), the document's
// `defaultView` is the window, and `window.onerror` is an event-handler
// attribute that uncaught exceptions reach, with Chromium's arguments, before
// the render-process handler hears of them.
#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_epoch.h"

namespace cefrt {
namespace internal {

namespace {

// The context's embedder-data slot that holds the page's error handler
// (kept apart from the global, so that a page redefining the property
// cannot confuse the dispatch).
constexpr int kOnErrorSlot = 4;

// Set while the page's error handler runs: an exception escaping the handler
// is reported to the render-process handler, not to the page handler again.
thread_local bool t_in_page_error_handler = false;

v8::Local<v8::String> Name(v8::Isolate* isolate, const char* name) {
  return v8::String::NewFromUtf8(isolate, name, v8::NewStringType::kInternalized).ToLocalChecked();
}

void GetWindow(const v8::FunctionCallbackInfo<v8::Value>& info) {
  info.GetReturnValue().Set(info.GetIsolate()->GetCurrentContext()->Global());
}

// [Replaceable]: assigning replaces the accessor with a plain data property.
void ReplaceAttribute(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  if (!info.Data()->IsString() || info.Length() < 1)
    return;
  if (context->Global()
          ->CreateDataProperty(context, info.Data().As<v8::String>(), info[0])
          .IsNothing())
    return;  // the exception, if any, stays pending for the page
}

v8::Local<v8::Value> StoredOnError(v8::Local<v8::Context> context) {
  if (context->GetNumberOfEmbedderDataFields() <= static_cast<uint32_t>(kOnErrorSlot))
    return v8::Local<v8::Value>();
  return context->GetEmbedderData(kOnErrorSlot);
}

void GetOnError(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Local<v8::Value> handler = StoredOnError(info.GetIsolate()->GetCurrentContext());
  if (handler.IsEmpty() || !handler->IsObject())
    info.GetReturnValue().SetNull();
  else
    info.GetReturnValue().Set(handler);
}

// An event-handler attribute keeps objects only; anything else reads null.
void SetOnError(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  v8::Local<v8::Value> value = info.Length() > 0 ? info[0] : v8::Undefined(isolate).As<v8::Value>();
  context->SetEmbedderData(kOnErrorSlot,
                           value->IsObject() ? value : v8::Null(isolate).As<v8::Value>());
}

bool DefineAccessor(v8::Isolate* isolate,
                    v8::Local<v8::Context> context,
                    v8::Local<v8::Object> target,
                    const char* name,
                    v8::FunctionCallback getter,
                    v8::FunctionCallback setter,
                    v8::PropertyAttribute attributes) {
  v8::Local<v8::String> key = Name(isolate, name);
  v8::Local<v8::Function> get;
  if (!v8::Function::New(context, getter, key, 0).ToLocal(&get))
    return false;
  get->SetName(Name(isolate, (std::string("get ") + name).c_str()));
  v8::Local<v8::Function> set;
  if (setter) {
    if (!v8::Function::New(context, setter, key, 1).ToLocal(&set))
      return false;
    set->SetName(Name(isolate, (std::string("set ") + name).c_str()));
  }
  target->SetAccessorProperty(key, get, set, attributes);
  return true;
}

}  // namespace

bool InstallWindow(v8::Isolate* isolate, v8::Local<v8::Context> context) {
  v8::HandleScope scope(isolate);
  v8::Local<v8::Object> global = context->Global();
  context->SetEmbedderData(kOnErrorSlot, v8::Null(isolate));
  if (!DefineAccessor(isolate, context, global, "window", GetWindow, nullptr, v8::DontDelete) ||
      !DefineAccessor(isolate, context, global, "self", GetWindow, ReplaceAttribute, v8::None) ||
      !DefineAccessor(isolate, context, global, "frames", GetWindow, ReplaceAttribute, v8::None) ||
      !DefineAccessor(isolate, context, global, "onerror", GetOnError, SetOnError, v8::None))
    return false;
  v8::Local<v8::Value> document;
  if (!global->Get(context, Name(isolate, "document")).ToLocal(&document) || !document->IsObject())
    return false;
  return DefineAccessor(isolate, context, document.As<v8::Object>(), "defaultView", GetWindow,
                        nullptr, v8::None);
}

void DispatchPageError(v8::Isolate* isolate,
                       v8::Local<v8::Context> context,
                       v8::Local<v8::Message> message,
                       v8::Local<v8::Value> error) {
  if (t_in_page_error_handler)
    return;
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> handler = StoredOnError(context);
  if (handler.IsEmpty() || !handler->IsFunction())
    return;
  v8::Context::Scope context_scope(context);
  v8::Local<v8::Value> source = message->GetScriptResourceName();
  if (source.IsEmpty() || !source->IsString())
    source = v8::String::Empty(isolate);
  v8::Local<v8::Value> argv[] = {
      message->Get(),
      source,
      v8::Integer::New(isolate, message->GetLineNumber(context).FromMaybe(0)),
      v8::Integer::New(isolate, message->GetStartColumn(context).FromMaybe(0) + 1),
      error.IsEmpty() ? v8::Null(isolate).As<v8::Value>() : error,
  };
  t_in_page_error_handler = true;
  {
    // Verbose: an exception escaping the handler is itself reported.
    ScriptRunScope script_run;
    v8::TryCatch try_catch(isolate);
    try_catch.SetVerbose(true);
    // What the handler returns changes nothing here: CEF's handler hears
    // of the exception in any case.
    v8::MaybeLocal<v8::Value> returned =
        handler.As<v8::Function>()->Call(context, context->Global(), 5, argv);
    (void)returned;
  }
  t_in_page_error_handler = false;
}

}  // namespace internal
}  // namespace cefrt
