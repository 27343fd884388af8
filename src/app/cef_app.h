// CNuvCefApp: the application object handed to CEF in every sub-process. In a
// render process it reads the client's host window handle and acts as the
// render-process handler: it installs the client's host objects into every
// new script context, reports context life and uncaught exceptions, and hands
// the client's commands to the dispatcher.
#ifndef NUV_SRC_APP_CEF_APP_H_
#define NUV_SRC_APP_CEF_APP_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "include/cef_app.h"
#include "include/cef_render_process_handler.h"
#include "src/channel/command_dispatcher.h"
#include "src/common/sync_object.h"

class CNuvCefApp : public CefApp, public CefRenderProcessHandler, public INuvCommandOwner {
 public:
  // Makes the bridge the one the value conversions use.
  CNuvCefApp();
  CNuvCefApp(const CNuvCefApp&) = delete;
  CNuvCefApp& operator=(const CNuvCefApp&) = delete;

  // CefApp
  void OnBeforeCommandLineProcessing(const CefString& process_type,
                                     CefRefPtr<CefCommandLine> command_line) override;
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override;

  // CefRenderProcessHandler
  void OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) override;
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  void OnContextReleased(CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override;
  void OnUncaughtException(CefRefPtr<CefBrowser> browser,
                           CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefV8Context> context,
                           CefRefPtr<CefV8Exception> exception,
                           CefRefPtr<CefV8StackTrace> stackTrace) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // INuvCommandOwner: the script-name record, under m_lock.
  void SetScriptName(int32_t browserId, const CefString& name) override;
  uint32_t GetHostWindow() override { return m_hostWindow; }

  // The name last recorded for `browserId`; empty when there is none.
  CefString GetScriptName(int32_t browserId);

  // CefBase
  void AddRef() const override;
  bool Release() const override;
  bool HasOneRef() const override;

 private:
  ~CNuvCefApp() override = default;

  CNuvCriticalSectionObject m_lock;
  std::map<int32_t, std::u16string> m_scriptNames;
  uint32_t m_hostWindow = 0;
  mutable std::atomic<int32_t> m_refCount{0};
};

#endif  // NUV_SRC_APP_CEF_APP_H_
