// The four commands of the client and their replies.
#include "src/channel/command_dispatcher.h"

#include <exception>
#include <new>
#include <string>

#include "include/cef_values.h"
#include "src/bridge/callback_holder.h"
#include "src/channel/page_execution.h"
#include "src/channel/process_messages.h"
#include "src/common/exception_text.h"
#include "src/common/format_text.h"
#include "src/common/process_global.h"
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

// The most UTF-16 units of text one result message carries in all (its
// name, tag and result text). Both channels a result can take carry that
// with room to spare: the runtime's IPC frames (64 MiB, texts as UTF-16) and
// Chromium's IPC messages (128 MiB, texts as UTF-8). Record texts are ASCII
// (everything else is escaped), so their bytes are their units.
constexpr size_t kMaxResultMessageUnits = 32u * 1024u * 1024u - 1024u;

// Bytes the result text of a reply named `name` with `tag` may take.
size_t ResultLimit(const char16_t* name, const std::u16string& tag) {
  const size_t fixed = std::char_traits<char16_t>::length(name) + tag.size();
  return fixed < kMaxResultMessageUnits ? kMaxResultMessageUnits - fixed : 0;
}

void WriteLogLine(const std::u16string& line) {
  if (INuvGlobal* global = GetProcessGlobal())
    global->WriteLog(line.c_str(), 0);
}

// Runs `run` and turns an exception thrown out of it (an allocation that
// failed, in practice) into a failure of the command, described in
// *failure; a command is always answered.
template <typename Run>
bool RunGuarded(NuvEncodeFailure* failure, Run run) {
  try {
    return run();
  } catch (...) {
    NoteCurrentException(failure);
  }
  return false;
}

// "Can't send the result of script "a.js" (tag t1): ..." for a command that
// ran but whose result could not be written.
void LogUnsentResult(const char16_t* what,
                     const std::u16string& name,
                     const std::u16string& tag,
                     size_t limit,
                     const NuvEncodeFailure& failure) {
  WriteLogLine(FormatText(std::u16string(u"Can't send the result of %1 (tag %2): %3"),
                          std::u16string(what) + u" \"" + name + u"\"", tag,
                          Utf8ToWide(DescribeEncodeFailure(failure, limit))));
}

CefRefPtr<CefProcessMessage> MakeResult(CefRefPtr<CefBrowser> browser,
                                        const char16_t* name,
                                        bool ok,
                                        const std::u16string& tag,
                                        const std::string& result) {
  CefRefPtr<CefProcessMessage> reply = CefProcessMessage::Create(U16ToCef(name));
  if (!reply)
    return nullptr;
  CefRefPtr<CefListValue> args = reply->GetArgumentList();
  if (!args)
    return nullptr;
  args->SetInt(0, browser->GetIdentifier());
  args->SetBool(1, ok);
  args->SetString(2, U16ToCef(tag));
  args->SetString(3, U16ToCef(Utf8ToWide(result)));
  return reply;
}

// Sends "<name>" (browser id, ok, tag, result) to the browser process. When
// the full reply cannot be built (out of memory), (browser id, false, tag,
// "") goes instead: every command that has a reply gets one.
void SendResult(CefRefPtr<CefBrowser> browser,
                const char16_t* name,
                bool ok,
                const std::u16string& tag,
                const std::string& result) {
  if (!browser)
    return;
  CefRefPtr<CefProcessMessage> reply;
  NuvEncodeFailure failure;
  if (!RunGuarded(&failure, [&] {
        reply = MakeResult(browser, name, ok, tag, result);
        return true;
      })) {
    WriteLogLine(
        FormatText(std::u16string(u"Can't send %1 (tag %2) in full: %3; it goes out as a failure"),
                   name, tag, Utf8ToWide(DescribeEncodeFailure(failure, 0))));
    reply = MakeResult(browser, name, false, tag, std::string());
  }
  if (reply)
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
  NuvEncodeFailure failure;
  const size_t limit = ResultLimit(kMsgExecuteScriptResult, tag);
  const bool ok =
      RunGuarded(&failure, [&] { return RunScript(browser, script, limit, &result, &failure); });
  if (failure.failed()) {
    LogUnsentResult(u"script", scriptName, tag, limit, failure);
  } else if (!ok) {
    global->WriteLog(
        FormatText(std::u16string(u"Can't execute script: %1, %2"), scriptName, script).c_str(), 0);
  }
  SendResult(browser, kMsgExecuteScriptResult, ok, tag, ok ? result : std::string());
}

void ExecuteFunction(INuvCommandOwner* owner,
                     CefRefPtr<CefBrowser> browser,
                     CefRefPtr<CefListValue> args) {
  const std::u16string functionName = ReadString(args, 1);
  const std::u16string tag = ReadString(args, 2);
  const std::u16string arguments = ReadString(args, 3);
  std::string result;
  NuvEncodeFailure failure;
  const size_t limit = ResultLimit(kMsgExecuteFunctionResult, tag);
  const bool ok = RunGuarded(&failure, [&] {
    return CallPageFunction(browser, owner->GetHostWindow(), functionName, arguments, limit,
                            &result, &failure);
  });
  if (failure.failed())
    LogUnsentResult(u"function", functionName, tag, limit, failure);
  SendResult(browser, kMsgExecuteFunctionResult, ok, tag, ok ? result : std::string());
}

void DocumentExecCommand(INuvCommandOwner* owner,
                         CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefListValue> args) {
  const std::u16string arguments = ReadString(args, 3);
  // The result is not sent anywhere: a short limit keeps its text cheap.
  std::string ignored;
  NuvEncodeFailure failure;
  RunGuarded(&failure, [&] {
    return RunDocumentCommand(browser, owner->GetHostWindow(), arguments, 4096, &ignored, &failure);
  });
  // A result too large to write does not matter here; anything else does.
  if (failure.failed() && failure.reason != NuvEncodeFailure::Reason::kTooLarge)
    WriteLogLine(u"Can't run the document command: " + Utf8ToWide(failure.detail));
}

void CallDefaultFunction(INuvCommandOwner* owner, CefRefPtr<CefListValue> args) {
  const int32_t browserId = ReadInt(args, 0);
  const std::u16string callText = ReadString(args, 2);
  NuvEncodeFailure failure;
  RunGuarded(&failure, [&] {
    InvokeCallbackFromHost(owner->GetHostWindow(), browserId, callText);
    return true;
  });
  if (failure.failed()) {
    WriteLogLine(u"Can't call back a page function of browser " +
                 Utf8ToWide(std::to_string(browserId)) + u": " + Utf8ToWide(failure.detail));
  }
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

  // A command that fails half-way (out of memory) is dropped and logged,
  // never allowed to unwind into the runtime's render loop.
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
    const std::u16string why = CurrentExceptionText();
    WriteLogNoThrow([&] {
      // The request tag names the command for the client, where it has one.
      const int tagIndex = command == Command::kScript ? 3 : command == Command::kFunction ? 2 : -1;
      std::u16string which =
          name + u" of browser " + DecimalText(browser ? browser->GetIdentifier() : 0);
      if (tagIndex >= 0)
        which += u" (tag \"" + ReadString(message->GetArgumentList(), tagIndex) + u"\")";
      return FormatText(std::u16string(u"%1 failed: %2"), which, why);
    });
  }
  return true;
}
