// The render-process callbacks of the application object.
#include "src/app/cef_app.h"

#include "include/cef_process_message.h"
#include "include/cef_v8.h"
#include "src/app/host_window_switch.h"
#include "src/app/process_global.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "src/bridge/value_bridge_impl.h"
#include "src/channel/process_messages.h"
#include "src/common/exception_text.h"
#include "src/common/format_text.h"
#include "src/values/cef_text.h"

namespace {

constexpr char16_t kRendererProcessType[] = u"renderer";
constexpr char16_t kHostWindowSwitch[] = u"browser-message-window-handle";

// Sends `message` to the browser process; a message that could not be built
// or cannot be delivered is dropped.
void SendToBrowserProcess(CefRefPtr<CefBrowser> browser, CefRefPtr<CefProcessMessage> message) {
  if (browser && message)
    browser->SendProcessMessage(PID_BROWSER, message);
}

// Host object proxies collected by the garbage collector cannot tell the
// client from inside it; their release requests wait in a queue that every
// render-process callback empties on its way out.
class CNuvReleaseFlush {
 public:
  CNuvReleaseFlush() = default;
  CNuvReleaseFlush(const CNuvReleaseFlush&) = delete;
  CNuvReleaseFlush& operator=(const CNuvReleaseFlush&) = delete;
  ~CNuvReleaseFlush() {
    try {
      FlushDeferredReleases();
    } catch (...) {
      const std::u16string why = CurrentExceptionText();
      WriteLogNoThrow([&] {
        return FormatText(std::u16string(u"releases of host objects not sent: %1"), why);
      });
    }
  }
};

}  // namespace

CNuvCefApp::CNuvCefApp() {
  InstallBridgeForValues();
}

void CNuvCefApp::OnBeforeCommandLineProcessing(const CefString& process_type,
                                               CefRefPtr<CefCommandLine> command_line) {
  if (CefToU16(process_type) != kRendererProcessType)
    return;
  std::u16string value;
  if (command_line)
    value = CefToU16(command_line->GetSwitchValue(U16ToCef(kHostWindowSwitch)));
  GetProcessGlobal()->WriteLog(
      FormatText(std::u16string(u"com browser window handle: %1"), value).c_str(), 0);
  m_hostWindow = ParseHostWindowHandle(value);
}

CefRefPtr<CefRenderProcessHandler> CNuvCefApp::GetRenderProcessHandler() {
  return this;
}

void CNuvCefApp::OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) {}

void CNuvCefApp::OnContextCreated(CefRefPtr<CefBrowser> browser,
                                  CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Context> context) {
  CNuvReleaseFlush flush;
  if (!browser)
    return;
  const int32_t id = browser->GetIdentifier();
  GetHelperWindow(id);
  CefRefPtr<CefV8Value> global = context ? context->GetGlobal() : nullptr;
  // Without a host window there is nobody to ask for host objects: the page
  // gets none, and no request goes to window 0.
  // A failure half-way (out of memory) leaves the page with what was
  // installed so far; the client is told about the context all the same.
  if (global && m_hostWindow != 0) {
    try {
      const auto objects = RequestNamedObjects(m_hostWindow, context, id);
      for (const auto& entry : objects)
        global->SetValue(U16ToCef(entry.first), entry.second, V8_PROPERTY_ATTRIBUTE_NONE);
    } catch (...) {
      const std::u16string why = CurrentExceptionText();
      WriteLogNoThrow([&] {
        return FormatText(std::u16string(u"host objects of browser %1 not installed: %2"),
                          DecimalText(id), why);
      });
    }
  }
  SendToBrowserProcess(browser, CefProcessMessage::Create(U16ToCef(kMsgContextCreated)));
}

void CNuvCefApp::OnContextReleased(CefRefPtr<CefBrowser> browser,
                                   CefRefPtr<CefFrame> frame,
                                   CefRefPtr<CefV8Context> context) {
  CNuvReleaseFlush flush;
  if (!browser)
    return;
  DestroyHelperWindow(browser->GetIdentifier());
  SendToBrowserProcess(browser, CefProcessMessage::Create(U16ToCef(kMsgContextReleased)));
}

void CNuvCefApp::OnUncaughtException(CefRefPtr<CefBrowser> browser,
                                     CefRefPtr<CefFrame> frame,
                                     CefRefPtr<CefV8Context> context,
                                     CefRefPtr<CefV8Exception> exception,
                                     CefRefPtr<CefV8StackTrace> stackTrace) {
  CNuvReleaseFlush flush;
  if (!browser)
    return;
  const int32_t id = browser->GetIdentifier();
  const CefString name = GetScriptName(id);
  CefString sourceLine;
  CefString message;
  int lineNumber = 0;
  if (exception) {
    sourceLine = exception->GetSourceLine();
    lineNumber = exception->GetLineNumber();
    message = exception->GetMessage();
  }
  CefRefPtr<CefProcessMessage> report = CefProcessMessage::Create(U16ToCef(kMsgUncaughtException));
  CefRefPtr<CefListValue> args = report ? report->GetArgumentList() : nullptr;
  if (!args)
    return;
  args->SetInt(0, id);
  args->SetString(1, name);
  args->SetString(2, sourceLine);
  args->SetString(3, message);
  args->SetInt(4, lineNumber);
  SendToBrowserProcess(browser, report);
}

bool CNuvCefApp::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                          CefProcessId source_process,
                                          CefRefPtr<CefProcessMessage> message) {
  CNuvReleaseFlush flush;
  return DispatchHostCommand(this, browser, message);
}

void CNuvCefApp::SetScriptName(int32_t browserId, const CefString& name) {
  CNuvAutoLock hold(m_lock);
  if (!name.empty())
    m_scriptNames[browserId] = CefToU16(name);
  else
    m_scriptNames.erase(browserId);
}

CefString CNuvCefApp::GetScriptName(int32_t browserId) {
  CNuvAutoLock hold(m_lock);
  const auto found = m_scriptNames.find(browserId);
  return found == m_scriptNames.end() ? CefString() : U16ToCef(found->second);
}

void CNuvCefApp::AddRef() const {
  m_refCount.fetch_add(1, std::memory_order_relaxed);
}

bool CNuvCefApp::Release() const {
  if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) != 1)
    return false;
  delete this;
  return true;
}

bool CNuvCefApp::HasOneRef() const {
  return m_refCount.load(std::memory_order_acquire) == 1;
}
