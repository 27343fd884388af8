#include "host/client/interruption.h"

#include <ftw.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

namespace nuv {
namespace host {
namespace interruption {
namespace {

std::atomic<int> g_signal{0};
std::mutex g_mutex;  // guards the two sets
std::set<pid_t> g_children;
std::set<std::string> g_directories;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);  // the terminal of the run was closed
  return set;
}

// Raises the flag (the first signal wins) and kills the registered
// children, so that every wait of the runner ends at once.
void Stop(int signal_number) {
  std::lock_guard<std::mutex> lock(g_mutex);
  int none = 0;
  g_signal.compare_exchange_strong(none, signal_number);
  for (pid_t child : g_children)
    kill(child, SIGKILL);
}

void Watch() {
  const sigset_t set = EndingSignals();
  int signal_number = 0;
  if (sigwait(&set, &signal_number) != 0)
    return;
  Stop(signal_number);
  // The runner unwinds on its own; this is the fallback should it not.
  usleep(static_cast<useconds_t>(kGraceMs) * 1000);
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const std::string& directory : g_directories)
    nftw(directory.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  fprintf(stderr, "nuv_client: interrupted; the run did not end in time, stopping now\n");
  _exit(128 + signal_number);
}

}  // namespace

void Install() {
  const sigset_t set = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A closed output becomes a failed write that the transcript reports
  // (Request); the children get SIGPIPE's default back before they start.
  signal(SIGPIPE, SIG_IGN);
  std::thread(Watch).detach();
}

void Request(int signal_number) {
  Stop(signal_number);
}

bool Requested() {
  return g_signal.load() != 0;
}

int Signal() {
  return g_signal.load();
}

void Reraise() {
  const int signal_number = g_signal.load() ? g_signal.load() : SIGTERM;
  signal(signal_number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  // Held by the watcher's set too; unblocking here delivers it to this thread.
  raise(signal_number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal_number);
}

void RegisterChild(pid_t pid) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_children.insert(pid);
  if (g_signal.load())
    kill(pid, SIGKILL);
}

void UnregisterChild(pid_t pid) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_children.erase(pid);
}

void RegisterDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_directories.insert(path);
}

void UnregisterDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_directories.erase(path);
}

}  // namespace interruption
}  // namespace host
}  // namespace nuv
