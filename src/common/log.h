// The diagnostic log: one UTF-16LE line per call, appended to a file that is
// opened and closed for every line and discarded beyond one mebibyte.
#ifndef NUV_SRC_COMMON_LOG_H_
#define NUV_SRC_COMMON_LOG_H_

#include <cstdint>
#include <string>

// Largest log file that is still appended to; a bigger one is deleted and
// the next line starts a new file.
constexpr uint64_t kMaxLogFileSize = 1048576;

// Appends one line ("<exe> <date> <time> (<pid>-<tid>): <text>\r\n") to the
// file `path`. CR and LF in `text` become spaces. Lines of every thread and of
// every process that names the same file are serialised. Failures are silent.
void AppendLogLine(const std::u16string& path, const std::u16string& text);

// Whether "/Debug" (any capitalisation) occurs anywhere in the process
// command line; examined on the first call only.
bool IsDebugSwitchOn();

#endif  // NUV_SRC_COMMON_LOG_H_
