// The render process's V8-backed runtime: one isolate, browsers with their
// frames and one script context per frame. The render loop drives it from
// the client's commands; in-process tests drive it directly. Everything
// runs on the thread that created it (the render thread).
#ifndef CEF_RUNTIME_RENDER_RUNTIME_H_
#define CEF_RUNTIME_RENDER_RUNTIME_H_

#include <memory>

#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_command_line.h"
#include "include/cef_process_message.h"

namespace cefrt {

// Receives what leaves the render process: process messages to the browser
// process and the document commands pages run.
class RenderRuntimeObserver {
 public:
  virtual ~RenderRuntimeObserver() = default;
  // CefBrowser::SendProcessMessage(PID_BROWSER, message) of the given browser.
  virtual void OnProcessMessageToBrowser(int browser_id, CefRefPtr<CefProcessMessage> message) = 0;
  // document.execCommand(command, show_ui, value) ran in a frame of the browser.
  virtual void OnDocumentCommand(int browser_id,
                                 int64 frame_id,
                                 const CefString& command,
                                 bool show_ui,
                                 const CefString& value,
                                 bool result) {}
};

// What the browser process decides for every renderer (CEF takes these from
// the renderer's command line).
struct RenderRuntimeSettings {
  // Frames captured for the stack trace of an uncaught exception. Only a
  // positive size makes uncaught exceptions reach OnUncaughtException (the
  // switch "uncaught-exception-stack-size").
  int uncaught_exception_stack_size = 0;
};

// Each method below that runs callbacks or page code is one task of the
// render thread, and so is each task posted with CefPostTask: queued
// microtasks run when it ends (unless a context is still entered), as at
// the end of a Blink task.
class RenderRuntime {
 public:
  // One per process, created and used on the render thread. Initialises V8
  // once per process, creates the isolate, asks the app for its
  // render-process handler and calls OnRenderThreadCreated (empty list) and
  // OnWebKitInitialized. Returns null when a runtime already exists.
  // |observer| may be null and must outlive the runtime.
  static std::unique_ptr<RenderRuntime> Create(
      CefRefPtr<CefApp> app,
      RenderRuntimeObserver* observer,
      const RenderRuntimeSettings& settings = RenderRuntimeSettings());
  // Releases every browser (as DestroyBrowser does) and disposes the isolate.
  virtual ~RenderRuntime();

  // OnBrowserCreated; the main frame exists from now on, without a context.
  virtual bool CreateBrowser(int browser_id) = 0;
  // Releases the browser's contexts (OnContextReleased each), then
  // OnBrowserDestroyed.
  virtual bool DestroyBrowser(int browser_id) = 0;
  // Creates the frame if needed (|is_main| only for the first/main one), a
  // fresh V8 context with the document object, calls OnContextCreated, then
  // runs |page_script| as page code. An existing context of the frame is
  // released first.
  virtual bool CreateContext(int browser_id,
                             int64 frame_id,
                             bool is_main,
                             const CefString& frame_name,
                             const CefString& page_script) = 0;
  // OnContextReleased, then disposes the context.
  virtual bool ReleaseContext(int browser_id, int64 frame_id) = 0;
  // Runs |script| as page code; an uncaught throw reaches
  // OnUncaughtException. False when the frame has no context or the script
  // threw.
  virtual bool RunPageScript(int browser_id, int64 frame_id, const CefString& script) = 0;
  // OnProcessMessageReceived(browser, PID_BROWSER, message); returns what
  // the handler returned.
  virtual bool DeliverProcessMessage(int browser_id, CefRefPtr<CefProcessMessage> message) = 0;
  // A full collection; weak callbacks and their second passes all run
  // before it returns.
  virtual void CollectGarbage() = 0;
  // Null for an unknown id.
  virtual CefRefPtr<CefBrowser> GetBrowser(int browser_id) = 0;

  // Number of native objects (handlers, accessors, user data) the runtime
  // currently keeps alive for script objects. For tests.
  virtual size_t GetTrackedObjectCount() = 0;

 protected:
  RenderRuntime() = default;
};

// Makes |command_line| what CefCommandLine::GetGlobalCommandLine() returns
// (CefExecuteProcess does this once it has parsed the process arguments).
void SetGlobalCommandLine(CefRefPtr<CefCommandLine> command_line);

// The stack size of "uncaught-exception-stack-size" in |command_line|, read
// as Chromium reads a number (the leading digits of the text; saturated at
// the int range; 0 when there is none).
int UncaughtExceptionStackSize(CefRefPtr<CefCommandLine> command_line);

}  // namespace cefrt

#endif  // CEF_RUNTIME_RENDER_RUNTIME_H_
