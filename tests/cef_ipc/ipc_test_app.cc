// A small sub-process for the IPC tests: CefExecuteProcess with an app whose
// render-process handler reports every callback to the client as a process
// message and answers a few commands:
//   "Echo" args...          -> "EchoReply" with the same arguments
//   "Eval" frame-id, code   -> "EvalResult" ok, result text (or exception message)
//   "Flood" n               -> n messages "FloodItem" i
//   "SendBinary"            -> a message with a binary argument (not carried)
//   "Sleep" ms              -> returns after ms milliseconds
//   "Abort"                 -> abort()
//   "OpenWindow"            -> "WindowOpened" handle of a message window on
//                              the render thread; copy-data sent to it is
//                              answered with its size * 2 and reported as
//                              "WindowGotData" text
//   anything else           -> not handled
// With --ipc-test-marker=<file>, OnBeforeCommandLineProcessing appends the
// process type and a line feed to that file.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <memory>
#include <string>

#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_process_message.h"
#include "include/cef_render_process_handler.h"
#include "include/cef_v8.h"
#if defined(IPC_TEST_WITH_WINDOWS)
#include "platform/message_window.h"
#endif

namespace {

void Send(CefRefPtr<CefBrowser> browser, CefRefPtr<CefProcessMessage> message) {
  browser->SendProcessMessage(PID_BROWSER, message);
}

CefRefPtr<CefProcessMessage> Message(const char* name) {
  return CefProcessMessage::Create(name);
}

void CopyList(CefRefPtr<CefListValue> from, CefRefPtr<CefListValue> to) {
  to->SetSize(from->GetSize());
  for (size_t i = 0; i < from->GetSize(); ++i) {
    const int index = static_cast<int>(i);
    switch (from->GetType(index)) {
      case VTYPE_BOOL:
        to->SetBool(index, from->GetBool(index));
        break;
      case VTYPE_INT:
        to->SetInt(index, from->GetInt(index));
        break;
      case VTYPE_DOUBLE:
        to->SetDouble(index, from->GetDouble(index));
        break;
      case VTYPE_STRING:
        to->SetString(index, from->GetString(index));
        break;
      case VTYPE_LIST: {
        CefRefPtr<CefListValue> inner = CefListValue::Create();
        CopyList(from->GetList(index), inner);
        to->SetList(index, inner);
        break;
      }
      default:
        to->SetNull(index);
        break;
    }
  }
}

std::string FrameId(CefRefPtr<CefFrame> frame) {
  return frame ? std::to_string(frame->GetIdentifier()) : std::string("none");
}

#if defined(IPC_TEST_WITH_WINDOWS)
// Lives on the render thread; reports what it receives to browser_.
class ReportingWindow : public nuv::platform::MessageWindowDelegate {
 public:
  explicit ReportingWindow(CefRefPtr<CefBrowser> browser) : browser_(browser) {}
  bool ProcessWindowMessage(nuv::platform::WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData)
      return false;
    const auto* data = reinterpret_cast<const nuv::platform::CopyData*>(lparam);
    CefRefPtr<CefProcessMessage> m = CefProcessMessage::Create("WindowGotData");
    m->GetArgumentList()->SetString(
        0, std::string(static_cast<const char*>(data->lpData), data->cbData));
    browser_->SendProcessMessage(PID_BROWSER, m);
    *result = static_cast<intptr_t>(data->cbData) * 2;
    return true;
  }

 private:
  CefRefPtr<CefBrowser> browser_;
};
#endif

class TestApp : public CefApp, public CefRenderProcessHandler {
 public:
  void OnBeforeCommandLineProcessing(const CefString& process_type,
                                     CefRefPtr<CefCommandLine> command_line) override {
    const std::string marker = command_line->GetSwitchValue("ipc-test-marker").ToString();
    if (marker.empty())
      return;
    if (FILE* f = fopen(marker.c_str(), "a")) {
      fprintf(f, "%s\n", process_type.ToString().c_str());
      fclose(f);
    }
  }

  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

  void OnBrowserCreated(CefRefPtr<CefBrowser> browser) override {
    Send(browser, Message("BrowserCreated"));
  }

  void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) override {
    // The browser can no longer send; nothing to report.
  }

  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    CefRefPtr<CefProcessMessage> m = Message("ContextCreated");
    CefRefPtr<CefListValue> args = m->GetArgumentList();
    args->SetString(0, FrameId(frame));
    args->SetBool(1, frame && frame->IsMain());
    args->SetString(2, frame ? frame->GetName() : CefString());
    Send(browser, m);
  }

  void OnContextReleased(CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override {
    CefRefPtr<CefProcessMessage> m = Message("ContextReleased");
    m->GetArgumentList()->SetString(0, FrameId(frame));
    Send(browser, m);
  }

  void OnUncaughtException(CefRefPtr<CefBrowser> browser,
                           CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefV8Context> context,
                           CefRefPtr<CefV8Exception> exception,
                           CefRefPtr<CefV8StackTrace> stack_trace) override {
    CefRefPtr<CefProcessMessage> m = Message("UncaughtException");
    m->GetArgumentList()->SetString(0, FrameId(frame));
    m->GetArgumentList()->SetString(1, exception ? exception->GetMessage() : CefString());
    Send(browser, m);
  }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override {
    const std::string name = message->GetName().ToString();
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    if (name == "Echo") {
      CefRefPtr<CefProcessMessage> reply = Message("EchoReply");
      CopyList(args, reply->GetArgumentList());
      Send(browser, reply);
      return true;
    }
    if (name == "Eval") {
      Eval(browser, std::stoll(args->GetString(0).ToString()), args->GetString(1));
      return true;
    }
    if (name == "Flood") {
      for (int i = 0; i < args->GetInt(0); ++i) {
        CefRefPtr<CefProcessMessage> item = Message("FloodItem");
        item->GetArgumentList()->SetInt(0, i);
        Send(browser, item);
      }
      return true;
    }
    if (name == "SendBinary") {
      CefRefPtr<CefProcessMessage> m = Message("WithBinary");
      const char bytes[] = "xyz";
      m->GetArgumentList()->SetBinary(0, CefBinaryValue::Create(bytes, sizeof(bytes)));
      Send(browser, m);
      return true;
    }
    if (name == "Sleep") {
      const int ms = args->GetInt(0);
      timespec ts{ms / 1000, (ms % 1000) * 1000000L};
      nanosleep(&ts, nullptr);
      return true;
    }
#if defined(IPC_TEST_WITH_WINDOWS)
    if (name == "OpenWindow") {
      window_delegate_.reset(new ReportingWindow(browser));
      const nuv::platform::WindowHandle handle =
          nuv::platform::CreateMessageWindow(window_delegate_.get());
      CefRefPtr<CefProcessMessage> m = Message("WindowOpened");
      m->GetArgumentList()->SetInt(0, static_cast<int>(handle));
      Send(browser, m);
      return true;
    }
#endif
    if (name == "Abort") {
      rlimit no_core{0, 0};
      setrlimit(RLIMIT_CORE, &no_core);
      abort();
    }
    return false;
  }

 private:
  void Eval(CefRefPtr<CefBrowser> browser, int64 frame_id, const CefString& code) {
    CefRefPtr<CefProcessMessage> reply = Message("EvalResult");
    CefRefPtr<CefListValue> out = reply->GetArgumentList();
    CefRefPtr<CefFrame> frame = browser->GetFrame(frame_id);
    CefRefPtr<CefV8Context> context = frame ? frame->GetV8Context() : nullptr;
    if (!context) {
      out->SetBool(0, false);
      out->SetString(1, "no context");
      Send(browser, reply);
      return;
    }
    CefRefPtr<CefV8Value> result;
    CefRefPtr<CefV8Exception> exception;
    const bool ok = context->Eval(code, result, exception);
    out->SetBool(0, ok);
    if (ok && result && result->IsString())
      out->SetString(1, result->GetStringValue());
    else if (ok && result && result->IsInt())
      out->SetString(1, std::to_string(result->GetIntValue()));
    else if (!ok && exception)
      out->SetString(1, exception->GetMessage());
    Send(browser, reply);
  }

#if defined(IPC_TEST_WITH_WINDOWS)
  std::unique_ptr<ReportingWindow> window_delegate_;
#endif

  IMPLEMENT_REFCOUNTING(TestApp);
};

}  // namespace

int main(int argc, char* argv[]) {
  CefMainArgs args(argc, argv);
  CefRefPtr<TestApp> app(new TestApp);
  return CefExecuteProcess(args, app.get(), nullptr);
}
