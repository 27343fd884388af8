// The dispatcher of the client's commands: every process message that reaches
// a render process passes through DispatchHostCommand on the render thread.
#ifndef NUV_SRC_CHANNEL_COMMAND_DISPATCHER_H_
#define NUV_SRC_CHANNEL_COMMAND_DISPATCHER_H_

#include <cstdint>

#include "include/cef_browser.h"
#include "include/cef_process_message.h"

// What the dispatcher needs from the application object that owns it.
class INuvCommandOwner {
 public:
  // The client's host window that bridge requests go to (0: none).
  virtual uint32_t GetHostWindow() = 0;
  // Records the script name of a browser for later uncaught-exception
  // reports; an empty name removes the record.
  virtual void SetScriptName(int32_t browserId, const CefString& name) = 0;

 protected:
  virtual ~INuvCommandOwner() = default;
};

// Handles one message from the client. Names are compared whole and
// case-sensitively with "NuvChromeBrowser_ExecuteScript",
// "NuvChromeBrowser_ExecuteFunction", "NuvChromeBrowser_DocumentExecCommand"
// and "NuvChromeBrowser_CallDefaultFunction"; a match is carried out
// completely (reply included) and answered true, anything else false.
// Arguments of a missing index or another type read as 0, false or "".
bool DispatchHostCommand(INuvCommandOwner* owner,
                         CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefProcessMessage> message);

#endif  // NUV_SRC_CHANNEL_COMMAND_DISPATCHER_H_
