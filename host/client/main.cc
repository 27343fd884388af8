// nuv_client: the reference client of the render sub-process. It plays a
// scenario against nuv_subprocess and prints a transcript of everything that
// crossed between them.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>
#include <string>

#include "host/client/scenario.h"
#include "host/client/scenario_runner.h"
#include "host/client/transcript.h"

namespace {

constexpr int kExitRan = 0;
constexpr int kExitUsage = 64;
constexpr int kExitBadScenario = 65;
constexpr int kExitStartFailed = 69;

const char kUsage[] =
    "Usage:\n"
    "  nuv_client run SCENARIO.json [--pretty] [--subprocess PATH]\n"
    "  nuv_client --help\n"
    "\n"
    "Starts nuv_subprocess as the client's main process starts a render process\n"
    "(--type=renderer, --browser-message-window-handle=<host window>,\n"
    "--nuv-log-file=<temporary file>, and what the scenario adds), serves the\n"
    "scenario's host objects from a host window, plays the scenario's steps and\n"
    "prints a transcript: one JSON object per line and per event, in order\n"
    "(process messages both ways, bridge requests and replies with their raw\n"
    "bytes, releases of host objects, the exit code, the decoded log file).\n"
    "\n"
    "Options:\n"
    "  --pretty           print the transcript for a person instead of as JSON lines\n"
    "  --subprocess PATH  the sub-process executable (default: nuv_subprocess\n"
    "                     beside nuv_client)\n"
    "\n"
    "Exit codes: 0 the scenario ran (failed steps are events of the transcript),\n"
    "64 bad command line, 65 bad scenario file, 69 the host window or the\n"
    "sub-process could not be started.\n"
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

}  // namespace

int main(int argc, char* argv[]) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                    std::strcmp(argv[1], "help") == 0)) {
    std::cout << kUsage;
    return kExitRan;
  }
  if (argc < 2)
    return UsageError("no command given");
  if (std::strcmp(argv[1], "run") != 0)
    return UsageError(std::string("unknown command \"") + argv[1] + "\"");

  std::string scenario_path;
  bool pretty = false;
  nuv::host::RunnerOptions options;
  options.subprocess_path = DefaultSubprocessPath();
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pretty") {
      pretty = true;
    } else if (arg == "--subprocess") {
      if (i + 1 >= argc)
        return UsageError("--subprocess needs a path");
      options.subprocess_path = argv[++i];
    } else if (arg == "--help") {
      std::cout << kUsage;
      return kExitRan;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("unknown option \"" + arg + "\"");
    } else if (scenario_path.empty()) {
      scenario_path = arg;
    } else {
      return UsageError("more than one scenario file given");
    }
  }
  if (scenario_path.empty())
    return UsageError("no scenario file given");

  nuv::host::Scenario scenario;
  std::string error;
  if (!nuv::host::LoadScenarioFile(scenario_path, &scenario, &error)) {
    std::cerr << "nuv_client: bad scenario: " << error << "\n";
    return kExitBadScenario;
  }
  if (access(options.subprocess_path.c_str(), X_OK) != 0) {
    std::cerr << "nuv_client: cannot start the sub-process: " << options.subprocess_path
              << " is not an executable file\n";
    return kExitStartFailed;
  }
  nuv::host::Transcript transcript(&std::cout, pretty);
  switch (nuv::host::RunScenario(scenario, options, &transcript, &error)) {
    case nuv::host::RunOutcome::kRan:
      return kExitRan;
    case nuv::host::RunOutcome::kBadScenario:
      std::cerr << "nuv_client: bad scenario: " << error << "\n";
      return kExitBadScenario;
    case nuv::host::RunOutcome::kStartFailed:
      break;
  }
  std::cerr << "nuv_client: " << error << "\n";
  return kExitStartFailed;
}
