#include "tests/e2e/e2e_support.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "cef/ipc/monotonic_clock.h"
#include "cef/ipc/wire_text.h"
#include "host/client/log_file_reader.h"

extern char** environ;

namespace nuv {
namespace e2e {
std::string BinDir() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0)
    return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::string SubprocessPath() {
  return BinDir() + "/nuv_subprocess";
}

std::string ClientPath() {
  return BinDir() + "/nuv_client";
}

std::string ExamplesDir() {
  return NUV_SOURCE_DIR "/examples";
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  return static_cast<bool>(file);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::vector<std::string> LogLines(const std::string& path) {
  std::vector<std::string> lines;
  host::ReadLogFileLines(path, &lines);
  return lines;
}

std::vector<std::string> LogMessages(const std::string& path) {
  std::vector<std::string> messages;
  for (const std::string& line : LogLines(path)) {
    const size_t at = line.find("): ");
    messages.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return messages;
}

std::string Utf8(const std::u16string& text) {
  return cefipc::Utf16ToUtf8(text);
}

std::u16string Utf16(const std::string& text) {
  return cefipc::Utf8ToUtf16(text);
}

int RunProgram(const std::string& program,
               const std::vector<std::string>& args,
               std::string* output,
               int timeout_ms) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (spawned != 0) {
    ::close(pipe_fds[0]);
    return -1;
  }
  const int64_t deadline = cefipc::MonotonicNowMs() + timeout_ms;
  std::string collected;
  bool timed_out = false;
  for (;;) {
    const int64_t left = deadline - cefipc::MonotonicNowMs();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd pfd{pipe_fds[0], POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left)) <= 0)
      continue;
    char buffer[4096];
    const ssize_t n = ::read(pipe_fds[0], buffer, sizeof(buffer));
    if (n <= 0)
      break;
    collected.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_fds[0]);
  if (timed_out)
    ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (output)
    *output = collected;
  if (timed_out || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

std::unique_ptr<host::RenderProcess> StartRenderer(const std::vector<std::string>& switches,
                                                   const std::string& type) {
  host::RenderProcessOptions options;
  options.executable = SubprocessPath();
  options.process_type = type;
  options.switches = switches;
  std::string error;
  return host::RenderProcess::Start(options, &error);
}

}  // namespace e2e
}  // namespace nuv
