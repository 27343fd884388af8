// Shared pieces of the end-to-end tests: where the built programs are,
// scratch directories, the decoded log file, and starting the real
// nuv_subprocess the way the client's main process does.
#ifndef NUV_TESTS_E2E_E2E_SUPPORT_H_
#define NUV_TESTS_E2E_E2E_SUPPORT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/browser/render_process.h"
#include "host/client/scratch_directory.h"

namespace nuv {
namespace e2e {

// The directory of the running test binary (build/bin), where nuv_subprocess
// and nuv_client are built too.
std::string BinDir();
std::string SubprocessPath();
std::string ClientPath();
// The repository's examples/ folder.
std::string ExamplesDir();

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes away.
class ScratchDir : public host::ScratchDirectory {
 public:
  ScratchDir() : ScratchDirectory("nuv-e2e") {}

  std::string File(const std::string& name) const { return path() + "/" + name; }
};

bool FileExists(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// The lines of a log file as UTF-8, without their line ends.
std::vector<std::string> LogLines(const std::string& path);
// The message part of each log line (what follows the first "): ").
std::vector<std::string> LogMessages(const std::string& path);

// The client's own conversions (unpaired surrogates and malformed UTF-8
// become U+FFFD).
std::string Utf8(const std::u16string& text);
std::u16string Utf16(const std::string& text);

// Runs `program` with `args` and waits (up to `timeout_ms`) for its end;
// returns the low 8 bits of its exit code, or -1 when it did not exit
// normally. `output` (optional) gets what it wrote to stdout and stderr.
int RunProgram(const std::string& program,
               const std::vector<std::string>& args,
               std::string* output,
               int timeout_ms = 30000);

// Starts nuv_subprocess as a render process. `switches` come after the ones
// RenderProcess adds itself (type, IPC socket).
std::unique_ptr<host::RenderProcess> StartRenderer(const std::vector<std::string>& switches,
                                                   const std::string& type = "renderer");

}  // namespace e2e
}  // namespace nuv

#endif  // NUV_TESTS_E2E_E2E_SUPPORT_H_
