// nuv_client as a program: its command line, its refusal of bad scenario
// files with a reason, expectations and --strict, the check command and
// --keep, played against the real nuv_subprocess. What the examples show
// is checked by their own expect steps (the client_examples_check test).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

constexpr int kExitUsage = 64;
constexpr int kExitBadScenario = 65;
constexpr int kExitStartFailed = 69;

struct ClientRun {
  int code = -1;
  std::string output;
  std::vector<Json::Value> events;  // the lines that are JSON objects
};

ClientRun RunClient(const std::vector<std::string>& args) {
  ClientRun run;
  run.code = RunProgram(ClientPath(), args, &run.output, 60000);
  std::istringstream lines(run.output);
  std::string line;
  while (std::getline(lines, line)) {
    Json::Value event;
    if (Json::Reader().parse(line, event) && event.isObject())
      run.events.push_back(event);
  }
  return run;
}

ClientRun RunScenarioText(const std::string& text, const std::vector<std::string>& options = {}) {
  ScratchDir dir;
  WriteFile(dir.File("s.json"), text);
  std::vector<std::string> args = {"run", dir.File("s.json")};
  args.insert(args.end(), options.begin(), options.end());
  return RunClient(args);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<Json::Value> Events(const ClientRun& run, const std::string& kind) {
  std::vector<Json::Value> out;
  for (const Json::Value& event : run.events) {
    if (event["event"].asString() == kind)
      out.push_back(event);
  }
  return out;
}

int ExitCode(const ClientRun& run) {
  const std::vector<Json::Value> exits = Events(run, "exit");
  return exits.size() == 1 && exits[0]["code"].isInt() ? exits[0]["code"].asInt() : -1;
}

TEST(ClientCommandLineTest, HelpUsageAndStartFailures) {
  ClientRun help = RunClient({"--help"});
  EXPECT_EQ(0, help.code);
  EXPECT_NE(std::string::npos, help.output.find("nuv_client run SCENARIO.json"));

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate"},
                                             {"run"},
                                             {"run", "a", "b"},
                                             {"run", "a.json", "--bogus"},
                                             {"run", "a.json", "--subprocess"}}) {
    const ClientRun run = RunClient(args);
    EXPECT_EQ(kExitUsage, run.code) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Usage")) << run.output;
  }

  const std::string example = ExamplesDir() + "/one-plus-one.json";
  EXPECT_EQ(kExitStartFailed, RunClient({"run", example, "--subprocess", "/nonexistent/x"}).code);
  EXPECT_EQ(kExitStartFailed, RunClient({"run", example, "--subprocess", example}).code);
}

TEST(ClientCommandLineTest, BadScenarioFilesAreRefusedWithAReason) {
  struct Case {
    std::string text;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"", "not valid JSON"},
      {"{\"steps\": [", "not valid JSON"},
      {"[]", "must be a JSON object"},
      {"{}", "\"steps\""},
      {"{\"steps\": {}}", "\"steps\""},
      {"{\"steps\": [], \"extra\": 1}", "unknown member \"extra\""},
      {"{\"steps\": [5]}", "step 1"},
      {"{\"steps\": [{}]}", "\"do\" is missing"},
      {"{\"steps\": [{\"do\": \"fly\"}]}", "unknown action \"fly\""},
      {"{\"steps\": [{\"do\": \"createBrowser\", \"browser\": \"1\"}]}", "\"browser\""},
      {"{\"steps\": [{\"do\": \"createBrowser\", \"browser\": 4294967296}]}", "\"browser\""},
      {"{\"steps\": [{\"do\": \"send\", \"name\": \"x\", \"args\": [{\"a\": 1}]}]}", "\"args\""},
      {"{\"steps\": [{\"do\": \"send\", \"args\": []}]}", "\"name\" is missing"},
      {"{\"steps\": [{\"do\": \"wait\", \"for\": \"x\", \"ms\": 5}]}", "exactly one"},
      {"{\"steps\": [{\"do\": \"wait\", \"ms\": -5}]}", "\"ms\""},
      {"{\"steps\": [{\"do\": \"executeScript\"}]}", "\"script\" is missing"},
      {"{\"start\": {\"debug\": \"yes\"}, \"steps\": []}", "\"debug\""},
      {"{\"start\": {\"handle\": \"${nothing}\"}, \"steps\": []}", "${nothing}"},
      {"{\"host\": {\"objects\": {\"x\": {}}}, \"steps\": []}",
       "s.json: host: \"x\" is not a host object identifier"},
      {"{\"host\": {\"objects\": {\"7\": {\"properties\": {\"p\": {\"value\": 1, \"dealyMs\": "
       "3}}}}}, "
       "\"steps\": []}",
       "s.json: host: property p of object 7: unknown member \"dealyMs\" of a property (allowed: "
       "\"value\", \"delayMs\""},
      {"{\"host\": [], \"steps\": []}", "\"host\""},
      {"{\"steps\": [{\"do\": \"fly\"}]}", "the actions are callBack, collectGarbage"},
      {"{\"steps\": [{\"do\": \"end\", \"browser\": 1}]}", "unknown member \"browser\""},
      {"{\"steps\": [{\"do\": \"gc\", \"tag\": 1}]}", "it takes timeoutMs"},
      {"{\"steps\": [{\"do\": \"executeScript\", \"script\": \"1\", \"tga\": \"t\"}]}",
       "it takes browser, key, script, scriptName, tag, timeoutMs"},
      {"{\"start\": {\"typ\": \"renderer\"}, \"steps\": []}", "it takes debug, extraArgs"},
      {"{\"step\": []}", "a scenario has description, host, start, steps"},
      {"{\"steps\": [{\"do\": \"expect\", \"mesage\": {}}]}", "step 1: unknown member \"mesage\""},
      {"{\"steps\": [{\"do\": \"expect\", \"log\": \"(\"}]}", "invalid regular expression"},
  };
  for (const Case& c : cases) {
    const ClientRun run = RunScenarioText(c.text);
    EXPECT_EQ(kExitBadScenario, run.code) << c.text << "\n" << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.reason)) << c.text << "\n" << run.output;
    EXPECT_TRUE(run.events.empty()) << c.text;
  }
  const ClientRun missing = RunClient({"run", "/nonexistent/scenario.json"});
  EXPECT_EQ(kExitBadScenario, missing.code);
  EXPECT_TRUE(Contains(missing.output, "/nonexistent/scenario.json: No such file or directory"))
      << missing.output;
  const ClientRun folder = RunClient({"run", ExamplesDir()});
  EXPECT_EQ(kExitBadScenario, folder.code);
  EXPECT_TRUE(Contains(folder.output, ": Is a directory")) << folder.output;
}

TEST(ClientScenarioTest, UnmetWaitsAndPlaceholdersBecomeEvents) {
  const ClientRun run = RunScenarioText(R"({"steps": [
      {"do": "createBrowser"}, {"do": "createContext"},
      {"do": "callBack"},
      {"do": "wait", "for": "NuvChromeBrowser_Never", "timeoutMs": 200},
      {"do": "wait", "count": 1, "timeoutMs": 5000},
      {"do": "end"},
      {"do": "createBrowser", "browser": 2}]})");
  ASSERT_EQ(0, run.code) << run.output;
  const std::vector<Json::Value> errors = Events(run, "error");
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(3, errors[0]["step"].asInt());
  EXPECT_NE(std::string::npos, errors[0]["message"].asString().find("${callback}"));
  EXPECT_EQ(7, errors[1]["step"].asInt());
  const std::vector<Json::Value> timeouts = Events(run, "timeout");
  ASSERT_EQ(1u, timeouts.size());
  EXPECT_EQ(4, timeouts[0]["step"].asInt());
  EXPECT_EQ(0, ExitCode(run));
}

// A scenario whose expectations partly fail: the run goes on, the transcript
// shows each failure beside the nearest candidates, and only --strict makes
// the exit code say so.
const char kPartlyFailing[] = R"({"steps": [
    {"do": "createBrowser"}, {"do": "createContext"},
    {"do": "executeScript", "script": "6*7", "tag": "a"},
    {"do": "expect", "message": {"name": "NuvChromeBrowser_ExecuteScript_Result",
                                 "args": [1, true, "a", {"browserId": 1, "value": 41, "valueType": "NuvValueInt"}]}},
    {"do": "expect", "request": {"kindName": "BRIDGE_GET_PROPERTY"}, "absent": true},
    {"do": "expect", "documentCommand": {}, "within": 100},
    {"do": "end"},
    {"do": "expect", "exit": {"code": 0}}]})";

TEST(ClientExpectationTest, FailuresAreEventsAndStrictTurnsThemIntoTheExitCode) {
  const ClientRun lenient = RunScenarioText(kPartlyFailing);
  ASSERT_EQ(0, lenient.code) << lenient.output;
  const std::vector<Json::Value> failures = Events(lenient, "expectFailed");
  ASSERT_EQ(2u, failures.size()) << lenient.output;
  EXPECT_EQ(4, failures[0]["step"].asInt());
  EXPECT_EQ(0, failures[0]["found"].asInt());
  ASSERT_FALSE(failures[0]["candidates"].empty());
  EXPECT_EQ("NuvChromeBrowser_ExecuteScript_Result",
            failures[0]["candidates"][0]["name"].asString());
  EXPECT_EQ(6, failures[1]["step"].asInt());
  EXPECT_EQ("documentCommand", failures[1]["expected"]["kind"].asString());
  EXPECT_EQ(0, ExitCode(lenient));

  const ClientRun strict = RunScenarioText(kPartlyFailing, {"--strict"});
  EXPECT_EQ(1, strict.code);
  EXPECT_TRUE(Contains(strict.output, "failed: 2 expectations failed")) << strict.output;
  const ClientRun pretty = RunScenarioText(kPartlyFailing, {"--strict", "--pretty"});
  EXPECT_EQ(1, pretty.code);
  EXPECT_TRUE(Contains(pretty.output, "!! step 4: expected 1 message")) << pretty.output;
  EXPECT_TRUE(Contains(pretty.output, "nearest: {\"args\":[1,true,\"a\",")) << pretty.output;
}

TEST(ClientExpectationTest, StrictFailsOnStepProblemsNoExpectationClaimed) {
  const std::string unclaimed = R"({"steps": [
      {"do": "createBrowser"}, {"do": "callBack"},
      {"do": "wait", "for": "NuvChromeBrowser_Never", "timeoutMs": 100}]})";
  const ClientRun run = RunScenarioText(unclaimed, {"--strict"});
  EXPECT_EQ(1, run.code);
  EXPECT_TRUE(Contains(run.output, "step 2: ${callback}")) << run.output;
  EXPECT_TRUE(Contains(run.output, "step 3: timed out waiting for NuvChromeBrowser_Never"))
      << run.output;

  const std::string claimed = R"({"steps": [
      {"do": "createBrowser"}, {"do": "callBack"},
      {"do": "wait", "for": "NuvChromeBrowser_Never", "timeoutMs": 100},
      {"do": "expect", "error": {"step": 2, "message": {"regex": "no page callback"}}},
      {"do": "expect", "timeout": {"step": 3}},
      {"do": "send", "name": "NoSuchMessage"},
      {"do": "expect", "ack": {"step": 6, "outcome": "declined"}},
      {"do": "end"},
      {"do": "createBrowser", "browser": 2},
      {"do": "expect", "error": {"step": 9}},
      {"do": "expect", "hostNote": {}, "absent": true}]})";
  const ClientRun expected = RunScenarioText(claimed, {"--strict"});
  EXPECT_EQ(0, expected.code) << expected.output;
}

TEST(ClientCheckTest, OneLinePerScenarioAndAClosingCount) {
  ScratchDir dir;
  WriteFile(dir.File("a-pass.json"),
            R"({"steps": [{"do": "end"}, {"do": "expect", "exit": {"code": 0}}]})");
  WriteFile(dir.File("b-fail.json"),
            R"({"steps": [{"do": "end"}, {"do": "expect", "exit": {"code": 3}}]})");
  WriteFile(dir.File("c-bad.json"), R"({"steps": [{"do": "jump"}]})");
  WriteFile(dir.File("notes.txt"), "not a scenario");
  const ClientRun run = RunClient({"check", dir.path()});
  EXPECT_EQ(1, run.code) << run.output;
  std::vector<std::string> lines;
  std::istringstream stream(run.output);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("1 passed, 2 failed", lines.back());
  EXPECT_EQ(0u, lines[0].rfind("PASS a-pass.json (", 0)) << run.output;
  bool failed_line = false;
  bool bad_line = false;
  for (const std::string& line : lines) {
    failed_line = failed_line || (line.rfind("FAIL b-fail.json (", 0) == 0 &&
                                  Contains(line, "): 1 expectation failed"));
    bad_line = bad_line || (line.rfind("FAIL c-bad.json (", 0) == 0 &&
                            Contains(line, "unknown action \"jump\""));
  }
  EXPECT_TRUE(failed_line) << run.output;
  EXPECT_TRUE(bad_line) << run.output;
  EXPECT_TRUE(Contains(run.output, "b-fail.json: !! step 2: expected 1 exit {\"code\":3}"));
  EXPECT_FALSE(Contains(run.output, "notes.txt"));

  ScratchDir empty;
  const ClientRun none = RunClient({"check", empty.path()});
  EXPECT_EQ(66, none.code);
  EXPECT_TRUE(Contains(none.output, "no scenario (*.json) in")) << none.output;
  const ClientRun absent = RunClient({"check", empty.File("missing")});
  EXPECT_EQ(66, absent.code);
  EXPECT_TRUE(Contains(absent.output, "No such file or directory")) << absent.output;
  EXPECT_EQ(kExitUsage, RunClient({"check", dir.path(), "--pretty"}).code);
}

TEST(ClientCheckTest, KeepHoldsTheRawLogStderrAndTranscript) {
  ScratchDir dir;
  const std::string keep = dir.File("kept/run");
  const ClientRun run = RunScenarioText(R"({"steps": [{"do": "createBrowser"}, {"do": "end"}]})",
                                        {"--keep", keep, "--pretty"});
  ASSERT_EQ(0, run.code) << run.output;
  const std::string log = ReadFile(keep + "/nuv.log");
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ("\xFF\xFE", log.substr(0, 2));  // raw: UTF-16LE as written
  EXPECT_TRUE(FileExists(keep + "/stderr.txt"));
  std::istringstream transcript(ReadFile(keep + "/transcript.jsonl"));
  size_t events = 0;
  for (std::string line; std::getline(transcript, line); ++events) {
    Json::Value event;
    ASSERT_TRUE(Json::Reader().parse(line, event)) << line;
    EXPECT_TRUE(event.isMember("event")) << line;
  }
  EXPECT_GE(events, 5u);

  // check keeps one folder per scenario.
  ScratchDir scenarios;
  WriteFile(scenarios.File("one.json"), R"({"steps": [{"do": "end"}]})");
  const ClientRun checked = RunClient({"check", scenarios.path(), "--keep", dir.File("k")});
  EXPECT_EQ(0, checked.code) << checked.output;
  EXPECT_TRUE(FileExists(dir.File("k/one/transcript.jsonl")));
  EXPECT_TRUE(FileExists(dir.File("k/one/nuv.log")));
}

// Starts nuv_client with a temporary folder and a message-window folder of
// its own and its output in `out` (or stdout to `stdout_fd`, stderr to
// `out`); returns its pid, or -1.
pid_t StartClient(const std::vector<std::string>& args,
                  const std::string& temp_dir,
                  const std::string& runtime_dir,
                  const std::string& out,
                  int stdout_fd = -1) {
  std::vector<std::string> env = {"TMPDIR=" + temp_dir, "XDG_RUNTIME_DIR=" + runtime_dir};
  for (char** entry = environ; *entry; ++entry) {
    if (strncmp(*entry, "TMPDIR=", 7) != 0 && strncmp(*entry, "XDG_RUNTIME_DIR=", 16) != 0)
      env.push_back(*entry);
  }
  std::vector<char*> envp;
  for (std::string& entry : env)
    envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  std::vector<std::string> argv_text = {ClientPath()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdout_fd >= 0) {  // stdout to that descriptor, stderr to `out`
    posix_spawn_file_actions_addopen(&actions, 2, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, stdout_fd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// The start event once the client has reached step `step`; null on timeout.
Json::Value AwaitStep(const std::string& out, int step) {
  const std::string marker = "\"event\":\"step\",\"index\":" + std::to_string(step);
  for (int i = 0; i < 500; ++i) {
    const std::string text = ReadFile(out);
    if (Contains(text, marker)) {
      Json::Value start;
      Json::Reader().parse(text.substr(0, text.find('\n')), start);
      return start;
    }
    usleep(20000);
  }
  return Json::Value();
}

// The exit status of `pid`, waiting up to `timeout_ms`; -1 when still running.
int AwaitExit(pid_t pid, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 10) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return status;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

bool ProcessGone(pid_t pid) {
  for (int i = 0; i < 200; ++i) {
    if (kill(pid, 0) != 0 && errno == ESRCH)
      return true;
    usleep(10000);
  }
  return false;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.')
        names.push_back(entry->d_name);
    }
    closedir(dir);
  }
  return names;
}

TEST(ClientInterruptTest, SigtermAndSigintLeaveNothingBehind) {
  // The run waits on its own, or inside a host request the host window
  // delays (its thread is busy, and the relay forwarding the request too).
  const std::string waits[] = {R"({"do": "wait", "ms": 60000})",
                               R"({"do": "executeScript", "script": "host.slow",
                                   "timeoutMs": 60000})"};
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    const std::string& wait = waits[signal_number == SIGINT ? 0 : 1];
    ScratchDir dir;
    mkdir(dir.File("tmp").c_str(), 0700);
    mkdir(dir.File("run").c_str(), 0700);
    // A host object that may end the host window's process makes the run
    // start the host window's relay process: it must end too.
    WriteFile(dir.File("s.json"), R"({
        "host": {"objects": {"7": {"properties": {"x": {"value": 1, "exitOnRequest": true},
                                                  "slow": {"value": 1, "delayMs": 60000}}}},
                 "named": {"*": [{"name": "host", "object": 7}]}},
        "steps": [{"do": "createBrowser"}, {"do": "createContext"}, )" +
                                      wait + "]}");
    const pid_t client = StartClient({"run", dir.File("s.json"), "--keep", dir.File("keep")},
                                     dir.File("tmp"), dir.File("run"), dir.File("out.txt"));
    ASSERT_GT(client, 0);
    const Json::Value start = AwaitStep(dir.File("out.txt"), 3);
    ASSERT_TRUE(start.isMember("pid")) << ReadFile(dir.File("out.txt"));
    usleep(200000);  // (into the request, for the delayed one)
    const std::string socket =
        dir.File("run/nuv-msgwin/") + std::to_string(start["hostWindow"].asUInt());
    ASSERT_TRUE(FileExists(socket)) << socket;
    ASSERT_EQ(1u, FolderEntries(dir.File("tmp")).size());  // the client's scratch folder
    // The sub-process does not inherit the client's blocked signals.
    const std::string proc_status = ReadFile("/proc/" + start["pid"].asString() + "/status");
    EXPECT_TRUE(Contains(proc_status, "SigBlk:\t0000000000000000")) << proc_status;

    kill(client, signal_number);
    const int status = AwaitExit(client, 10000);
    ASSERT_NE(-1, status) << "nuv_client did not end after signal " << signal_number;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(ProcessGone(start["pid"].asInt())) << "the sub-process lives on";
    ASSERT_TRUE(start.isMember("hostWindowProcess"));
    EXPECT_TRUE(ProcessGone(start["hostWindowProcess"].asInt())) << "the relay lives on";
    EXPECT_FALSE(FileExists(socket)) << "the host window lives on";
    EXPECT_TRUE(FolderEntries(dir.File("tmp")).empty()) << "the scratch folder is left";
    // The run itself unwound; the watcher's last resort was not needed.
    EXPECT_FALSE(Contains(ReadFile(dir.File("out.txt")), "did not end in time")) << wait;
    // --keep keeps what the interrupted run had written.
    EXPECT_TRUE(FileExists(dir.File("keep/nuv.log")));
    EXPECT_TRUE(FileExists(dir.File("keep/stderr.txt")));
    EXPECT_TRUE(Contains(ReadFile(dir.File("keep/transcript.jsonl")), "\"event\":\"start\""));
  }
}

// A reader that goes away (`nuv_client run ... | head`) ends the run as a
// signal does: by SIGPIPE, with nothing left behind.
TEST(ClientInterruptTest, ClosedOutputEndsTheRunCleanly) {
  ScratchDir dir;
  mkdir(dir.File("tmp").c_str(), 0700);
  mkdir(dir.File("run").c_str(), 0700);
  std::string steps = R"({"do": "createBrowser"}, {"do": "createContext"})";
  for (int i = 0; i < 2000; ++i)
    steps += R"(, {"do": "executeScript", "script": "1"})";
  WriteFile(dir.File("s.json"), "{\"steps\": [" + steps + "]}");
  int pipe_fds[2];
  ASSERT_EQ(0, pipe2(pipe_fds, O_CLOEXEC));  // (the client must not hold the read end)
  const pid_t client = StartClient({"run", dir.File("s.json")}, dir.File("tmp"), dir.File("run"),
                                   dir.File("err.txt"), pipe_fds[1]);
  close(pipe_fds[1]);
  ASSERT_GT(client, 0);
  std::string first;
  char c = 0;
  while (read(pipe_fds[0], &c, 1) == 1 && c != '\n')
    first += c;
  close(pipe_fds[0]);
  Json::Value start;
  ASSERT_TRUE(Json::Reader().parse(first, start) && start.isMember("pid")) << first;
  const int status = AwaitExit(client, 10000);
  ASSERT_NE(-1, status) << "nuv_client did not end without its reader";
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
  EXPECT_TRUE(ProcessGone(start["pid"].asInt())) << "the sub-process lives on";
  EXPECT_TRUE(FolderEntries(dir.File("tmp")).empty()) << "the scratch folder is left";
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
