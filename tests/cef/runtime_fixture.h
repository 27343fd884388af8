// The one RenderRuntime of the test binary, the recording app, handler and
// observer behind it, and a fixture that gives each test a fresh browser
// whose main frame has a context.
#ifndef TESTS_CEF_RUNTIME_FIXTURE_H_
#define TESTS_CEF_RUNTIME_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "include/cef_render_process_handler.h"
#include "include/cef_v8.h"

namespace cef_test {

struct UncaughtRecord {
  int browser_id = 0;
  int64 frame_id = 0;
  std::string message;
  std::string source_line;
  int line_number = 0;
  std::vector<std::string> stack_functions;
  std::vector<int> stack_lines;
};

struct CommandRecord {
  int browser_id = 0;
  int64 frame_id = 0;
  std::string command;
  bool show_ui = false;
  std::string value;
  bool result = false;
};

// Records every render-process callback.
class RecordingHandler : public CefRenderProcessHandler {
 public:
  std::vector<std::string> events;  // "created:<browser>:<frame>" and so on
  std::vector<UncaughtRecord> uncaught;
  std::vector<std::string> messages_received;
  bool render_thread_created = false;
  bool webkit_initialized = false;
  // Run inside OnContextCreated when set (then cleared).
  std::function<void(CefRefPtr<CefV8Context>)> on_context_created;

  void OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) override;
  void OnWebKitInitialized() override { webkit_initialized = true; }
  void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override;
  void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) override;
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

 private:
  IMPLEMENT_REFCOUNTING(RecordingHandler);
};

class RecordingApp : public CefApp {
 public:
  explicit RecordingApp(CefRefPtr<RecordingHandler> handler) : handler_(handler) {}
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return handler_.get(); }

 private:
  CefRefPtr<RecordingHandler> handler_;
  IMPLEMENT_REFCOUNTING(RecordingApp);
};

class RecordingObserver : public cefrt::RenderRuntimeObserver {
 public:
  std::vector<std::pair<int, CefRefPtr<CefProcessMessage>>> sent;
  std::vector<CommandRecord> commands;

  void OnProcessMessageToBrowser(int browser_id, CefRefPtr<CefProcessMessage> message) override {
    sent.emplace_back(browser_id, message);
  }
  void OnDocumentCommand(int browser_id,
                         int64 frame_id,
                         const CefString& command,
                         bool show_ui,
                         const CefString& value,
                         bool result) override;
};

// Set up by main() before any test runs.
cefrt::RenderRuntime* Runtime();
RecordingHandler* Handler();
RecordingObserver* Observer();
// Frames of the stack traces of uncaught exceptions the shared runtime
// captures (the runtime reports them only with a positive size).
constexpr int kStackSize = 10;

// Each test gets its own browser (new id) with a main frame context, and
// the recordings cleared.
class RuntimeTest : public ::testing::Test {
 protected:
  static constexpr int64 kMainFrameId = 1000;

  void SetUp() override;
  void TearDown() override;

  CefRefPtr<CefV8Context> MainContext();
  // Evaluates |code| in the main context; fails the test on an exception.
  CefRefPtr<CefV8Value> Eval(const std::string& code);

  int browser_id_ = 0;
  CefRefPtr<CefBrowser> browser_;
};

// Enters a context for the lifetime of the scope.
class ScopedEnter {
 public:
  explicit ScopedEnter(CefRefPtr<CefV8Context> context) : context_(context) {
    entered_ = context_ && context_->Enter();
  }
  ~ScopedEnter() {
    if (entered_)
      context_->Exit();
  }
  bool entered() const { return entered_; }

 private:
  CefRefPtr<CefV8Context> context_;
  bool entered_ = false;
};

}  // namespace cef_test

#endif  // TESTS_CEF_RUNTIME_FIXTURE_H_
