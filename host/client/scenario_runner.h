// Plays a scenario against a real nuv_subprocess: starts the host window
// with the scenario's objects, starts the sub-process as the client's main
// process does, runs the steps, and writes every event to the transcript.
#ifndef NUV_HOST_CLIENT_SCENARIO_RUNNER_H_
#define NUV_HOST_CLIENT_SCENARIO_RUNNER_H_

#include <string>
#include <vector>

#include <json/value.h>

#include "host/client/scenario.h"
#include "host/client/transcript.h"

namespace nuv {
namespace host {

struct RunnerOptions {
  std::string subprocess_path;  // the nuv_subprocess executable
  // nuv_client itself, started as the host window's own process when the
  // scenario asks for "exitOnRequest"; empty: this process's executable.
  std::string relay_path;
  // How long the sub-process may take to come up, and to end at the end.
  int start_timeout_ms = 10000;
  int end_timeout_ms = 10000;
  // When not empty, the raw log file (nuv.log) and the sub-process's stderr
  // (stderr.txt) are copied into this existing folder at the end.
  std::string keep_dir;
};

enum class RunOutcome {
  kRan,          // the steps were played; failing steps are transcript events
  kBadScenario,  // the host configuration or the start options are not usable
  kStartFailed,  // the host window or the sub-process could not be started
  kInterrupted,  // SIGINT, SIGTERM or SIGHUP ended the run early
};

// What a run that was played found against its own expectations.
struct RunVerdict {
  int failed_expectations = 0;
  // Steps that ended in an error, a timeout or a refusal that no expect
  // step claimed ("step 4: timed out waiting for ...").
  std::vector<std::string> unexpected_problems;
  // The first few "expectFailed" events, to show beside a summary.
  std::vector<Json::Value> first_failures;

  bool passed() const { return failed_expectations == 0 && unexpected_problems.empty(); }
  // "2 expectations failed; step 4: refused (...)", empty when passed.
  std::string Summary() const;
};

// Runs the whole scenario; *error says why when it could not be run.
// `verdict` (optional) receives the outcome of the expectations.
RunOutcome RunScenario(const Scenario& scenario,
                       const RunnerOptions& options,
                       Transcript* transcript,
                       std::string* error,
                       RunVerdict* verdict = nullptr);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SCENARIO_RUNNER_H_
