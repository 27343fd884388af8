// The render process's loop: reads the client's frames from the IPC socket
// and drives the V8 runtime with them, one at a time on the render thread,
// and sends back what the runtime emits (process messages, document
// commands) followed by one acknowledgement per client frame. What a process
// message from the client makes the runtime send (the command's result)
// is held back until the frame's acknowledgement, so that both leave in one
// write; held output leaves earlier when more follows or when the render
// thread is about to block in a bridge request. While idle it
// waits through WaitForInput, so messages to this thread's windows are
// dispatched; while a callback is running (even blocked in a bridge send) no
// frame is read.
#ifndef CEF_IPC_RENDER_LOOP_H_
#define CEF_IPC_RENDER_LOOP_H_

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "cef/ipc/channel_watcher.h"
#include "cef/ipc/frame.h"
#include "cef/ipc/frame_channel.h"
#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"

namespace cefipc {

class RenderLoop : public cefrt::RenderRuntimeObserver {
 public:
  // Process exit codes of Run().
  static constexpr int kExitEnded = 0;         // the client sent "end" or closed the socket
  static constexpr int kExitBrokenStream = 1;  // unusable stream or socket error
  static constexpr int kExitNoRuntime = 2;     // the V8 runtime could not be created

  // Takes ownership of `fd`, the socket connected to the client. The
  // runtime is created with `settings`.
  RenderLoop(int fd, const cefrt::RenderRuntimeSettings& settings);
  ~RenderLoop() override;

  // Creates the runtime for `app` on the calling thread (which becomes the
  // render thread), greets the client and serves it until it ends.
  int Run(CefRefPtr<CefApp> app);

  // cefrt::RenderRuntimeObserver
  void OnProcessMessageToBrowser(int browser_id, CefRefPtr<CefProcessMessage> message) override;
  void OnDocumentCommand(int browser_id,
                         int64 frame_id,
                         const CefString& command,
                         bool show_ui,
                         const CefString& value,
                         bool result) override;

 private:
  // Handles every complete frame buffered; false once the loop must stop.
  bool HandleBufferedFrames();
  bool AcceptSequence(uint32_t sequence, std::string* why);
  void Handle(const Frame& frame);
  AckStatus Dispatch(const Frame& frame, std::string* detail);
  bool HasContext(int32_t browser_id, int64_t frame_id) const;

  void Send(Frame frame);
  // Writes everything queued (held output included).
  void Flush();
  static void FlushBeforeBlocking(void* self);
  void Acknowledge(uint32_t sequence, AckStatus status, const std::string& detail);
  void Log(const std::string& line);

  std::unique_ptr<FrameChannel> channel_;
  // Ends the process when the client goes while the render thread is busy.
  ChannelWatcher watcher_;
  cefrt::RenderRuntimeSettings settings_;
  std::unique_ptr<cefrt::RenderRuntime> runtime_;
  // Browsers the client created, with the frames that have a context.
  std::map<int32_t, std::set<int64_t>> browsers_;
  uint32_t last_sequence_ = 0;
  bool ended_ = false;
  bool broken_ = false;
  bool reported_lost_peer_ = false;
  // Output is held back while a client's process message is dispatched.
  bool hold_output_ = false;
  bool flushing_ = false;
};

}  // namespace cefipc

#endif  // CEF_IPC_RENDER_LOOP_H_
