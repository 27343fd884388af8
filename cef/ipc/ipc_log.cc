#include "cef/ipc/ipc_log.h"

#include <unistd.h>

#include <cerrno>

namespace cefipc {

void IpcLog(const char* who, const std::string& line) {
  std::string text = "[";
  text += who;
  text += " ";
  text += std::to_string(static_cast<long>(getpid()));
  text += "] ";
  text += line;
  text += "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else
      break;
  }
}

}  // namespace cefipc
