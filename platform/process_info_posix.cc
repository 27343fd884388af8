#include "platform/process_info.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "platform/code_page.h"

namespace nuv {
namespace platform {

uint32_t GetProcessId() {
  return static_cast<uint32_t>(getpid());
}

uint32_t GetThreadId() {
  return static_cast<uint32_t>(syscall(SYS_gettid));
}

// /proc/self/cmdline holds the arguments, each followed by a zero byte.
std::u16string GetCommandLineText() {
  FILE* file = fopen("/proc/self/cmdline", "rbe");
  if (!file)
    return std::u16string();
  std::string bytes;
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof(buffer), file)) > 0)
    bytes.append(buffer, read);
  fclose(file);

  std::u16string line;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos)
      end = bytes.size();
    std::u16string arg;
    MultiByteToWide(kCodePageUtf8, bytes.data() + start, end - start, &arg);
    if (!line.empty())
      line += u' ';
    line += QuoteCommandLineArgument(arg);
    start = end + 1;
  }
  return line;
}

}  // namespace platform
}  // namespace nuv
