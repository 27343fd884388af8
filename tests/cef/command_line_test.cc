// CefCommandLine parsing as Chromium does it on this platform.
#include <gtest/gtest.h>

#include "cef/runtime/render_runtime.h"
#include "include/cef_command_line.h"

namespace {

CefRefPtr<CefCommandLine> FromArgv(std::vector<const char*> argv) {
  CefRefPtr<CefCommandLine> cl = CefCommandLine::CreateCommandLine();
  cl->InitFromArgv(static_cast<int>(argv.size()), argv.data());
  return cl;
}

TEST(CommandLine, SwitchesValuesAndArguments) {
  auto cl = FromArgv({"/opt/app/sub", "--type=renderer", "--flag", "file.txt", "-single=1",
                      "--empty=", "--eq=a=b", "  --trimmed=x  "});
  EXPECT_EQ("/opt/app/sub", cl->GetProgram().ToString());
  EXPECT_TRUE(cl->HasSwitches());
  EXPECT_EQ("renderer", cl->GetSwitchValue("type").ToString());
  EXPECT_TRUE(cl->HasSwitch("flag"));
  EXPECT_EQ("", cl->GetSwitchValue("flag").ToString());
  EXPECT_EQ("1", cl->GetSwitchValue("single").ToString());
  EXPECT_TRUE(cl->HasSwitch("empty"));
  EXPECT_EQ("a=b", cl->GetSwitchValue("eq").ToString());
  EXPECT_EQ("x", cl->GetSwitchValue("trimmed").ToString());
  EXPECT_FALSE(cl->HasSwitch("missing"));
  EXPECT_TRUE(cl->GetSwitchValue("missing").empty());

  CefCommandLine::ArgumentList args;
  cl->GetArguments(args);
  ASSERT_EQ(1u, args.size());
  EXPECT_EQ("file.txt", args[0].ToString());

  CefCommandLine::SwitchMap switches;
  cl->GetSwitches(switches);
  EXPECT_EQ(6u, switches.size());
}

TEST(CommandLine, TerminatorRepeatsAndCase) {
  auto cl = FromArgv({"prog", "--a=1", "--a=2", "--", "--not-a-switch", "-", "--"});
  EXPECT_EQ("2", cl->GetSwitchValue("a").ToString()) << "the last value wins";
  EXPECT_FALSE(cl->HasSwitch("not-a-switch"));
  CefCommandLine::ArgumentList args;
  cl->GetArguments(args);
  ASSERT_EQ(4u, args.size());
  EXPECT_EQ("--", args[0].ToString());
  EXPECT_EQ("--not-a-switch", args[1].ToString());
  EXPECT_EQ("-", args[2].ToString());

  auto mixed = FromArgv({"prog", "--Nuv-Log-File=x", "/Debug"});
#if defined(_WIN32)
  EXPECT_TRUE(mixed->HasSwitch("nuv-log-file"));
  EXPECT_TRUE(mixed->HasSwitch("debug"));
#else
  // Chromium keeps switch names as given on POSIX and knows no "/" prefix.
  EXPECT_FALSE(mixed->HasSwitch("nuv-log-file"));
  EXPECT_TRUE(mixed->HasSwitch("Nuv-Log-File"));
  EXPECT_FALSE(mixed->HasSwitch("Debug"));
  EXPECT_TRUE(mixed->HasArguments());
#endif
}

TEST(CommandLine, InitFromStringUsesWindowsQuoting) {
  CefRefPtr<CefCommandLine> cl = CefCommandLine::CreateCommandLine();
  cl->InitFromString(
      "\"C:\\Program Files\\App\\sub.exe\" --type=renderer "
      "\"--nuv-log-file=C:\\Users\\me\\log dir\\a.log\" --q=\"say \\\"hi\\\"\" "
      "--browser-message-window-handle=1234 tail\\\\ \"\"");
  EXPECT_EQ("C:\\Program Files\\App\\sub.exe", cl->GetProgram().ToString());
  EXPECT_EQ("renderer", cl->GetSwitchValue("type").ToString());
  EXPECT_EQ("C:\\Users\\me\\log dir\\a.log", cl->GetSwitchValue("nuv-log-file").ToString());
  EXPECT_EQ("say \"hi\"", cl->GetSwitchValue("q").ToString());
  EXPECT_EQ("1234", cl->GetSwitchValue("browser-message-window-handle").ToString());
  CefCommandLine::ArgumentList args;
  cl->GetArguments(args);
  ASSERT_EQ(2u, args.size());
  EXPECT_EQ("tail\\\\", args[0].ToString());
  EXPECT_EQ("", args[1].ToString());

  // Empty and blank texts give an empty command line, not a crash.
  cl->InitFromString("");
  EXPECT_FALSE(cl->HasSwitches());
  cl->InitFromString("   \t ");
  EXPECT_TRUE(cl->GetProgram().empty());
  cl->InitFromString("\"unterminated --x=1");
  EXPECT_EQ("unterminated --x=1", cl->GetProgram().ToString());
}

// The text GetCommandLineString writes reads back, through InitFromString,
// as the same program, switches and arguments, whatever white space they
// hold (InitFromString splits at every kind of it, as base::CommandLine).
TEST(CommandLine, CommandLineStringReadsBackWithAnyWhiteSpaceInside) {
  auto cl = FromArgv({"C:\\my app\\sub.exe", "--v=line1\nline2", "--t=a\tb", "x\vy", "p\fq", "r\rs",
                      "say \"hi\"", "C:\\dir\\", "plain"});
  const CefString text = cl->GetCommandLineString();
  EXPECT_EQ(
      "\"C:\\my app\\sub.exe\" --v=\"line1\nline2\" --t=\"a\tb\" \"x\vy\" \"p\fq\" "
      "\"r\rs\" \"say \\\"hi\\\"\" C:\\dir\\ plain",
      text.ToString());
  CefRefPtr<CefCommandLine> back = CefCommandLine::CreateCommandLine();
  back->InitFromString(text);
  std::vector<CefString> before, after;
  cl->GetArgv(before);
  back->GetArgv(after);
  EXPECT_EQ(before, after);
}

TEST(CommandLine, AppendCopyResetAndGlobal) {
  auto cl = FromArgv({"prog", "arg1"});
  cl->AppendSwitch("flag");
  cl->AppendSwitchWithValue("key", "va lue");
  cl->AppendArgument("arg2");
  std::vector<CefString> argv;
  cl->GetArgv(argv);
  ASSERT_EQ(5u, argv.size());
  EXPECT_EQ("--flag", argv[1].ToString()) << "switches stay before the arguments";
  EXPECT_EQ("--key=va lue", argv[2].ToString());
  EXPECT_EQ("prog --flag --key=\"va lue\" arg1 arg2", cl->GetCommandLineString().ToString());

  CefRefPtr<CefCommandLine> copy = cl->Copy();
  cl->Reset();
  EXPECT_FALSE(cl->HasSwitches());
  EXPECT_FALSE(cl->HasArguments());
  EXPECT_EQ("prog", cl->GetProgram().ToString());
  EXPECT_EQ("va lue", copy->GetSwitchValue("key").ToString());

  cefrt::SetGlobalCommandLine(copy);
  CefRefPtr<CefCommandLine> global = CefCommandLine::GetGlobalCommandLine();
  EXPECT_TRUE(global->IsReadOnly());
  EXPECT_TRUE(global->HasSwitch("flag"));
  global->AppendSwitch("ignored");
  EXPECT_FALSE(global->HasSwitch("ignored"));
}

}  // namespace
