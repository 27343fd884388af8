// The runtime as the render loop drives it: browsers, frames, contexts,
// callbacks, page script, document commands and process messages.
#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {

using RenderRuntimeTest = RuntimeTest;

TEST_F(RenderRuntimeTest, LifecycleCallbacksInOrder) {
  const int id = browser_id_ + 100000;
  Handler()->events.clear();
  ASSERT_TRUE(Runtime()->CreateBrowser(id));
  EXPECT_FALSE(Runtime()->CreateBrowser(id)) << "duplicate browser";
  CefRefPtr<CefBrowser> browser = Runtime()->GetBrowser(id);
  ASSERT_TRUE(browser);
  EXPECT_TRUE(browser->GetMainFrame());
  EXPECT_FALSE(browser->HasDocument());
  EXPECT_FALSE(browser->GetMainFrame()->GetV8Context());

  // A sub-frame may come first, even with the identifier 0.
  ASSERT_TRUE(Runtime()->CreateContext(id, 0, false, "zero", ""));
  EXPECT_FALSE(browser->GetFrame(0)->IsMain());
  EXPECT_FALSE(browser->HasDocument());
  ASSERT_TRUE(Runtime()->ReleaseContext(id, 0));
  Handler()->events.clear();
  Handler()->events.push_back("browser-created:" + std::to_string(id));

  ASSERT_TRUE(Runtime()->CreateContext(id, 7, true, "", ""));
  ASSERT_TRUE(Runtime()->CreateContext(id, 8, false, "child", ""));
  EXPECT_EQ(7, browser->GetMainFrame()->GetIdentifier());
  EXPECT_TRUE(browser->GetFrame(7)->IsMain());
  EXPECT_TRUE(browser->HasDocument());
  ASSERT_TRUE(Runtime()->ReleaseContext(id, 8));
  EXPECT_FALSE(Runtime()->ReleaseContext(id, 8)) << "already released";
  ASSERT_TRUE(Runtime()->CreateContext(id, 8, false, "child", ""));
  ASSERT_TRUE(Runtime()->DestroyBrowser(id));
  EXPECT_FALSE(Runtime()->DestroyBrowser(id));
  EXPECT_FALSE(browser->GetMainFrame());
  EXPECT_FALSE(Runtime()->GetBrowser(id));

  std::string b = std::to_string(id);
  std::vector<std::string> expected = {
      "browser-created:" + b,         "context-created:" + b + ":7", "context-created:" + b + ":8",
      "context-released:" + b + ":8", "context-created:" + b + ":8", "context-released:" + b + ":8",
      "context-released:" + b + ":7", "browser-destroyed:" + b};
  EXPECT_EQ(expected, Handler()->events);
}

TEST_F(RenderRuntimeTest, BadIdsAreRefusedNotFatal) {
  EXPECT_FALSE(Runtime()->CreateContext(-42, 1, true, "", ""));
  EXPECT_FALSE(Runtime()->ReleaseContext(browser_id_, 999));
  EXPECT_FALSE(Runtime()->ReleaseContext(-42, 1));
  EXPECT_FALSE(Runtime()->RunPageScript(browser_id_, 999, "1"));
  EXPECT_FALSE(Runtime()->DeliverProcessMessage(-42, CefProcessMessage::Create("x")));
  EXPECT_FALSE(Runtime()->DeliverProcessMessage(browser_id_, nullptr));
  EXPECT_FALSE(Runtime()->GetBrowser(-42));
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 50, false, "", ""));
  EXPECT_FALSE(Runtime()->CreateContext(browser_id_, 50, true, "", ""))
      << "a sub-frame cannot become the main frame";
}

TEST_F(RenderRuntimeTest, TwoFramesHaveTwoContextsSharingTheBrowsersToken) {
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 2, false, "side", "var who = 'side';"));
  ASSERT_TRUE(Runtime()->RunPageScript(browser_id_, kMainFrameId, "var who = 'main';"));
  CefRefPtr<CefFrame> side = browser_->GetFrame("side");
  ASSERT_TRUE(side);
  EXPECT_EQ(2, side->GetIdentifier());
  EXPECT_FALSE(side->IsMain());
  EXPECT_TRUE(side->GetParent()->IsMain());
  EXPECT_EQ(2u, browser_->GetFrameCount());
  std::vector<int64> ids;
  browser_->GetFrameIdentifiers(ids);
  EXPECT_EQ((std::vector<int64>{kMainFrameId, 2}), ids);

  CefRefPtr<CefV8Context> main = MainContext();
  CefRefPtr<CefV8Context> sub = side->GetV8Context();
  EXPECT_FALSE(main->IsSame(sub));
  EXPECT_TRUE(main->IsSame(browser_->GetMainFrame()->GetV8Context()));
  EXPECT_EQ(2, sub->GetFrame()->GetIdentifier());
  EXPECT_EQ(browser_id_, sub->GetBrowser()->GetIdentifier());

  // The main frame reaches into the sub-frame's global (same browser).
  {
    ScopedEnter enter(main);
    main->GetGlobal()->SetValue("sideWindow", sub->GetGlobal(), V8_PROPERTY_ATTRIBUTE_NONE);
    EXPECT_EQ("main", Eval("who")->GetStringValue().ToString());
    EXPECT_EQ("side", Eval("sideWindow.who")->GetStringValue().ToString());
  }
}

TEST_F(RenderRuntimeTest, EnterAndExitNest) {
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 2, false, "", ""));
  CefRefPtr<CefV8Context> a = MainContext();
  CefRefPtr<CefV8Context> b = browser_->GetFrame(2)->GetV8Context();
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_FALSE(a->Exit()) << "not entered";

  ASSERT_TRUE(a->Enter());
  ASSERT_TRUE(b->Enter());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(b));
  EXPECT_TRUE(CefV8Context::GetEnteredContext()->IsSame(b));
  EXPECT_FALSE(a->Exit()) << "b must be left first";
  ASSERT_TRUE(b->Exit());
  EXPECT_TRUE(CefV8Context::GetCurrentContext()->IsSame(a));
  ASSERT_TRUE(a->Enter()) << "re-entering the same context nests";
  ASSERT_TRUE(a->Exit());
  ASSERT_TRUE(a->Exit());
  EXPECT_FALSE(CefV8Context::InContext());
  EXPECT_FALSE(CefV8Context::GetCurrentContext());

  // Inside a native function, the current context is the function's.
  class WhereAmI : public CefV8Handler {
   public:
    int64 frame = -1;
    bool Execute(const CefString&,
                 CefRefPtr<CefV8Value>,
                 const CefV8ValueList&,
                 CefRefPtr<CefV8Value>&,
                 CefString&) override {
      frame = CefV8Context::GetCurrentContext()->GetFrame()->GetIdentifier();
      return true;
    }

   private:
    IMPLEMENT_REFCOUNTING(WhereAmI);
  };
  CefRefPtr<WhereAmI> where = new WhereAmI();
  {
    ScopedEnter enter(b);
    b->GetGlobal()->SetValue("where", CefV8Value::CreateFunction("where", where.get()),
                             V8_PROPERTY_ATTRIBUTE_NONE);
  }
  ASSERT_TRUE(Runtime()->RunPageScript(browser_id_, 2, "where()"));
  EXPECT_EQ(2, where->frame);
}

TEST_F(RenderRuntimeTest, OnContextCreatedRunsInsideTheNewContext) {
  bool made = false;
  Handler()->on_context_created = [&made](CefRefPtr<CefV8Context> context) {
    CefRefPtr<CefV8Value> obj = CefV8Value::CreateObject(nullptr);
    made = obj && CefV8Context::GetCurrentContext()->IsSame(context) &&
           context->GetGlobal()->SetValue("fromHandler", CefV8Value::CreateInt(5),
                                          V8_PROPERTY_ATTRIBUTE_NONE);
  };
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 4, false, "", "var seen = fromHandler * 2;"));
  EXPECT_TRUE(made);
  ScopedEnter enter(browser_->GetFrame(4)->GetV8Context());
  CefRefPtr<CefV8Value> seen;
  CefRefPtr<CefV8Exception> exception;
  ASSERT_TRUE(browser_->GetFrame(4)->GetV8Context()->Eval("seen", seen, exception));
  EXPECT_EQ(10, seen->GetIntValue());
}

TEST_F(RenderRuntimeTest, PageScriptExceptionsReachTheUncaughtHandler) {
  const char* script =
      "var x = 1;\n"
      "function fail() {\n"
      "  null.prop;\n"
      "}\n"
      "fail();\n";
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 5, false, "", script));
  ASSERT_EQ(1u, Handler()->uncaught.size());
  const UncaughtRecord& r = Handler()->uncaught[0];
  EXPECT_EQ(5, r.frame_id);
  EXPECT_EQ(0u, r.message.find("Uncaught TypeError")) << r.message;
  EXPECT_EQ("  null.prop;", r.source_line);
  EXPECT_EQ(3, r.line_number);
  ASSERT_EQ(2u, r.stack_functions.size());
  EXPECT_EQ("fail", r.stack_functions[0]);
  EXPECT_EQ(5, r.stack_lines[1]);

  EXPECT_FALSE(Runtime()->RunPageScript(browser_id_, 5, "this is not script"));
  ASSERT_EQ(2u, Handler()->uncaught.size());
  EXPECT_EQ(0u, Handler()->uncaught[1].message.find("Uncaught SyntaxError"));
  EXPECT_TRUE(Runtime()->RunPageScript(browser_id_, 5, "try { null.x } catch (e) {}"));
  EXPECT_EQ(2u, Handler()->uncaught.size()) << "caught in the page: not reported";

  // CefFrame::ExecuteJavaScript runs page code the same way.
  browser_->GetFrame(5)->ExecuteJavaScript("\nthrow new Error('late')", "page.js", 10);
  ASSERT_EQ(3u, Handler()->uncaught.size());
  EXPECT_EQ("Uncaught Error: late", Handler()->uncaught[2].message);
  EXPECT_EQ(11, Handler()->uncaught[2].line_number);
}

TEST_F(RenderRuntimeTest, EvalRunsGlobalCodeThroughThePagesEval) {
  ScopedEnter enter(MainContext());
  EXPECT_EQ(
      2,
      Eval("var g = 5; function gf() { return g; } try { 1 + 1 } catch (err) {}")->GetIntValue());
  EXPECT_EQ(5, Eval("gf()")->GetIntValue());
  CefRefPtr<CefV8Value> retval;
  CefRefPtr<CefV8Exception> exception;
  EXPECT_FALSE(MainContext()->Eval("throw new RangeError('r')", retval, exception));
  ASSERT_TRUE(exception);
  EXPECT_EQ("Uncaught RangeError: r", exception->GetMessage().ToString());
  EXPECT_FALSE(MainContext()->Eval("", retval, exception));
}

// Page script written for Chromium finds its window: the global object under
// window, self and frames, and as the document's defaultView.
TEST_F(RenderRuntimeTest, TheGlobalObjectIsThePagesWindow) {
  ScopedEnter enter(MainContext());
  const char* truths[] = {
      "window === globalThis",
      "window.window === window",
      "self === window && frames === window && globalThis.window === window",
      "document.defaultView === window",
      "typeof window.document.execCommand === 'function'",
      "var pageVar = 3; window.pageVar === 3",
      "window.made = 4; made === 4",
      // window cannot be replaced or deleted; self and frames can be replaced.
      "window = 5; window === globalThis",
      "!delete window && window === globalThis",
      "(function () { 'use strict'; try { window = 1; return false; } "
      "catch (e) { return e instanceof TypeError; } })()",
      "self = 6; self === 6 && window.self === 6 && frames === window",
      "Object.getOwnPropertyDescriptor(window, 'window').configurable === false",
      "window.onerror === null && 'onerror' in window",
  };
  for (const char* truth : truths)
    EXPECT_TRUE(Eval(truth)->GetBoolValue()) << truth;
  // The sub-frame has its own window; frames of one browser reach each other.
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 6, false, "side", "var who = 'side';"));
  CefRefPtr<CefV8Value> side = browser_->GetFrame(6)->GetV8Context()->GetGlobal();
  ASSERT_TRUE(MainContext()->GetGlobal()->SetValue("sideWindow", side, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(Eval("sideWindow.window === sideWindow && sideWindow !== window && "
                   "sideWindow.document.defaultView === sideWindow && sideWindow.who === 'side'")
                  ->GetBoolValue());
}

// window.onerror sees uncaught exceptions first, with Chromium's arguments;
// the render-process handler hears of every one of them all the same.
TEST_F(RenderRuntimeTest, WindowOnErrorSeesUncaughtExceptionsBeforeTheHandler) {
  const char* script =
      "var seen = [];\n"
      "window.onerror = function (message, source, line, column, error) {\n"
      "  seen.push([message, source, line, column, error instanceof Error,\n"
      "             this === window, arguments.length].join('|'));\n"
      "  return true;\n"
      "};\n";
  ASSERT_TRUE(Runtime()->CreateContext(browser_id_, 7, false, "", script));
  browser_->GetFrame(7)->ExecuteJavaScript("\n  throw new Error('boom')", "page.js", 1);
  ASSERT_EQ(1u, Handler()->uncaught.size()) << "returning true does not hide it from CEF";
  EXPECT_EQ("Uncaught Error: boom", Handler()->uncaught[0].message);
  CefRefPtr<CefV8Context> context = browser_->GetFrame(7)->GetV8Context();
  CefRefPtr<CefV8Value> seen;
  CefRefPtr<CefV8Exception> exception;
  ASSERT_TRUE(context->Eval("seen.join('\\n')", seen, exception));
  EXPECT_EQ("Uncaught Error: boom|page.js|2|3|true|true|5", seen->GetStringValue().ToString());

  // Caught in the page: neither hears of it. A handler that throws is
  // reported itself, once, and not called again for its own exception.
  ASSERT_TRUE(context->Eval("try { null.x } catch (e) {} seen.length", seen, exception));
  EXPECT_EQ(1, seen->GetIntValue());
  ASSERT_TRUE(context->Eval(
      "onerror = function () { seen.push('x'); throw new Error('again'); }; 1", seen, exception));
  browser_->GetFrame(7)->ExecuteJavaScript("throw 7", "page.js", 1);
  ASSERT_EQ(3u, Handler()->uncaught.size());
  EXPECT_EQ("Uncaught Error: again", Handler()->uncaught[1].message);
  EXPECT_EQ("Uncaught 7", Handler()->uncaught[2].message);
  ASSERT_TRUE(context->Eval("seen.length", seen, exception));
  EXPECT_EQ(2, seen->GetIntValue());

  // An event-handler attribute keeps objects only.
  ASSERT_TRUE(context->Eval("onerror = 'text'; String(window.onerror)", seen, exception));
  EXPECT_EQ("null", seen->GetStringValue().ToString());
}

// A page that replaces window.eval is what CefV8Context::Eval calls, as in CEF.
TEST_F(RenderRuntimeTest, ReplacedWindowEvalIsWhatContextEvalCalls) {
  ScopedEnter enter(MainContext());
  Eval(
      "var realEval = window.eval; window.eval = function (code) { "
      "return 'seen: ' + code; }; 1");
  EXPECT_EQ("seen: 1 + 1", Eval("1 + 1")->GetStringValue().ToString());
  EXPECT_EQ("seen: window.eval = realEval",
            Eval("window.eval = realEval")->GetStringValue().ToString());
  CefRefPtr<CefV8Value> global = MainContext()->GetGlobal();
  ASSERT_TRUE(global->SetValue("eval", global->GetValue("realEval"), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ(2, Eval("1 + 1")->GetIntValue());
}

TEST_F(RenderRuntimeTest, DocumentExecCommandIsRecorded) {
  ScopedEnter enter(MainContext());
  EXPECT_TRUE(Eval("document.execCommand('bold', false, null)")->GetBoolValue());
  EXPECT_TRUE(Eval("document.execCommand('InsertText', 0, 'hi')")->GetBoolValue());
  EXPECT_FALSE(Eval("document.execCommand('launchMissiles')")->GetBoolValue());
  EXPECT_FALSE(Eval("document.execCommand()")->GetBoolValue());
  EXPECT_EQ("threw", Eval("try { document.execCommand({ toString() { throw 1 } }) } "
                          "catch (e) { 'threw' }")
                         ->GetStringValue()
                         .ToString());
  browser_->GetMainFrame()->SelectAll();

  const auto& c = Observer()->commands;
  ASSERT_EQ(5u, c.size());
  EXPECT_EQ(browser_id_, c[0].browser_id);
  EXPECT_EQ(kMainFrameId, c[0].frame_id);
  EXPECT_EQ("bold", c[0].command);
  EXPECT_EQ("null", c[0].value);
  EXPECT_TRUE(c[0].result);
  EXPECT_EQ("InsertText", c[1].command);
  EXPECT_EQ("hi", c[1].value);
  EXPECT_FALSE(c[1].show_ui);
  EXPECT_FALSE(c[2].result);
  EXPECT_EQ("", c[3].command);
  EXPECT_EQ("selectAll", c[4].command);
  EXPECT_TRUE(c[4].result);
}

TEST_F(RenderRuntimeTest, ProcessMessagesBothWays) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("NuvChromeBrowser_Test");
  message->GetArgumentList()->SetInt(0, browser_id_);
  EXPECT_TRUE(browser_->SendProcessMessage(PID_BROWSER, message));
  message->GetArgumentList()->SetInt(0, -1);
  EXPECT_FALSE(browser_->SendProcessMessage(PID_RENDERER, message));
  EXPECT_FALSE(browser_->SendProcessMessage(PID_BROWSER, nullptr));
  ASSERT_EQ(1u, Observer()->sent.size());
  EXPECT_EQ(browser_id_, Observer()->sent[0].first);
  EXPECT_EQ("NuvChromeBrowser_Test", Observer()->sent[0].second->GetName().ToString());
  EXPECT_EQ(browser_id_, Observer()->sent[0].second->GetArgumentList()->GetInt(0))
      << "the observer gets what was sent, not later edits";

  EXPECT_TRUE(Runtime()->DeliverProcessMessage(browser_id_, CefProcessMessage::Create("In")));
  EXPECT_EQ(std::vector<std::string>{"In"}, Handler()->messages_received);
}

}  // namespace
}  // namespace cef_test
