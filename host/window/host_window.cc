#include "host/window/host_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <utility>

#include "host/window/value_records.h"

namespace nuv {
namespace host {

class HostWindow::Delegate : public platform::MessageWindowDelegate {
 public:
  explicit Delegate(HostWindow* owner) : owner_(owner) {}

  bool ProcessWindowMessage(platform::WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message == platform::kWmDestroy)
      return true;
    if (message != platform::kWmCopyData)
      return false;
    *result = 0;
    if (lparam) {
      owner_->OnCopyData(wparam, *reinterpret_cast<const platform::CopyData*>(lparam));
    } else {
      owner_->Log("copy-data message without data");
    }
    return true;
  }

 private:
  HostWindow* owner_;
};

HostWindow::HostWindow() = default;

HostWindow::~HostWindow() {
  Stop();
}

bool HostWindow::Start() {
  if (thread_.joinable())
    return handle() != 0;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    Log("cannot create the wake-up pipe");
    return false;
  }
  wake_read_ = fds[0];
  wake_write_ = fds[1];
  stopping_ = false;
  std::mutex started_mutex;
  std::condition_variable started;
  bool done = false;
  thread_ = std::thread([&] {
    Delegate delegate(this);
    handle_ = platform::CreateMessageWindow(&delegate);
    {
      // Notified under the lock: Start's locals are gone once it returns.
      std::lock_guard<std::mutex> lock(started_mutex);
      done = true;
      started.notify_all();
    }
    if (!handle_.load())
      return;
    ThreadMain();
    platform::DestroyMessageWindow(handle_.load());
  });
  std::unique_lock<std::mutex> lock(started_mutex);
  started.wait(lock, [&] { return done; });
  if (!handle_.load()) {
    lock.unlock();
    Stop();
    Log("cannot create the host window");
    return false;
  }
  return true;
}

void HostWindow::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    stop_requested_.notify_all();
    char wake = 'q';
    (void)!write(wake_write_, &wake, 1);
    thread_.join();
  }
  handle_ = 0;
  for (int* fd : {&wake_read_, &wake_write_}) {
    if (*fd >= 0)
      close(*fd);
    *fd = -1;
  }
}

void HostWindow::ThreadMain() {
  while (!stopping_) {
    platform::WaitResult waited = platform::WaitAndDispatch(wake_read_, -1);
    if (waited == platform::WaitResult::kError) {
      Log("waiting for messages failed; the host window stops");
      break;
    }
    char drained[64];
    while (read(wake_read_, drained, sizeof(drained)) > 0) {
    }
    RunTasks();
  }
}

void HostWindow::RunTasks() {
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty())
        return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task();
    } catch (...) {
      Log("a task on the host window's thread threw an exception");
    }
  }
}

void HostWindow::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  char wake = 't';
  if (wake_write_ >= 0)
    (void)!write(wake_write_, &wake, 1);
}

bool HostWindow::Configure(const std::string& json_text, std::string* error) {
  Json::Value config;
  if (!ParseJson(json_text, &config)) {
    if (error)
      *error = "the configuration is not JSON";
    return false;
  }
  return objects_.Load(config, error);
}

void HostWindow::SetOtherBrowserCallHandler(OtherBrowserCallHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  other_browser_handler_ = std::move(handler);
}

void HostWindow::SetLogHandler(HostLogHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_handler_ = std::move(handler);
}

void HostWindow::SetExitOnRequestHandler(ExitOnRequestHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  exit_handler_ = std::move(handler);
}

void HostWindow::Delay(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  stop_requested_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return stopping_.load(); });
}

void HostWindow::Log(const std::string& line) {
  HostLogHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handler = log_handler_;
  }
  if (handler) {
    handler(line);
  } else {
    fprintf(stderr, "host window: %s\n", line.c_str());
  }
}

// The reply text a request gets; problems go into the log entry.
std::string HostWindow::Answer(const BridgeRequest& request,
                               LoggedRequest* entry,
                               Misbehaviour* how) {
  std::string problem;
  std::string reply;
  bool needs_object =
      request.kind >= kBridgeReleaseObject && request.kind <= kBridgeCallOtherBrowserFunction;
  if (needs_object && !request.has_header) {
    bool wants_record = request.kind != kBridgeReleaseObject;
    return wants_record ? WriteJson(NullRecord(request.browser_id)) : std::string();
  }
  switch (request.kind) {
    case kBridgeGetNamedObjects:
      reply = objects_.NamedObjectsReply(request.browser_id, how);
      break;
    case kBridgeReleaseObject:
      objects_.CountRelease(request.object_id);
      break;
    case kBridgeGetProperty:
      reply = objects_.GetPropertyReply(request.browser_id, request.object_id, request.text,
                                        &problem, how);
      break;
    case kBridgeSetProperty:
      reply = objects_.SetPropertyReply(request.browser_id, request.object_id, request.text,
                                        &problem, how);
      break;
    case kBridgeCallMethod:
      reply = objects_.CallMethodReply(request.browser_id, request.object_id, request.text,
                                       &problem, how);
      break;
    case kBridgeCallOtherBrowserFunction: {
      // The calling render thread is blocked until this returns, and the
      // function's browser may live on that very thread: answer now, run
      // the function once this window procedure has returned.
      Json::Value text;
      if (!ParseJson(request.text, &text) || !text.isObject()) {
        problem = "call of another browser's function without a JSON text";
        reply = WriteJson(NullRecord(request.browser_id));
        break;
      }
      reply = objects_.OtherBrowserCallReply(request.browser_id);
      OtherBrowserCall call;
      call.browser_id = request.browser_id;
      call.object_id = request.object_id;
      call.helper_window = entry->helper_window;
      call.function_name = StringMember(text, "methodName", "");
      if (text["arguments"].isArray())
        call.arguments = text["arguments"];
      NormalizePageRecord(&call.arguments);
      OtherBrowserCallHandler handler;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = other_browser_handler_;
      }
      if (handler)
        Post([handler, call] { handler(call); });
      break;
    }
    default:
      problem = "unknown request kind " + std::to_string(request.kind);
      break;
  }
  if (!problem.empty())
    entry->problem = entry->problem.empty() ? problem : entry->problem + "; " + problem;
  return reply;
}

void HostWindow::OnCopyData(uintptr_t wparam, const platform::CopyData& data) {
  LoggedRequest entry;
  entry.received_us = RequestClockNowUs();
  entry.kind = data.dwData;
  entry.helper_window = static_cast<uint32_t>(wparam);
  if (data.lpData && data.cbData) {
    const auto* bytes = static_cast<const uint8_t*>(data.lpData);
    entry.raw.assign(bytes, bytes + data.cbData);
  }
  BridgeRequest request = ParseBridgeRequest(data);
  entry.has_ids = request.has_ids;
  entry.browser_id = request.browser_id;
  entry.request_id = request.request_id;
  entry.object_id = request.object_id;
  entry.text = request.text;
  entry.problem = request.problem;

  if (data.dwData == kBridgeReply) {
    entry.problem = "a reply was sent to the host window";
  } else if (!request.has_ids) {
    // Without browser and request id no reply can be matched: none is sent.
  } else {
    if (entry.helper_window)
      helper_windows_[request.browser_id] = entry.helper_window;
    Misbehaviour how;
    entry.reply_text = Answer(request, &entry, &how);
    entry.misbehaviour = how.Describe();
    if (how.exit_on_request) {
      EndProcessInsideRequest(&entry);
    } else {
      if (how.delay_ms)
        Delay(how.delay_ms);
      Reply(request, how, &entry);
    }
  }
  entry.answered_us = RequestClockNowUs();
  if (!entry.problem.empty()) {
    Log(BridgeKindName(entry.kind) + " (browser " + std::to_string(entry.browser_id) +
        ", request " + std::to_string(entry.request_id) + "): " + entry.problem);
  }
  requests_.Add(std::move(entry));
}

// Sends the reply as configured: the answer or the configured bytes, under
// the request's key or another one, of kind 0 or another, once, several
// times or not at all.
void HostWindow::Reply(const BridgeRequest& request,
                       const Misbehaviour& how,
                       LoggedRequest* entry) {
  if (how.has_reply_text)
    entry->reply_text = how.reply_text;
  entry->reply_browser_id = how.reply_browser.Apply(request.browser_id);
  entry->reply_request_id = how.reply_request.Apply(request.request_id);
  entry->reply_kind = how.reply_kind;
  entry->reply_raw = BuildReplyPacket(entry->reply_browser_id, entry->reply_request_id,
                                      entry->reply_text, how.terminator);
  if (how.no_reply) {
    entry->no_reply = true;
    return;
  }
  platform::CopyData reply;
  reply.dwData = static_cast<uintptr_t>(how.reply_kind);
  reply.cbData = static_cast<uint32_t>(entry->reply_raw.size());
  reply.lpData = entry->reply_raw.empty() ? nullptr : entry->reply_raw.data();
  platform::WindowHandle helper = entry->helper_window;
  if (how.reply_to_window_of) {
    auto other = helper_windows_.find(how.reply_window_browser);
    helper = other == helper_windows_.end() ? 0 : other->second;
  }
  entry->reply_window = helper;
  const bool fits = entry->reply_raw.size() <= platform::kMaxCopyDataSize;
  for (int copy = 0; copy <= how.duplicates; ++copy) {
    if (helper != 0 && fits && platform::SendCopyData(helper, handle(), reply, nullptr))
      ++entry->replies_sent;
  }
  entry->replied = entry->replies_sent > 0;
  if (!entry->replied) {
    std::string failure = "the reply could not be delivered to window " + std::to_string(helper);
    if (!fits)
      failure += " (" + std::to_string(entry->reply_raw.size()) +
                 " bytes, more than a copy-data message carries)";
    entry->problem = entry->problem.empty() ? failure : entry->problem + "; " + failure;
  }
}

// "exitOnRequest": the host window's process dies while the render thread
// waits inside the request. The handler stands in for that death (the
// reference client ends the process the sub-process talks to); without one,
// this process ends here.
void HostWindow::EndProcessInsideRequest(LoggedRequest* entry) {
  entry->process_ended = true;
  entry->reply_raw.clear();
  ExitOnRequestHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handler = exit_handler_;
  }
  if (!handler) {
    Log(BridgeKindName(entry->kind) + " (browser " + std::to_string(entry->browser_id) +
        ", request " + std::to_string(entry->request_id) +
        "): exitOnRequest, the process ends with code " + std::to_string(kExitOnRequestCode));
    fflush(nullptr);
    _exit(kExitOnRequestCode);
  }
  handler();
}

}  // namespace host
}  // namespace nuv
