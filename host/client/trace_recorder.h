// Turns the events of a run's transcript into the Trace Event Format that
// Chromium's tracing tools (about:tracing) and Perfetto load: one track each
// for the client, the render process and the host window; every command as a
// slice of the render process with the bridge requests it caused nested in
// it; each request a slice of the render process (blocked while it waits) and
// of the host window (answering), tied by a flow from request to reply;
// messages, releases, collections and the exit as instant events.
//
// Events are converted as they come and keep no packets (only short
// previews), so a long run costs little memory here.
#ifndef NUV_HOST_CLIENT_TRACE_RECORDER_H_
#define NUV_HOST_CLIENT_TRACE_RECORDER_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <json/value.h>

namespace nuv {
namespace host {

class TraceRecorder {
 public:
  // The tracks ("tid"s) of the one process of the trace.
  static constexpr int kClientTrack = 1;
  static constexpr int kRenderTrack = 2;
  static constexpr int kHostWindowTrack = 3;

  explicit TraceRecorder(const std::string& title);

  // Called with every transcript event, in transcript order.
  void Observe(const Json::Value& event);

  // The whole trace: {"traceEvents": [...], "displayTimeUnit": "ms", ...}.
  // Closes the step still open.
  Json::Value Finish();

  // Writes Finish() to `out`; false when it could not be written.
  bool Write(std::ostream& out);

 private:
  Json::Value& Append(const char* phase, int track, const std::string& name, int64_t ts);
  void Slice(int track, const std::string& name, int64_t begin, int64_t end, Json::Value args);
  void Instant(int track, const std::string& name, int64_t ts, Json::Value args);
  void Flow(const char* phase, int track, int64_t ts, uint64_t id);
  void NameTrack(int track, const std::string& name);
  void CloseStep(int64_t end);
  void OnRequest(const Json::Value& event);
  void OnReply(const Json::Value& event);
  void OnUnansweredRequest();
  void OnAck(const Json::Value& event);
  void EndLastCommandBefore(int64_t request_begin, int64_t request_end);

  Json::Value events_{Json::arrayValue};
  int64_t last_time_ = 0;
  // The step being played, shown as a slice of the client until the next.
  bool step_open_ = false;
  int64_t step_begin_ = 0;
  std::string step_name_;
  std::string step_action_;
  // The last request, until its reply (which follows it) or the next event.
  bool request_open_ = false;
  Json::Value request_;
  uint64_t next_flow_id_ = 1;
  // Request slices since the last command result, as (begin, end).
  std::vector<std::pair<int64_t, int64_t>> recent_requests_;
  // The last command's slice in events_, which a request read after its
  // result may still cut short.
  bool has_command_ = false;
  Json::ArrayIndex last_command_ = 0;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_TRACE_RECORDER_H_
