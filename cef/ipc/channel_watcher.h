// Ends a render process whose client has gone, whatever its render thread
// is doing. The render loop notices a closed channel only between frames; a
// page that spins (while (true) {}) or keeps calling host methods never
// lets it get there, and the process would live on as an orphan. So, as a
// Chromium child process does on its IO thread, a thread of its own watches
// the channel. When the client's end closes (or, on Linux, when the parent
// process dies), the render loop gets kGraceMs to begin ending the process
// in order, as it does at once when it is idle; if it has not begun by
// then, the watcher removes the process's message-window endpoints and ends
// the process on the spot with exit code 0. An orderly end that has begun
// gets kTeardownMs more before the same happens.
//
// This thread belongs to the runtime (as the IO thread belongs to CEF), not
// to the program the runtime runs: the program itself starts no thread.
#ifndef CEF_IPC_CHANNEL_WATCHER_H_
#define CEF_IPC_CHANNEL_WATCHER_H_

#include <memory>

namespace cefipc {

class ChannelWatcher {
 public:
  static constexpr int kGraceMs = 500;
  static constexpr int kTeardownMs = 5000;

  ChannelWatcher();
  // Stops the watch.
  ~ChannelWatcher();
  ChannelWatcher(const ChannelWatcher&) = delete;
  ChannelWatcher& operator=(const ChannelWatcher&) = delete;

  // Starts watching the connected socket `fd` (the watcher keeps a
  // duplicate of its own, so closing `fd` does not disturb it), and on
  // Linux asks for a signal when the parent process dies. False, with a
  // log line, when the watch cannot be set up; the process then still
  // ends when the render loop sees the channel close.
  bool Start(int fd);

  // The render loop has stopped serving frames and is ending the process
  // in order.
  void NoteEnding();

  // Stops watching; returns once the watching thread has ended. Does not
  // return when the watcher is ending the process right now.
  void Stop();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace cefipc

#endif  // CEF_IPC_CHANNEL_WATCHER_H_
