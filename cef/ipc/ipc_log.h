// One-line diagnostics of the IPC on standard error: refused frames, a
// vanished peer, a process that cannot start. Each line is written with a
// single write() so lines of different processes sharing the stream do not
// interleave.
#ifndef CEF_IPC_IPC_LOG_H_
#define CEF_IPC_IPC_LOG_H_

#include <string>

namespace cefipc {

// Writes "[<who> <pid>] <line>\n" to standard error.
void IpcLog(const char* who, const std::string& line);

}  // namespace cefipc

#endif  // CEF_IPC_IPC_LOG_H_
