// The page's small document object: document.execCommand(name, showUI,
// value) records the command with the runtime's observer and answers true
// for the editing commands a browser knows, false for anything else.
#include <cstring>

#include "cef/runtime/render_runtime.h"
#include "cef/runtime/runtime_internal.h"

namespace cefrt {
namespace internal {

namespace {

// Editing commands the runtime accepts; names compare case-insensitively,
// as a browser's editor does.
const char* const kKnownCommands[] = {
    "backColor",
    "bold",
    "contentReadOnly",
    "copy",
    "createLink",
    "cut",
    "decreaseFontSize",
    "defaultParagraphSeparator",
    "delete",
    "enableAbsolutePositionEditor",
    "enableInlineTableEditing",
    "enableObjectResizing",
    "fontName",
    "fontSize",
    "foreColor",
    "formatBlock",
    "forwardDelete",
    "heading",
    "hiliteColor",
    "increaseFontSize",
    "indent",
    "insertBrOnReturn",
    "insertHorizontalRule",
    "insertHTML",
    "insertImage",
    "insertLineBreak",
    "insertOrderedList",
    "insertParagraph",
    "insertText",
    "insertUnorderedList",
    "italic",
    "justifyCenter",
    "justifyFull",
    "justifyLeft",
    "justifyRight",
    "outdent",
    "paste",
    "pasteAndMatchStyle",
    "redo",
    "removeFormat",
    "selectAll",
    "strikeThrough",
    "styleWithCSS",
    "subscript",
    "superscript",
    "undo",
    "unlink",
    "unselect",
    "useCSS",
};

bool IsKnownCommand(const std::u16string& name) {
  for (const char* known : kKnownCommands) {
    size_t n = std::strlen(known);
    if (n != name.size())
      continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i) {
      char16_t a = name[i];
      char16_t b = static_cast<char16_t>(known[i]);
      if (a >= u'A' && a <= u'Z')
        a = static_cast<char16_t>(a - u'A' + u'a');
      if (b >= u'A' && b <= u'Z')
        b = static_cast<char16_t>(b - u'A' + u'a');
      same = a == b;
    }
    if (same)
      return true;
  }
  return false;
}

// Converts an argument to text as script would (String(x)); a throwing
// conversion leaves the exception pending and returns false.
bool ArgumentText(v8::Isolate* isolate,
                  v8::Local<v8::Context> context,
                  v8::Local<v8::Value> value,
                  CefString* text) {
  if (value->IsUndefined()) {
    *text = CefString();
    return true;
  }
  v8::Local<v8::String> s;
  if (!value->ToString(context).ToLocal(&s))
    return false;
  *text = ToCefString(isolate, s);
  return true;
}

void ExecCommand(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  v8::Local<v8::Value> data = info.Data();
  if (!data->IsArray() || !CurrentIsolate()) {
    info.GetReturnValue().Set(false);
    return;
  }
  v8::Local<v8::Array> ids = data.As<v8::Array>();
  v8::Local<v8::Value> browser_value, frame_value;
  if (!ids->Get(context, 0).ToLocal(&browser_value) ||
      !ids->Get(context, 1).ToLocal(&frame_value) || !browser_value->IsInt32() ||
      !frame_value->IsBigInt())
    return;
  int browser_id = browser_value.As<v8::Int32>()->Value();
  int64 frame_id = frame_value.As<v8::BigInt>()->Int64Value();

  CefString command, value;
  if (!ArgumentText(isolate, context, info[0], &command))
    return;
  bool show_ui = info.Length() > 1 && info[1]->BooleanValue(isolate);
  if (info.Length() > 2 && !ArgumentText(isolate, context, info[2], &value))
    return;
  info.GetReturnValue().Set(RunDocumentCommand(browser_id, frame_id, command, show_ui, value));
}

}  // namespace

bool RunDocumentCommand(int browser_id,
                        int64 frame_id,
                        const CefString& command,
                        bool show_ui,
                        const CefString& value) {
  bool result = IsKnownCommand(command);
  if (RenderRuntimeObserver* observer = CurrentObserver())
    observer->OnDocumentCommand(browser_id, frame_id, command, show_ui, value, result);
  return result;
}

bool InstallDocument(v8::Isolate* isolate,
                     v8::Local<v8::Context> context,
                     int browser_id,
                     int64 frame_id) {
  v8::HandleScope scope(isolate);
  // The identifiers travel in the function's data, so the function stays
  // safe to call even after the runtime has forgotten the frame.
  v8::Local<v8::Array> ids = v8::Array::New(isolate, 2);
  if (!ids->Set(context, 0, v8::Int32::New(isolate, browser_id)).FromMaybe(false) ||
      !ids->Set(context, 1, v8::BigInt::New(isolate, frame_id)).FromMaybe(false))
    return false;
  v8::Local<v8::Function> exec_command;
  if (!v8::Function::New(context, ExecCommand, ids, 1).ToLocal(&exec_command))
    return false;
  exec_command->SetName(v8::String::NewFromUtf8Literal(isolate, "execCommand"));
  v8::Local<v8::Object> document = v8::Object::New(isolate);
  return document
             ->Set(context, v8::String::NewFromUtf8Literal(isolate, "execCommand"), exec_command)
             .FromMaybe(false) &&
         context->Global()
             ->Set(context, v8::String::NewFromUtf8Literal(isolate, "document"), document)
             .FromMaybe(false);
}

}  // namespace internal
}  // namespace cefrt
