// The test helpers on POSIX: mkdtemp, fork and execve, setenv, settings files.
#include "tests/common/test_util.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

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

std::string TestBinDir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0)
    return std::string();
  std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
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
                         const EnvList& env) {
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

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return false;
  pid_t child = fork();
  if (child == 0) {
    dup2(fds[1], 1);  // dup2 clears close-on-exec on descriptor 1
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  if (child < 0) {
    close(fds[0]);
    return false;
  }
  process_ = child;
  process_id_ = static_cast<uint32_t>(child);
  output_ = fds[0];
  return true;
}

ChildResult ChildProcess::Wait() {
  ChildResult result;
  if (process_ == -1)
    return result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(static_cast<int>(output_), buffer, sizeof(buffer))) > 0)
    result.output.append(buffer, static_cast<size_t>(n));
  close(static_cast<int>(output_));
  int status = 0;
  waitpid(static_cast<pid_t>(process_), &status, 0);
  if (WIFEXITED(status))
    result.exit_code = static_cast<signed char>(WEXITSTATUS(status));
  result.process_id = process_id_;
  process_ = -1;
  output_ = -1;
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
