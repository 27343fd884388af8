// The test helpers on POSIX: mkdtemp, fork and execve, setenv, settings files.
#include "tests/common/test_util.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace nuv_test {

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/nuv_common_XXXXXX";
  if (mkdtemp(pattern))
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
  if (!path_.empty())
    system(("rm -rf '" + path_ + "'").c_str());
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

bool MakeDir(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::string ThisProgram() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

std::string TestBinDir() {
  const std::string exe = ThisProgram();
  return exe.empty() ? exe : exe.substr(0, exe.rfind('/') + 1);
}

bool RunningUnderWine() {
  return false;
}

std::string CopyProbe(const std::string& dir) {
  std::string target = dir + "/nuv_common_probe";
  WriteBytes(target, ReadBytes(TestBinDir() + "nuv_common_probe"));
  chmod(target.c_str(), 0755);
  return target;
}

uint32_t CurrentProcessId() {
  return static_cast<uint32_t>(getpid());
}

std::string UncreatablePath() {
  return "/proc/nuv_cannot_create/x";
}

std::string GetEnv(const std::string& name, bool* set) {
  const char* value = getenv(name.c_str());
  if (set)
    *set = value != nullptr;
  return value ? value : "";
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : name_(name) {
  old_ = GetEnv(name, &had_);
  if (value)
    setenv(name.c_str(), value, 1);
  else
    unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

bool ChildProcess::Start(const std::string& program,
                         const std::vector<std::string>& args,
                         const EnvList& env,
                         ChildStreams streams) {
  if (process_ != -1)
    return false;
  // Everything the child needs is built before fork: between fork and exec
  // only async-signal-safe calls are made.
  std::vector<std::string> env_strings;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : env)
      replaced = replaced || text.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced)
      env_strings.push_back(text);
  }
  for (const auto& [name, value] : env)
    env_strings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& text : env_strings)
    envp.push_back(&text[0]);
  envp.push_back(nullptr);
  std::vector<std::string> arg_strings{program};
  arg_strings.insert(arg_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : arg_strings)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);

  // [0] read end, [1] write end; -1 where the stream is inherited.
  int out[2] = {-1, -1};
  int in[2] = {-1, -1};
  const bool pipe_out = streams != ChildStreams::kInherit;
  const bool pipe_in = streams == ChildStreams::kTalk;
  if ((pipe_out && pipe2(out, O_CLOEXEC) != 0) || (pipe_in && pipe2(in, O_CLOEXEC) != 0)) {
    for (int fd : {out[0], out[1], in[0], in[1]})
      if (fd >= 0)
        close(fd);
    return false;
  }
  pid_t child = fork();
  if (child == 0) {
    // dup2 clears close-on-exec on the descriptors it makes.
    if (pipe_out)
      dup2(out[1], 1);
    if (pipe_in)
      dup2(in[0], 0);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  for (int fd : {out[1], in[0]})
    if (fd >= 0)
      close(fd);
  if (child < 0) {
    for (int fd : {out[0], in[1]})
      if (fd >= 0)
        close(fd);
    return false;
  }
  streams_ = streams;
  process_ = child;
  process_id_ = static_cast<uint32_t>(child);
  output_ = out[0];
  input_ = in[1];
  return true;
}

bool ChildProcess::ReadOutput(void* bytes, size_t size) {
  auto* at = static_cast<char*>(bytes);
  while (size > 0 && output_ != -1) {
    ssize_t got = read(static_cast<int>(output_), at, size);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    at += got;
    size -= static_cast<size_t>(got);
  }
  return size == 0;
}

bool ChildProcess::WriteInput(const void* bytes, size_t size) {
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0 && input_ != -1) {
    ssize_t written = write(static_cast<int>(input_), at, size);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    at += written;
    size -= static_cast<size_t>(written);
  }
  return size == 0;
}

void ChildProcess::CloseInput() {
  if (input_ != -1)
    close(static_cast<int>(input_));
  input_ = -1;
}

void ChildProcess::Forget() {
  CloseInput();
  if (output_ != -1)
    close(static_cast<int>(output_));
  output_ = -1;
  process_ = -1;
}

// The exit code of a waitpid status; -1000 when the child did not exit.
static int ExitCode(int status) {
  return WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -1000;
}

int ChildProcess::WaitFor(int timeout_ms) {
  if (process_ == -1)
    return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t done = waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
    if (done == static_cast<pid_t>(process_)) {
      Forget();
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
      Kill();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void ChildProcess::Kill() {
  if (process_ == -1)
    return;
  kill(static_cast<pid_t>(process_), SIGKILL);
  int status = 0;
  while (waitpid(static_cast<pid_t>(process_), &status, 0) < 0 && errno == EINTR) {
  }
  Forget();
}

ChildResult ChildProcess::Wait() {
  ChildResult result;
  if (process_ == -1)
    return result;
  CloseInput();
  char buffer[4096];
  ssize_t n;
  while (output_ != -1 && (n = read(static_cast<int>(output_), buffer, sizeof(buffer))) > 0)
    result.output.append(buffer, static_cast<size_t>(n));
  int status = 0;
  while (waitpid(static_cast<pid_t>(process_), &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = ExitCode(status);
  result.process_id = process_id_;
  Forget();
  return result;
}

UserSettings::UserSettings() = default;

UserSettings::~UserSettings() = default;

EnvList UserSettings::Env() const {
  return {{"NUV_USER_SETTINGS_DIR", root_.path()}};
}

bool UserSettings::SetRaw(const std::string& product,
                          const std::string& name,
                          const std::string& bytes,
                          uint32_t /*windows_type*/) {
  MakeDir(root_ / "Software");
  MakeDir(root_ / ("Software/" + product));
  return WriteBytes(root_ / ("Software/" + product + "/" + name), bytes);
}

bool UserSettings::SetDword(const std::string& product, const std::string& name, uint32_t value) {
  return SetRaw(product, name, std::to_string(value));
}

bool UserSettings::SetInvalid(const std::string& product, const std::string& name) {
  return SetRaw(product, name, "garbage");
}

}  // namespace nuv_test
