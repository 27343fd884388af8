// The four commands of the client and their replies.
#include "src/channel/command_dispatcher.h"

#include <string>

#include "include/cef_values.h"
#include "src/app/process_global.h"
#include "src/bridge/callback_holder.h"
#include "src/channel/page_execution.h"
#include "src/channel/process_messages.h"
#include "src/common/format_text.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"

namespace {

// Argument readers: an index past the end or a value of another type reads
// as the neutral value, never as whatever the list would convert it to.
int32_t ReadInt(CefRefPtr<CefListValue> args, int index) {
  if (!args || index < 0 || static_cast<size_t>(index) >= args->GetSize() ||
      args->GetType(index) != VTYPE_INT)
    return 0;
  return args->GetInt(index);
}

std::u16string ReadString(CefRefPtr<CefListValue> args, int index) {
  if (!args || index < 0 || static_cast<size_t>(index) >= args->GetSize() ||
      args->GetType(index) != VTYPE_STRING)
    return std::u16string();
  return CefToU16(args->GetString(index));
}

// Sends "<name>" (browser id, ok, tag, result) to the browser process.
void SendResult(CefRefPtr<CefBrowser> browser,
                const char16_t* name,
                bool ok,
                const std::u16string& tag,
                const std::string& result) {
  if (!browser)
    return;
  CefRefPtr<CefProcessMessage> reply = CefProcessMessage::Create(U16ToCef(name));
  if (!reply)
    return;
  CefRefPtr<CefListValue> args = reply->GetArgumentList();
  if (!args)
    return;
  args->SetInt(0, browser->GetIdentifier());
  args->SetBool(1, ok);
  args->SetString(2, U16ToCef(tag));
  args->SetString(3, U16ToCef(Utf8ToWide(result)));
  browser->SendProcessMessage(PID_BROWSER, reply);
}

void ExecuteScript(INuvCommandOwner* owner,
                   CefRefPtr<CefBrowser> browser,
                   CefRefPtr<CefListValue> args) {
  const int32_t key = ReadInt(args, 0);
  const std::u16string script = ReadString(args, 1);
  const std::u16string scriptName = ReadString(args, 2);
  const std::u16string tag = ReadString(args, 3);
  INuvGlobal* global = GetProcessGlobal();
  global->WriteDebugLog(
      FormatText(std::u16string(u"start execute script: %1"), scriptName).c_str());
  owner->SetScriptName(key, U16ToCef(scriptName));
  std::string result;
  const bool ok = RunScript(browser, script, &result);
  if (!ok) {
    global->WriteLog(
        FormatText(std::u16string(u"Can't execute script: %1, %2"), scriptName, script).c_str(), 0);
  }
  SendResult(browser, kMsgExecuteScriptResult, ok, tag, result);
}

void ExecuteFunction(INuvCommandOwner* owner,
                     CefRefPtr<CefBrowser> browser,
                     CefRefPtr<CefListValue> args) {
  const std::u16string functionName = ReadString(args, 1);
  const std::u16string tag = ReadString(args, 2);
  const std::u16string arguments = ReadString(args, 3);
  std::string result;
  const bool ok =
      CallPageFunction(browser, owner->GetHostWindow(), functionName, arguments, &result);
  SendResult(browser, kMsgExecuteFunctionResult, ok, tag, result);
}

void DocumentExecCommand(INuvCommandOwner* owner,
                         CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefListValue> args) {
  const std::u16string arguments = ReadString(args, 3);
  std::string ignored;
  RunDocumentCommand(browser, owner->GetHostWindow(), arguments, &ignored);
}

void CallDefaultFunction(INuvCommandOwner* owner, CefRefPtr<CefListValue> args) {
  const int32_t browserId = ReadInt(args, 0);
  const std::u16string callText = ReadString(args, 2);
  InvokeCallbackFromHost(owner->GetHostWindow(), browserId, callText);
}

}  // namespace

bool DispatchHostCommand(INuvCommandOwner* owner,
                         CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefProcessMessage> message) {
  if (!owner || !message)
    return false;
  const std::u16string name = CefToU16(message->GetName());
  enum class Command { kScript, kFunction, kDocument, kCallback };
  Command command;
  if (name == kMsgExecuteScript)
    command = Command::kScript;
  else if (name == kMsgExecuteFunction)
    command = Command::kFunction;
  else if (name == kMsgDocumentExecCommand)
    command = Command::kDocument;
  else if (name == kMsgCallDefaultFunction)
    command = Command::kCallback;
  else
    return false;

  // A command that fails half-way (out of memory) is dropped, never allowed
  // to unwind into the runtime's render loop.
  try {
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    switch (command) {
      case Command::kScript:
        ExecuteScript(owner, browser, args);
        break;
      case Command::kFunction:
        ExecuteFunction(owner, browser, args);
        break;
      case Command::kDocument:
        DocumentExecCommand(owner, browser, args);
        break;
      case Command::kCallback:
        CallDefaultFunction(owner, args);
        break;
    }
  } catch (...) {
  }
  return true;
}
