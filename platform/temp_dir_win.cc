#include "platform/temp_dir.h"

#include <windows.h>

#include "platform/file_util.h"

namespace nuv {
namespace platform {

std::u16string GetSystemTempDirectory() {
  wchar_t buffer[1024] = {};
  DWORD length = ::GetTempPathW(1024, buffer);
  if (length == 0 || length >= 1024)
    return std::u16string();
  std::u16string dir(reinterpret_cast<const char16_t*>(buffer), length);
  if (!dir.empty() && !IsPathSeparator(dir.back()))
    dir += kPathSeparator;
  return dir;
}

}  // namespace platform
}  // namespace nuv
