// Script, function and editing-command execution in a page's main frame.
#include "src/channel/page_execution.h"

#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "src/common/process_global.h"
#include "src/bridge/bridge_requests.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"
#include "src/values/v8_to_json.h"

const char16_t kScriptWrapper[] =
    u"try{%1}catch(err){NuvChromeBrowser.OnException(err.name, err.message, err.stack);}";

namespace {

// The main frame's script context of a browser, entered while the holder
// lives: one Exit for the one successful Enter, on every path.
class CNuvEnteredMainFrame {
 public:
  explicit CNuvEnteredMainFrame(CefRefPtr<CefBrowser> browser) {
    if (!browser)
      return;
    CefRefPtr<CefFrame> frame = browser->GetMainFrame();
    if (!frame)
      return;
    CefRefPtr<CefV8Context> context = frame->GetV8Context();
    if (!context || !context->Enter())
      return;
    m_context = context;
    m_browserId = browser->GetIdentifier();
  }
  CNuvEnteredMainFrame(const CNuvEnteredMainFrame&) = delete;
  CNuvEnteredMainFrame& operator=(const CNuvEnteredMainFrame&) = delete;
  ~CNuvEnteredMainFrame() {
    if (m_context)
      m_context->Exit();
  }

  bool IsEntered() const { return m_context.get() != nullptr; }
  CefRefPtr<CefV8Context> GetContext() const { return m_context; }
  int32_t GetBrowserId() const { return m_browserId; }
  // The context's global object; null when there is none.
  CefRefPtr<CefV8Value> GetGlobal() const { return m_context ? m_context->GetGlobal() : nullptr; }

 private:
  CefRefPtr<CefV8Context> m_context;
  int32_t m_browserId = 0;
};

// `owner[name]` when `owner` has that property (HasValue) and it holds a
// function; null otherwise.
CefRefPtr<CefV8Value> GetFunction(CefRefPtr<CefV8Value> owner, const std::u16string& name) {
  const CefString key = U16ToCef(name);
  if (!owner || !owner->HasValue(key))
    return nullptr;
  CefRefPtr<CefV8Value> value = owner->GetValue(key);
  if (!value || !value->IsFunction())
    return nullptr;
  return value;
}

// Enters the main frame of `browser`, lets `call` run one function there and
// writes the JSON text of what it returned to `result`, within `limit`
// bytes. `call` takes the entered frame and the value to fill, and returns
// false when it finds nothing to run; the operation then fails with an empty
// result, as it does when the result's text does not fit.
template <typename Call>
bool ExecuteInMainFrame(CefRefPtr<CefBrowser> browser,
                        size_t limit,
                        std::string* result,
                        NuvEncodeFailure* failure,
                        Call call) {
  result->clear();
  *failure = NuvEncodeFailure();
  CNuvEnteredMainFrame scope(browser);
  if (!scope.IsEntered())
    return false;
  CefRefPtr<CefV8Value> value;
  if (!call(scope, &value))
    return false;
  return V8ValueToJsonTextWithin(scope.GetBrowserId(), scope.GetContext(), value, limit, result,
                                 failure);
}

// The wrapper with the script text in place of its %1. The script goes in
// whole and unchanged: a zero unit inside it (legal in script source) must
// not cut it short, and its percent signs are not placeholders.
std::u16string WrapScript(const std::u16string& script) {
  const std::u16string wrapper(kScriptWrapper);
  const size_t placeholder = wrapper.find(u"%1");
  std::u16string wrapped;
  wrapped.reserve(wrapper.size() + script.size());
  wrapped.append(wrapper, 0, placeholder);
  wrapped.append(script);
  wrapped.append(wrapper, placeholder + 2, std::u16string::npos);
  return wrapped;
}

// The arguments of a call, from their JSON array text, as page values of the
// entered frame.
CefV8ValueList ArgumentsFromJson(const CNuvEnteredMainFrame& scope,
                                 uint32_t hostWindow,
                                 const std::u16string& argumentsText) {
  return JsonArrayTextToV8ValueList(hostWindow, scope.GetContext(), scope.GetBrowserId(),
                                    WideToUtf8(argumentsText));
}

}  // namespace

bool RunScript(CefRefPtr<CefBrowser> browser,
               const std::u16string& script,
               size_t resultLimit,
               std::string* result,
               NuvEncodeFailure* failure) {
  return ExecuteInMainFrame(browser, resultLimit, result, failure,
                            [&](const CNuvEnteredMainFrame& scope, CefRefPtr<CefV8Value>* value) {
                              CefRefPtr<CefV8Value> global = scope.GetGlobal();
                              CefRefPtr<CefV8Value> evalFunction = GetFunction(global, u"eval");
                              if (!evalFunction)
                                return false;
                              const std::u16string wrapped = WrapScript(script);
                              CefV8ValueList arguments;
                              arguments.push_back(CefV8Value::CreateString(U16ToCef(wrapped)));
                              *value = evalFunction->ExecuteFunctionWithContext(scope.GetContext(),
                                                                                global, arguments);
                              return true;
                            });
}

bool CallPageFunction(CefRefPtr<CefBrowser> browser,
                      uint32_t hostWindow,
                      const std::u16string& functionName,
                      const std::u16string& argumentsText,
                      size_t resultLimit,
                      std::string* result,
                      NuvEncodeFailure* failure) {
  return ExecuteInMainFrame(
      browser, resultLimit, result, failure,
      [&](const CNuvEnteredMainFrame& scope, CefRefPtr<CefV8Value>* value) {
        CefRefPtr<CefV8Value> global = scope.GetGlobal();
        CefRefPtr<CefV8Value> function = GetFunction(global, functionName);
        if (!function)
          return false;
        GetProcessGlobal()->WriteDebugLog(argumentsText.c_str());
        const CefV8ValueList arguments = ArgumentsFromJson(scope, hostWindow, argumentsText);
        *value = function->ExecuteFunctionWithContext(scope.GetContext(), global, arguments);
        return true;
      });
}

bool RunDocumentCommand(CefRefPtr<CefBrowser> browser,
                        uint32_t hostWindow,
                        const std::u16string& argumentsText,
                        size_t resultLimit,
                        std::string* result,
                        NuvEncodeFailure* failure) {
  return ExecuteInMainFrame(
      browser, resultLimit, result, failure,
      [&](const CNuvEnteredMainFrame& scope, CefRefPtr<CefV8Value>* value) {
        CefRefPtr<CefV8Value> global = scope.GetGlobal();
        if (!global)
          return false;
        CefRefPtr<CefV8Value> document = global->GetValue(U16ToCef(u"document"));
        CefRefPtr<CefV8Value> command = GetFunction(document, u"execCommand");
        if (!command)
          return false;
        const CefV8ValueList arguments = ArgumentsFromJson(scope, hostWindow, argumentsText);
        *value = command->ExecuteFunction(document, arguments);
        return true;
      });
}
