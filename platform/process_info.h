// Identity of the running process and thread, and its whole command line.
#ifndef NUV_PLATFORM_PROCESS_INFO_H_
#define NUV_PLATFORM_PROCESS_INFO_H_

#include <cstdint>
#include <string>

namespace nuv {
namespace platform {

uint32_t GetProcessId();
uint32_t GetThreadId();

// The process command line as one text, program path first (GetCommandLineW).
// On POSIX it is rebuilt from the argument vector, each argument quoted by
// the Windows rules when needed, so a Windows-style parser splits it back.
std::u16string GetCommandLineText();

// Quotes one argument the way CommandLineToArgvW reads it back: in quotes
// when it is empty or holds white space (space, tab, LF, VT, FF, CR) or a
// quote; as it is otherwise.
std::u16string QuoteCommandLineArgument(const std::u16string& arg);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_PROCESS_INFO_H_
