#include "platform/process_info.h"

#include <windows.h>

namespace nuv {
namespace platform {

uint32_t GetProcessId() {
  return ::GetCurrentProcessId();
}

uint32_t GetThreadId() {
  return ::GetCurrentThreadId();
}

std::u16string GetCommandLineText() {
  const wchar_t* line = ::GetCommandLineW();
  if (!line)
    return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(line));
}

}  // namespace platform
}  // namespace nuv
