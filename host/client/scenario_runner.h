// Plays a scenario against a real nuv_subprocess: starts the host window
// with the scenario's objects, starts the sub-process as the client's main
// process does, runs the steps, and writes every event to the transcript.
#ifndef NUV_HOST_CLIENT_SCENARIO_RUNNER_H_
#define NUV_HOST_CLIENT_SCENARIO_RUNNER_H_

#include <string>

#include "host/client/scenario.h"
#include "host/client/transcript.h"

namespace nuv {
namespace host {

struct RunnerOptions {
  std::string subprocess_path;  // the nuv_subprocess executable
  // How long the sub-process may take to come up, and to end at the end.
  int start_timeout_ms = 10000;
  int end_timeout_ms = 10000;
};

enum class RunOutcome {
  kRan,          // the steps were played; failing steps are transcript events
  kBadScenario,  // the host configuration or the start options are not usable
  kStartFailed,  // the host window or the sub-process could not be started
};

// Runs the whole scenario; *error says why when it could not be run.
RunOutcome RunScenario(const Scenario& scenario,
                       const RunnerOptions& options,
                       Transcript* transcript,
                       std::string* error);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SCENARIO_RUNNER_H_
