#include "tests/cef/runtime_fixture.h"

namespace cef_test {

void RecordingHandler::OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) {
  render_thread_created = extra_info && extra_info->GetSize() == 0;
}

void RecordingHandler::OnBrowserCreated(CefRefPtr<CefBrowser> browser) {
  events.push_back("browser-created:" + std::to_string(browser->GetIdentifier()));
}

void RecordingHandler::OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) {
  events.push_back("browser-destroyed:" + std::to_string(browser->GetIdentifier()));
}

void RecordingHandler::OnContextCreated(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefRefPtr<CefV8Context> context) {
  events.push_back("context-created:" + std::to_string(browser->GetIdentifier()) + ":" +
                   std::to_string(frame->GetIdentifier()));
  if (on_context_created) {
    auto run = on_context_created;
    on_context_created = nullptr;
    run(context);
  }
}

void RecordingHandler::OnContextReleased(CefRefPtr<CefBrowser> browser,
                                         CefRefPtr<CefFrame> frame,
                                         CefRefPtr<CefV8Context> context) {
  // The context is still usable while it is being released.
  std::string global_ok = context->IsValid() && context->GetGlobal() ? "" : ":invalid";
  events.push_back("context-released:" + std::to_string(browser->GetIdentifier()) + ":" +
                   std::to_string(frame->GetIdentifier()) + global_ok);
}

void RecordingHandler::OnUncaughtException(CefRefPtr<CefBrowser> browser,
                                           CefRefPtr<CefFrame> frame,
                                           CefRefPtr<CefV8Context> context,
                                           CefRefPtr<CefV8Exception> exception,
                                           CefRefPtr<CefV8StackTrace> stackTrace) {
  UncaughtRecord record;
  record.browser_id = browser ? browser->GetIdentifier() : -1;
  record.frame_id = frame ? frame->GetIdentifier() : -1;
  record.message = exception->GetMessage().ToString();
  record.source_line = exception->GetSourceLine().ToString();
  record.line_number = exception->GetLineNumber();
  for (int i = 0; stackTrace && i < stackTrace->GetFrameCount(); ++i) {
    record.stack_functions.push_back(stackTrace->GetFrame(i)->GetFunctionName().ToString());
    record.stack_lines.push_back(stackTrace->GetFrame(i)->GetLineNumber());
  }
  uncaught.push_back(record);
}

bool RecordingHandler::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                                CefProcessId source_process,
                                                CefRefPtr<CefProcessMessage> message) {
  messages_received.push_back(message->GetName().ToString());
  return source_process == PID_BROWSER;
}

void RecordingObserver::OnDocumentCommand(int browser_id,
                                          int64 frame_id,
                                          const CefString& command,
                                          bool show_ui,
                                          const CefString& value,
                                          bool result) {
  commands.push_back({browser_id, frame_id, command.ToString(), show_ui, value.ToString(), result});
}

void RuntimeTest::SetUp() {
  static int next_browser_id = 1;
  browser_id_ = next_browser_id++;
  Handler()->events.clear();
  Handler()->uncaught.clear();
  Handler()->messages_received.clear();
  Observer()->sent.clear();
  Observer()->commands.clear();
  ASSERT_TRUE(Runtime()->CreateBrowser(browser_id_));
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, kMainFrameId, true, "", ""));
  browser_ = Runtime()->GetBrowser(browser_id_);
  ASSERT_TRUE(browser_);
}

void RuntimeTest::TearDown() {
  browser_ = nullptr;
  Runtime()->DestroyBrowser(browser_id_);
  EXPECT_FALSE(CefV8Context::InContext()) << "a test left a context entered";
}

CefRefPtr<CefV8Context> RuntimeTest::MainContext() {
  return browser_->GetMainFrame()->GetV8Context();
}

CefRefPtr<CefV8Value> RuntimeTest::Eval(const std::string& code) {
  CefRefPtr<CefV8Value> retval;
  CefRefPtr<CefV8Exception> exception;
  bool ok = MainContext()->Eval(code, retval, exception);
  EXPECT_TRUE(ok) << code << ": " << (exception ? exception->GetMessage().ToString() : "");
  return retval;
}

}  // namespace cef_test
