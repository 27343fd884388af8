// A scenario for nuv_client: how the sub-process is started, which host
// objects the host window serves, and the steps played against the process.
// The format is described in docs/scenarios.md.
#ifndef NUV_HOST_CLIENT_SCENARIO_H_
#define NUV_HOST_CLIENT_SCENARIO_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <json/value.h>

#include "host/client/expectation.h"
#include "host/client/scenario_file.h"

namespace nuv {
namespace host {

// How the sub-process is started ("start" member).
struct StartOptions {
  // --type=<type>; without it the process is started as if it were the
  // client's main process and ends at once with -1.
  bool with_type = true;
  std::string type = "renderer";
  // --browser-message-window-handle=<text>; the text may hold ${hostWindow}.
  bool with_handle = true;
  std::string handle = "${hostWindow}";
  // --nuv-log-file=<fresh temporary file>; its lines end the transcript.
  bool log_file = true;
  // --nuv-temp-path=<path>, when not empty.
  std::string temp_path;
  // --uncaught-exception-stack-size=<n> when positive, as a client's
  // browser settings pass it; 0 leaves it out (no uncaught exceptions are
  // reported then).
  int uncaught_exception_stack_size = 10;
  // "/Debug" on the command line.
  bool debug = false;
  // Further arguments, appended as given.
  std::vector<std::string> extra_args;
};

enum class StepKind {
  kCreateBrowser,
  kDestroyBrowser,
  kCreateContext,
  kReleaseContext,
  kRunPageScript,
  kSendMessage,
  kCollectGarbage,
  kWaitForMessage,
  kWaitForCount,
  kWaitTime,
  kEnd,
  kExpect,
  kDisconnect,
};

// One step. Texts may hold placeholders (${callback}, ${callback:N},
// ${hostWindow}), replaced when the step runs.
struct Step {
  StepKind kind = StepKind::kEnd;
  size_t index = 0;  // 1-based position in "steps"
  // The step as written (compact JSON), echoed in the transcript. Kept as
  // text: a long scenario holds far fewer bytes that way than as values.
  std::string source;
  int32_t browser = 1;
  std::string frame = "main";
  std::string script;                              // page script of a context or of runPageScript
  std::string name;                                // message name to send, or to wait for
  Json::Value args{Json::arrayValue};              // message arguments (JSON -> list values)
  int count = 0;                                   // kWaitForCount
  int timeout_ms = 5000;                           // the waits
  int ms = 0;                                      // kWaitTime
  std::shared_ptr<const Expectation> expectation;  // kExpect
  bool keep_host_window = false;                   // kDisconnect
};

struct Scenario {
  std::string description;
  StartOptions start;
  // The host window's configuration: host objects, the named objects each
  // browser's pages receive, the answer to calls of other browsers' functions.
  Json::Value host{Json::objectValue};
  // Every step, each checked when the scenario was read; StepAt parses one
  // when it is played. Parsed steps (value trees, compiled patterns) take
  // many times the memory of their text, which matters for scenarios of
  // 100,000 steps. The steps are held as compact JSON, or, for a file
  // whose steps could be found in its text, as where each step is in the
  // file, which is read again when the step is played.
  std::vector<std::string> step_texts;
  std::shared_ptr<const ScenarioFile> file;
  std::vector<std::pair<size_t, size_t>> step_places;  // [begin, end) in `file`
  // What the expect steps look for, in step order.
  std::vector<ExpectationOutline> expectations;

  size_t step_count() const { return file ? step_places.size() : step_texts.size(); }
  // Step `i` (0-based) ready to run; false with the reason when it cannot
  // be read (it was checked already, so only a damaged scenario fails).
  bool StepAt(size_t i, Step* step, std::string* error) const;
};

// Parses a scenario text. False with a message naming the offending member
// or step when the text is not a valid scenario.
bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error);

// Reads and parses the file at `path`; the file stays open for StepAt.
bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_SCENARIO_H_
