// Names of the process messages exchanged between the client's main process
// and a render process. Commands come from the client; "_Result" messages and
// the notifications go back to it.
#ifndef NUV_SRC_CHANNEL_PROCESS_MESSAGES_H_
#define NUV_SRC_CHANNEL_PROCESS_MESSAGES_H_

// Notifications, render process -> client.
constexpr char16_t kMsgContextCreated[] = u"NuvChromeBrowser_ContextCreated";
constexpr char16_t kMsgContextReleased[] = u"NuvChromeBrowser_ContextReleased";
constexpr char16_t kMsgUncaughtException[] = u"NuvChromeBrowser_UncaughtException";

// Commands, client -> render process, in the order the dispatcher tries them.
constexpr char16_t kMsgExecuteScript[] = u"NuvChromeBrowser_ExecuteScript";
constexpr char16_t kMsgExecuteFunction[] = u"NuvChromeBrowser_ExecuteFunction";
constexpr char16_t kMsgDocumentExecCommand[] = u"NuvChromeBrowser_DocumentExecCommand";
constexpr char16_t kMsgCallDefaultFunction[] = u"NuvChromeBrowser_CallDefaultFunction";

// Replies, render process -> client.
constexpr char16_t kMsgExecuteScriptResult[] = u"NuvChromeBrowser_ExecuteScript_Result";
constexpr char16_t kMsgExecuteFunctionResult[] = u"NuvChromeBrowser_ExecuteFunction_Result";

#endif  // NUV_SRC_CHANNEL_PROCESS_MESSAGES_H_
