// The two commands of nuv_client: "run" plays one scenario and prints its
// transcript; "check" plays every scenario of a folder against its own
// expectations and prints one line per scenario and a closing count.
#ifndef NUV_HOST_CLIENT_COMMANDS_H_
#define NUV_HOST_CLIENT_COMMANDS_H_

#include <string>

namespace nuv {
namespace host {

// Exit codes of nuv_client.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // --strict or check: an expectation or a step failed
constexpr int kExitUsage = 64;
constexpr int kExitBadScenario = 65;
constexpr int kExitNoInput = 66;  // check: the folder cannot be read or holds no scenario
constexpr int kExitStartFailed = 69;

struct CommandOptions {
  std::string subprocess_path;
  bool pretty = false;
  bool strict = false;
  // Where the raw log file, stderr and transcript of each run are kept.
  std::string keep_dir;
  // run: where the run is written in the Trace Event Format, when not empty.
  std::string trace_path;
  // run: where the page with the run's sequence diagram is written, when
  // not empty.
  std::string html_path;
};

int RunCommand(const std::string& scenario_path, const CommandOptions& options);
int CheckCommand(const std::string& folder, const CommandOptions& options);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_COMMANDS_H_
