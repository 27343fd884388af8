// Ending nuv_client with SIGINT, SIGTERM or SIGHUP. A run must not leave anything
// behind: Install() blocks both signals in every thread and lets a watcher
// thread take them. On a signal the watcher kills the sub-processes that
// are registered (so that every wait ends at once) and raises the flag the
// runner checks between and within steps; the runner then unwinds as at
// its normal end (the host window is destroyed, the scratch folder
// removed) and main ends by the same signal. Should the unwinding take
// longer than kGraceMs, the watcher removes the registered folders itself
// and ends the program. A transcript that can no longer be written (its
// reader went away: `nuv_client run ... | head`) ends the run the same way,
// by SIGPIPE, instead of killing nuv_client in the middle of a write.
#ifndef NUV_HOST_CLIENT_INTERRUPTION_H_
#define NUV_HOST_CLIENT_INTERRUPTION_H_

#include <sys/types.h>

#include <string>

namespace nuv {
namespace host {
namespace interruption {

constexpr int kGraceMs = 3000;

// Call first thing in main, before any other thread starts.
void Install();

// Whether a signal arrived; the signal's number, 0 when none.
bool Requested();
int Signal();

// Stops the run as that signal would have (used for SIGPIPE, which the
// writing thread receives, not the watcher). Safe from any thread.
void Request(int signal_number);

// Ends the program by the signal that interrupted it (after cleaning up).
[[noreturn]] void Reraise();

// What a signal must end or remove. Safe from any thread.
void RegisterChild(pid_t pid);
void UnregisterChild(pid_t pid);
void RegisterDirectory(const std::string& path);
void UnregisterDirectory(const std::string& path);

}  // namespace interruption
}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_INTERRUPTION_H_
