#include "tests/common/test_util.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/module_path.h"
#include "src/common/text_conv.h"

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

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string FromUtf16Le(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return text;
}

std::u16string U16(const std::string& utf8) {
  return Utf8ToWide(utf8);
}

std::string U8(const std::u16string& text) {
  return WideToUtf8(text);
}

std::string TestBinDir() {
  return U8(nuv::platform::GetModuleDirectory());
}

std::string CopyProbe(const std::string& dir) {
  std::string target = dir + "/nuv_common_probe";
  WriteBytes(target, ReadBytes(TestBinDir() + "nuv_common_probe"));
  chmod(target.c_str(), 0755);
  return target;
}

ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env) {
  ChildResult result;
  int fds[2];
  if (pipe(fds) != 0)
    return result;
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
    for (const auto& [name, value] : env)
      setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof(buffer))) > 0)
    result.output.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status))
    result.exit_code = static_cast<signed char>(WEXITSTATUS(status));
  return result;
}

}  // namespace nuv_test
