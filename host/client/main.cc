// nuv_client: the reference client of the render sub-process. It plays
// scenarios against nuv_subprocess, prints a transcript of everything that
// crossed between them, and checks the scenarios' own expectations.
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>
#include <string>

#include "host/client/commands.h"
#include "host/client/host_window_relay.h"
#include "host/client/interruption.h"

namespace {

using nuv::host::kExitOk;
using nuv::host::kExitUsage;

const char kUsage[] =
    "Usage:\n"
    "  nuv_client run SCENARIO.json [--pretty] [--strict] [--keep DIR] [--trace FILE]\n"
    "                 [--html FILE] [--subprocess PATH]\n"
    "  nuv_client check FOLDER [--keep DIR] [--subprocess PATH]\n"
    "  nuv_client --help\n"
    "\n"
    "run: starts nuv_subprocess as the client's main process starts a render\n"
    "process (--type=renderer, --browser-message-window-handle=<host window>,\n"
    "--nuv-log-file=<temporary file>, and what the scenario adds), serves the\n"
    "scenario's host objects from a host window, plays the scenario's steps and\n"
    "prints a transcript: one JSON object per line and per event, in order\n"
    "(process messages both ways, bridge requests and replies with their raw\n"
    "bytes, releases of host objects, the exit code, the decoded log file, and\n"
    "an \"expectFailed\" event for every expectation that was not met).\n"
    "\n"
    "check: plays every *.json scenario of FOLDER strictly, prints one line per\n"
    "scenario (PASS or FAIL and why) and a closing \"N passed, M failed\" line.\n"
    "\n"
    "Options:\n"
    "  --pretty           print the transcript for a person instead of as JSON lines\n"
    "  --strict           exit 1 when an expectation failed, or a step ended in an\n"
    "                     error, a timeout or a refusal that no expect step claimed\n"
    "  --keep DIR         keep the raw log file (nuv.log), the sub-process's stderr\n"
    "                     (stderr.txt) and the transcript (transcript.jsonl) in DIR\n"
    "                     (check: in DIR/<scenario name>/)\n"
    "  --trace FILE       run: also write the run to FILE in the Trace Event Format\n"
    "                     (load it in Perfetto or chrome://tracing): tracks for the\n"
    "                     client, the render process and the host window\n"
    "  --html FILE        run: also write FILE, one self-contained HTML page with a\n"
    "                     sequence diagram of the run (lifelines for the client, the\n"
    "                     render process and the host window, an arrow per message,\n"
    "                     bridge request and reply, a time axis; hover over or click\n"
    "                     an arrow for its decoded payload)\n"
    "  --subprocess PATH  the sub-process executable (default: nuv_subprocess\n"
    "                     beside nuv_client)\n"
    "\n"
    "Exit codes: 0 the scenario ran (run without --strict: failed steps and\n"
    "expectations are events of the transcript) or every scenario passed;\n"
    "1 an expectation or a step failed (--strict, check); 64 bad command line;\n"
    "65 bad scenario file; 66 check: the folder cannot be read or holds no\n"
    "scenario; 69 the host window or the sub-process could not be started.\n"
    "SIGINT, SIGTERM and SIGHUP end the sub-process and the host window and\n"
    "remove the temporary folder before nuv_client ends; so does a closed output\n"
    "(run ... | head), and nuv_client then ends by SIGPIPE.\n"
    "\n"
    "The scenario format is described in docs/scenarios.md; examples/ has samples.\n";

std::string DefaultSubprocessPath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0)
    return "nuv_subprocess";
  const std::string self(buffer, static_cast<size_t>(n));
  return self.substr(0, self.rfind('/') + 1) + "nuv_subprocess";
}

int UsageError(const std::string& message) {
  std::cerr << "nuv_client: " << message << "\n\n" << kUsage;
  return kExitUsage;
}

bool IsHelp(const char* arg) {
  return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 ||
         std::strcmp(arg, "help") == 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Started by a run itself as the host window's own process (exitOnRequest).
  // Ctrl-C and a closed terminal reach the whole process group: the relay
  // leaves ending to the run, which closes the relay's control socket when
  // it ends.
  if (argc == 4 && std::strcmp(argv[1], nuv::host::kHostWindowRelaySwitch) == 0) {
    signal(SIGINT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    return nuv::host::RunHostWindowRelay(argv[2], argv[3]);
  }
  nuv::host::interruption::Install();
  if (argc >= 2 && IsHelp(argv[1])) {
    std::cout << kUsage;
    return kExitOk;
  }
  if (argc < 2)
    return UsageError("no command given (the commands are run and check)");
  const std::string command = argv[1];
  if (command != "run" && command != "check")
    return UsageError("unknown command \"" + command + "\" (the commands are run and check)");

  std::string target;
  nuv::host::CommandOptions options;
  options.subprocess_path = DefaultSubprocessPath();
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pretty" && command == "run") {
      options.pretty = true;
    } else if (arg == "--strict") {
      options.strict = true;  // (check is always strict)
    } else if ((arg == "--trace" || arg == "--html") && command == "check") {
      return UsageError(arg + " writes the file of one run: use it with run SCENARIO.json");
    } else if (arg == "--subprocess" || arg == "--keep" || arg == "--trace" || arg == "--html") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return UsageError(arg + (arg == "--keep" ? " needs a folder" : " needs a path"));
      std::string& value = arg == "--keep"    ? options.keep_dir
                           : arg == "--trace" ? options.trace_path
                           : arg == "--html"  ? options.html_path
                                              : options.subprocess_path;
      value = argv[++i];
    } else if (IsHelp(arg.c_str())) {
      std::cout << kUsage;
      return kExitOk;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option \"" + arg + "\" for " + command + " (it takes " +
                        (command == "run"
                             ? "--pretty, --strict, --keep, --trace, --html, --subprocess"
                             : "--strict, --keep, --subprocess") +
                        ")");
    } else if (target.empty()) {
      target = arg;
    } else {
      return UsageError(command == "run" ? "more than one scenario file given"
                                         : "more than one folder given");
    }
  }
  if (target.empty())
    return UsageError(command == "run" ? "no scenario file given" : "no folder given");
  return command == "run" ? nuv::host::RunCommand(target, options)
                          : nuv::host::CheckCommand(target, options);
}
