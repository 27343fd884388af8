// The client's commands and the render process's notifications, exchanged
// with the real nuv_subprocess over the runtime's IPC. The pages here bring
// their own NuvChromeBrowser object, so no host window is involved (handle 0).
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "host/browser/render_process.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

using cefipc::WireList;
using cefipc::WireValue;

constexpr int kTimeoutMs = 10000;

// The page's own exception handler: it returns a text naming what it got.
constexpr char16_t kPage[] =
    u"var NuvChromeBrowser = {"
    u"  OnException: function(name, message, stack) {"
    u"    globalThis.caught = [name, message, typeof stack];"
    u"    return 'caught ' + name + ': ' + message; } };"
    u"function add(a, b) { return a + b; }"
    u"function count() { return arguments.length; }"
    u"function thrower() { throw new Error('boom'); }"
    u"function makeCallback() {"
    u"  return function(value) { globalThis.calledWith = value; return 'ignored'; }; }"
    u"function seenText() { return globalThis.seen; }"
    u"var notAFunction = 42;";

WireValue I(int32_t value) {
  return WireValue::Int(value);
}
WireValue S(const std::u16string& value) {
  return WireValue::String(value);
}

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = dir_.File("commands.log");
    process_ = StartRenderer({"--nuv-log-file=" + log_, "--browser-message-window-handle=0"});
    ASSERT_TRUE(process_);
    ASSERT_TRUE(process_->WaitForHello(kTimeoutMs));
    ASSERT_TRUE(Ack(process_->CreateBrowser(1)).done());
    ASSERT_TRUE(Ack(process_->CreateContext(1, 1, true, u"", kPage)).done());
    host::ProcessMessage created;
    ASSERT_TRUE(
        process_->WaitForMessageNamed(u"NuvChromeBrowser_ContextCreated", kTimeoutMs, &created));
  }

  void TearDown() override {
    if (process_) {
      const host::ExitStatus status = process_->End(kTimeoutMs);
      EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
    }
  }

  host::CommandResult Ack(uint32_t sequence) { return process_->WaitForAck(sequence, kTimeoutMs); }

  // Sends a message and waits until the render process has handled it.
  host::CommandResult Send(const std::u16string& name, const WireList& args, int32_t browser = 1) {
    return Ack(process_->SendProcessMessage(browser, name, args));
  }

  // Sends and returns the one reply named `reply`.
  WireList Call(const std::u16string& name, const WireList& args, const std::u16string& reply) {
    Send(name, args);
    host::ProcessMessage message;
    if (!process_->WaitForMessageNamed(reply, kTimeoutMs, &message))
      return {};
    return message.args;
  }

  WireList Script(const std::u16string& script,
                  const std::u16string& name = u"",
                  const std::u16string& tag = u"tag") {
    return Call(u"NuvChromeBrowser_ExecuteScript", {I(1), S(script), S(name), S(tag)},
                u"NuvChromeBrowser_ExecuteScript_Result");
  }

  WireList Function(const std::u16string& function, const std::u16string& arguments) {
    return Call(u"NuvChromeBrowser_ExecuteFunction", {I(0), S(function), S(u"ftag"), S(arguments)},
                u"NuvChromeBrowser_ExecuteFunction_Result");
  }

  // The value record of a result's index 3.
  static Json::Value Record(const WireList& args) {
    Json::Value value;
    if (args.size() == 4)
      Json::Reader().parse(Utf8(args[3].GetString()), value);
    return value;
  }

  ScratchDir dir_;
  std::string log_;
  std::unique_ptr<host::RenderProcess> process_;
};

TEST_F(CommandTest, ScriptOnePlusOneAnswersTheCompactRecordOfTwo) {
  const WireList reply = Script(u"1+1", u"sum.js", u"tag-\u00e9%1");
  ASSERT_EQ(4u, reply.size());
  EXPECT_EQ(I(1), reply[0]);
  EXPECT_EQ(WireValue::Bool(true), reply[1]);
  EXPECT_EQ(S(u"tag-\u00e9%1"), reply[2]);
  EXPECT_EQ(S(u"{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n"), reply[3]);
}

// CEF answers IsInt for unsigned 32-bit numbers too and reads them as signed
// through GetIntValue; the records still carry the number itself.
TEST_F(CommandTest, WholeNumbersAboveTheSignedRangeKeepTheirUnsignedValue) {
  for (const char* number : {"2147483648", "3000000000", "4294967295"}) {
    const std::string record =
        std::string("{\"browserId\":1,\"value\":") + number + ",\"valueType\":\"NuvValueInt\"}\n";
    EXPECT_EQ(S(Utf16(record)), Script(Utf16(number))[3]) << number;
    EXPECT_EQ(S(Utf16(record)),
              Function(u"add", Utf16(std::string("[{\"valueType\":\"NuvValueDouble\",\"value\":") +
                                     number + "},{\"valueType\":\"NuvValueInt\",\"value\":0}]"))[3])
        << number;
  }
  EXPECT_EQ(-1, Record(Script(u"-1"))["value"].asInt());
  EXPECT_EQ(-2147483648LL, Record(Script(u"-2147483648"))["value"].asInt64());
  EXPECT_EQ("NuvValueDouble", Record(Script(u"4294967296"))["valueType"].asString());
  EXPECT_EQ("NuvValueDouble", Record(Script(u"-0"))["valueType"].asString());
}

TEST_F(CommandTest, ScriptsRunAsGlobalCodeThroughTheWrapper) {
  Script(u"var x = 3");
  EXPECT_EQ(3, Record(Script(u"x"))["value"].asInt());

  // Percent signs reach eval unchanged.
  EXPECT_EQ("%1 and %2", Record(Script(u"'%1 and %2'"))["value"].asString());

  // A throwing script goes to the page's OnException; its result comes back.
  const WireList thrown = Script(u"throw new Error('boom')");
  EXPECT_EQ(WireValue::Bool(true), thrown[1]);
  EXPECT_EQ("caught Error: boom", Record(thrown)["value"].asString());
  EXPECT_EQ("Error,boom,string", Record(Script(u"String(globalThis.caught)"))["value"].asString());

  // A last line comment swallows the wrapper's closing brace: eval itself
  // fails, success is still reported with a null record.
  const WireList broken = Script(u"1 // note");
  EXPECT_EQ(WireValue::Bool(true), broken[1]);
  EXPECT_EQ("NuvValueNull", Record(broken)["valueType"].asString());
  EXPECT_EQ("NuvValueUndefined", Record(Script(u"// note\n"))["valueType"].asString());
}

TEST_F(CommandTest, ScriptWithAZeroUnitReachesEvalWhole) {
  // A raw U+0000 inside a string literal is valid script; everything after
  // it belongs to the script as well.
  constexpr char16_t kScript[] = u"'a\0b'.length + 40";
  const std::u16string script(kScript, sizeof(kScript) / sizeof(kScript[0]) - 1);
  const WireList reply = Script(script);
  ASSERT_EQ(4u, reply.size());
  EXPECT_EQ(WireValue::Bool(true), reply[1]);
  EXPECT_EQ(S(u"{\"browserId\":1,\"value\":43,\"valueType\":\"NuvValueInt\"}\n"), reply[3]);
}

TEST_F(CommandTest, ScriptWithoutEvalFailsAndIsLogged) {
  Script(u"globalThis.eval = 5", u"", u"setup");
  const WireList reply = Script(u"1+1", u"late.js", u"t2");
  ASSERT_EQ(4u, reply.size());
  EXPECT_EQ(WireValue::Bool(false), reply[1]);
  EXPECT_EQ(S(u"t2"), reply[2]);
  EXPECT_EQ(S(u""), reply[3]);
  bool logged = false;
  for (const std::string& line : LogMessages(log_))
    logged = logged || line == "Can't execute script: late.js, 1+1";
  EXPECT_TRUE(logged);
}

TEST_F(CommandTest, PageReplacedEvalReceivesTheWrappedText) {
  Script(u"globalThis.eval = function(text) { globalThis.seen = text; return 'mine'; }");
  const WireList reply = Call(u"NuvChromeBrowser_ExecuteScript", {I(1), S(u"a()"), S(u""), S(u"t")},
                              u"NuvChromeBrowser_ExecuteScript_Result");
  EXPECT_EQ("mine", Record(reply)["value"].asString());
  EXPECT_EQ("try{a()}catch(err){NuvChromeBrowser.OnException(err.name, err.message, err.stack);}",
            Record(Function(u"seenText", u"[]"))["value"].asString());
}

TEST_F(CommandTest, FunctionsAreFoundByWholeNameAndCalledWithDecodedArguments) {
  const std::u16string two =
      u"[{\"valueType\":\"NuvValueInt\",\"value\":2},{\"valueType\":\"NuvValueInt\",\"value\":5}]";
  const WireList sum = Function(u"add", two);
  ASSERT_EQ(4u, sum.size());
  EXPECT_EQ(I(1), sum[0]);
  EXPECT_EQ(WireValue::Bool(true), sum[1]);
  EXPECT_EQ(S(u"ftag"), sum[2]);
  EXPECT_EQ(7, Record(sum)["value"].asInt());

  for (const char16_t* missing : {u"noSuchFunction", u"notAFunction", u"Math.max", u""}) {
    const WireList reply = Function(missing, u"[]");
    ASSERT_EQ(4u, reply.size());
    EXPECT_EQ(WireValue::Bool(false), reply[1]) << Utf8(missing);
    EXPECT_EQ(S(u"ftag"), reply[2]);
    EXPECT_EQ(S(u""), reply[3]);
  }

  // Unparsable or empty argument texts call the function without arguments.
  for (const char16_t* text : {u"[]", u"not json", u"", u"{\"a\":1}", u"[1,"}) {
    const WireList reply = Function(u"count", text);
    EXPECT_EQ(WireValue::Bool(true), reply[1]) << Utf8(text);
    EXPECT_EQ(0, Record(reply)["value"].asInt()) << Utf8(text);
  }
}

TEST_F(CommandTest, CommandNamesAreCaseSensitive) {
  const host::CommandResult declined =
      Send(u"nuvchromebrowser_executescript", {I(1), S(u"1+1"), S(u""), S(u"t")});
  EXPECT_EQ(host::CommandResult::Outcome::kDeclined, declined.outcome) << declined.ToString();
  EXPECT_EQ(host::CommandResult::Outcome::kDeclined, Send(u"NuvChromeBrowser_Unknown", {}).outcome);
  EXPECT_TRUE(process_->TakeMessages().empty());
  EXPECT_EQ(host::CommandResult::Outcome::kDone,
            Send(u"NuvChromeBrowser_ExecuteScript", {I(1), S(u"1"), S(u""), S(u"t")}).outcome);
}

TEST_F(CommandTest, EditingCommandsRunWithoutReply) {
  const std::u16string bold =
      u"[{\"valueType\":\"NuvValueString\",\"value\":\"bold\"},"
      u"{\"valueType\":\"NuvValueBool\",\"value\":false},"
      u"{\"valueType\":\"NuvValueString\",\"value\":\"\"}]";
  EXPECT_TRUE(
      Send(u"NuvChromeBrowser_DocumentExecCommand", {I(0), S(u""), S(u""), S(bold)}).done());
  const std::vector<host::DocumentCommand> commands = process_->TakeDocumentCommands();
  ASSERT_EQ(1u, commands.size());
  EXPECT_EQ(u"bold", commands[0].command);
  EXPECT_FALSE(commands[0].show_ui);

  // Unparsable arguments: execCommand is called without any; still silent.
  EXPECT_TRUE(
      Send(u"NuvChromeBrowser_DocumentExecCommand", {I(0), S(u""), S(u""), S(u"nope")}).done());
  // A page without document.execCommand: nothing happens, nothing is sent.
  Script(u"document.execCommand = undefined");
  process_->TakeMessages();
  EXPECT_TRUE(
      Send(u"NuvChromeBrowser_DocumentExecCommand", {I(0), S(u""), S(u""), S(bold)}).done());
  EXPECT_TRUE(process_->TakeMessages().empty());
}

TEST_F(CommandTest, UncaughtExceptionsReportTheLastRecordedScriptName) {
  host::ProcessMessage report;
  Function(u"thrower", u"[]");
  ASSERT_TRUE(
      process_->WaitForMessageNamed(u"NuvChromeBrowser_UncaughtException", kTimeoutMs, &report));
  ASSERT_EQ(5u, report.args.size());
  EXPECT_EQ(I(1), report.args[0]);
  EXPECT_EQ(S(u""), report.args[1]);
  EXPECT_NE(std::string::npos, Utf8(report.args[3].GetString()).find("boom"));
  EXPECT_EQ(WireValue::Type::kInt, report.args[4].type());

  Script(u"1", u"named.js");
  const WireList afterThrow = Function(u"thrower", u"[]");
  EXPECT_EQ(WireValue::Bool(true), afterThrow[1]);
  EXPECT_EQ("NuvValueNull", Record(afterThrow)["valueType"].asString());
  ASSERT_TRUE(
      process_->WaitForMessageNamed(u"NuvChromeBrowser_UncaughtException", kTimeoutMs, &report));
  EXPECT_EQ(S(u"named.js"), report.args[1]);

  // The name outlives its script; a command with an empty name clears it.
  Function(u"thrower", u"[]");
  ASSERT_TRUE(
      process_->WaitForMessageNamed(u"NuvChromeBrowser_UncaughtException", kTimeoutMs, &report));
  EXPECT_EQ(S(u"named.js"), report.args[1]);
  Script(u"1", u"");
  Function(u"thrower", u"[]");
  ASSERT_TRUE(
      process_->WaitForMessageNamed(u"NuvChromeBrowser_UncaughtException", kTimeoutMs, &report));
  EXPECT_EQ(S(u""), report.args[1]);
}

TEST_F(CommandTest, PageCallbacksAreCalledBackUntilAContextOfTheBrowserIsReleased) {
  const Json::Value first = Record(Function(u"makeCallback", u"[]"));
  ASSERT_EQ("NuvValueV8Function", first["valueType"].asString());
  const int id = first["value"].asInt();
  EXPECT_GT(id, 0);
  EXPECT_EQ("", first["keys"].asString());

  auto callBack = [&](int objectId, int value) {
    const std::u16string text =
        Utf16("{\"objectId\":" + std::to_string(objectId) +
              ",\"arguments\":[{\"valueType\":\"NuvValueInt\",\"value\":" + std::to_string(value) +
              "}]}");
    return Send(u"NuvChromeBrowser_CallDefaultFunction", {I(1), S(u""), S(text)});
  };
  EXPECT_TRUE(callBack(id, 41).done());
  EXPECT_TRUE(process_->TakeMessages().empty());  // no reply to a call-back
  EXPECT_EQ(41, Record(Script(u"globalThis.calledWith"))["value"].asInt());

  // Unknown identifiers, other browsers and unparsable texts run nothing.
  EXPECT_TRUE(callBack(id + 1000, 1).done());
  EXPECT_TRUE(
      Send(u"NuvChromeBrowser_CallDefaultFunction", {I(2), S(u""), S(u"{\"objectId\":1}")}).done());
  EXPECT_TRUE(Send(u"NuvChromeBrowser_CallDefaultFunction", {I(1), S(u""), S(u"{oops")}).done());
  EXPECT_EQ(41, Record(Script(u"globalThis.calledWith"))["value"].asInt());

  // Releasing a sub-frame's context drops every callback of the browser,
  // even though the function's own frame lives on.
  ASSERT_TRUE(Ack(process_->CreateContext(1, 2, false, u"child", u"")).done());
  ASSERT_TRUE(Ack(process_->ReleaseContext(1, 2)).done());
  EXPECT_TRUE(callBack(id, 99).done());
  EXPECT_EQ(41, Record(Script(u"globalThis.calledWith"))["value"].asInt());
}

TEST_F(CommandTest, ContextMessagesForEveryFrameCarryNoArguments) {
  process_->TakeMessages();
  ASSERT_TRUE(Ack(process_->CreateContext(1, 2, false, u"child", u"var inChild = 1;")).done());
  ASSERT_TRUE(Ack(process_->ReleaseContext(1, 2)).done());
  const std::vector<host::ProcessMessage> messages = process_->TakeMessages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(u"NuvChromeBrowser_ContextCreated", messages[0].name);
  EXPECT_TRUE(messages[0].args.empty());
  EXPECT_EQ(u"NuvChromeBrowser_ContextReleased", messages[1].name);
  EXPECT_TRUE(messages[1].args.empty());
  // The main frame's context lives on.
  EXPECT_EQ(2, Record(Script(u"1+1"))["value"].asInt());
}

TEST_F(CommandTest, MalformedMessagesNeverHurtTheProcess) {
  // Missing arguments and arguments of other types read as 0, false, "".
  const std::vector<WireList> shapes = {
      {},
      {S(u"1"), I(5), WireValue::Double(1.5), WireValue::Null()},
      {WireValue::Bool(true), WireValue::List({S(u"x")}), S(u"n"), I(3), S(u"extra")},
      {I(-7), S(std::u16string(1, char16_t{0xD800}) + u" lone surrogate"), S(u"\u00e9t\u00e9"),
       S(u"")},
  };
  for (const char16_t* name :
       {u"NuvChromeBrowser_ExecuteScript", u"NuvChromeBrowser_ExecuteFunction",
        u"NuvChromeBrowser_DocumentExecCommand", u"NuvChromeBrowser_CallDefaultFunction"}) {
    for (const WireList& args : shapes)
      EXPECT_TRUE(Send(name, args).done()) << Utf8(name) << " " << cefipc::ToDebugString(args);
  }
  process_->TakeMessages();
  // The empty script of a shapeless ExecuteScript still runs and answers.
  const WireList reply =
      Call(u"NuvChromeBrowser_ExecuteScript", {}, u"NuvChromeBrowser_ExecuteScript_Result");
  ASSERT_EQ(4u, reply.size());
  EXPECT_EQ(WireValue::Bool(true), reply[1]);
  EXPECT_EQ(S(u""), reply[2]);
  EXPECT_EQ(2, Record(Script(u"1+1"))["value"].asInt());
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
