#include "platform/module_path.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/code_page.h"
#include "platform/file_util.h"

namespace nuv {
namespace platform {

namespace {

std::u16string FromNative(const std::string& bytes) {
  std::u16string out;
  MultiByteToWide(kCodePageUtf8, bytes.data(), bytes.size(), &out);
  return out;
}

}  // namespace

// The executable as the kernel knows it: symbolic links resolved, absolute.
std::u16string GetModulePath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer))
    return std::u16string();
  return FromNative(std::string(buffer, static_cast<size_t>(length)));
}

std::u16string GetLongPath(const std::u16string& path) {
  return PathExists(path) ? path : std::u16string();
}

std::u16string GetModuleDirectory() {
  std::u16string path = GetLongPath(GetModulePath());
  size_t slash = path.find_last_of(kPathSeparator);
  if (slash == std::u16string::npos)
    return std::u16string();
  return path.substr(0, slash + 1);
}

std::u16string GetExecutableName() {
  std::u16string path = GetModulePath();
  std::u16string long_path = GetLongPath(path);
  if (!long_path.empty())
    path = long_path;
  size_t slash = path.find_last_of(kPathSeparator);
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace platform
}  // namespace nuv
