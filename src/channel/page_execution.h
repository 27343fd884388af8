// Running the client's commands inside a page: a script through the page's
// own eval, a page-global function with arguments, and document.execCommand.
// Each works in the main frame's script context of the browser and hands back
// a success flag and, on success, the compact JSON text of the value record of
// the result (ending in a line feed). The result text is written within
// `resultLimit` bytes: a result that does not fit (or whose text runs out of
// memory) fails the operation after it ran, with *failure saying why.
#ifndef NUV_SRC_CHANNEL_PAGE_EXECUTION_H_
#define NUV_SRC_CHANNEL_PAGE_EXECUTION_H_

#include <cstdint>
#include <string>

#include "include/cef_browser.h"
#include "src/values/encode_limit.h"

// The text a script runs inside; %1 is the script. Exceptions go to the
// page-side handler NuvChromeBrowser.OnException(name, message, stack).
extern const char16_t kScriptWrapper[];

// Runs `script` as global code of the main frame: the page's global "eval" is
// called with the wrapped text and the global object as receiver. False when
// there is no main frame, context, global object or eval function.
bool RunScript(CefRefPtr<CefBrowser> browser,
               const std::u16string& script,
               size_t resultLimit,
               std::string* result,
               NuvEncodeFailure* failure);

// Calls the main frame's global function `functionName` (one property name,
// never resolved by dots) with the arguments of the JSON array of value
// records `argumentsText`; an unparsable text calls it without arguments.
// Host object proxies made from the arguments talk to `hostWindow`. False
// when the function does not exist or is not a function.
bool CallPageFunction(CefRefPtr<CefBrowser> browser,
                      uint32_t hostWindow,
                      const std::u16string& functionName,
                      const std::u16string& argumentsText,
                      size_t resultLimit,
                      std::string* result,
                      NuvEncodeFailure* failure);

// Calls document.execCommand of the main frame with the arguments of
// `argumentsText` (command name, show-interface flag, value), the document as
// receiver.
bool RunDocumentCommand(CefRefPtr<CefBrowser> browser,
                        uint32_t hostWindow,
                        const std::u16string& argumentsText,
                        size_t resultLimit,
                        std::string* result,
                        NuvEncodeFailure* failure);

#endif  // NUV_SRC_CHANNEL_PAGE_EXECUTION_H_
