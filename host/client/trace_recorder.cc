#include "host/client/trace_recorder.h"

#include <algorithm>

#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

// The trace holds the whole transcript's story, but packets only as short
// previews: the transcript has them in full.
constexpr size_t kPreviewChars = 240;

std::string Preview(const Json::Value& value) {
  std::string text = value.isString() ? value.asString() : WriteCompactJson(value);
  if (text.size() > kPreviewChars)
    text = text.substr(0, kPreviewChars) + "... (" + std::to_string(text.size()) + " bytes)";
  return text;
}

// The members of `event` worth showing beside its slice or instant.
Json::Value Args(const Json::Value& event, std::initializer_list<const char*> names) {
  Json::Value args(Json::objectValue);
  for (const char* name : names) {
    if (event.isMember(name))
      args[name] = event[name].isObject() || event[name].isArray() || event[name].isString()
                       ? Json::Value(Preview(event[name]))
                       : event[name];
  }
  return args;
}

std::string RequestName(const Json::Value& request) {
  return request["kindName"].asString() + " #" + WriteCompactJson(request["requestId"]);
}

}  // namespace

TraceRecorder::TraceRecorder(const std::string& title) {
  Json::Value& process = Append("M", kClientTrack, "process_name", 0);
  process["args"]["name"] = "nuv_client run " + title;
  NameTrack(kClientTrack, "client");
  NameTrack(kRenderTrack, "render process");
  NameTrack(kHostWindowTrack, "host window");
}

void TraceRecorder::NameTrack(int track, const std::string& name) {
  Append("M", track, "thread_name", 0)["args"]["name"] = name;
  Append("M", track, "thread_sort_index", 0)["args"]["sort_index"] = track;
}

Json::Value& TraceRecorder::Append(const char* phase,
                                   int track,
                                   const std::string& name,
                                   int64_t ts) {
  Json::Value event(Json::objectValue);
  event["ph"] = phase;
  event["pid"] = 1;
  event["tid"] = track;
  event["name"] = name;
  event["ts"] = static_cast<Json::Int64>(ts);
  return events_.append(std::move(event));
}

void TraceRecorder::Slice(int track,
                          const std::string& name,
                          int64_t begin,
                          int64_t end,
                          Json::Value args) {
  Json::Value& slice = Append("X", track, name, begin);
  slice["dur"] = static_cast<Json::Int64>(std::max<int64_t>(0, end - begin));
  slice["args"] = std::move(args);
}

void TraceRecorder::Instant(int track, const std::string& name, int64_t ts, Json::Value args) {
  Json::Value& instant = Append("i", track, name, ts);
  instant["s"] = "t";
  instant["args"] = std::move(args);
}

void TraceRecorder::Flow(const char* phase, int track, int64_t ts, uint64_t id) {
  Json::Value& flow = Append(phase, track, "bridge request", ts);
  flow["cat"] = "bridge";
  flow["id"] = static_cast<Json::UInt64>(id);
  flow["bp"] = "e";  // bound to the slice around it
}

void TraceRecorder::CloseStep(int64_t end) {
  if (!step_open_)
    return;
  step_open_ = false;
  Slice(kClientTrack, step_name_, step_begin_, end, Json::Value(Json::objectValue));
}

void TraceRecorder::Observe(const Json::Value& event) {
  const std::string kind = event["event"].asString();
  const int64_t time = event["time"].asInt64();
  last_time_ = std::max(last_time_, time);
  if (request_open_ && kind != "reply")
    OnUnansweredRequest();

  if (kind == "start") {
    Instant(kClientTrack, "start", time, Args(event, {"argv", "pid", "hostWindow"}));
  } else if (kind == "step") {
    CloseStep(time);
    step_open_ = true;
    step_begin_ = time;
    step_action_ = event["step"]["do"].asString();
    step_name_ = "step " + WriteCompactJson(event["index"]) + ": " + step_action_;
  } else if (kind == "send") {
    Instant(kClientTrack, "send " + event["name"].asString(), time,
            Args(event, {"browser", "args"}));
  } else if (kind == "message") {
    Instant(kRenderTrack, "message " + event["name"].asString(), time,
            Args(event, {"browser", "args"}));
  } else if (kind == "request") {
    request_open_ = true;
    request_ = Args(event, {"time", "kind", "kindName", "browserId", "requestId", "objectId",
                            "text", "problem", "misbehaviour"});
  } else if (kind == "reply") {
    OnReply(event);
  } else if (kind == "hostWindowGone") {
    Instant(kHostWindowTrack, "host window's process died", time, Args(event, {"requestId"}));
  } else if (kind == "release") {
    Instant(kHostWindowTrack, "release object " + WriteCompactJson(event["objectId"]), time,
            Args(event, {"objectId", "releases"}));
  } else if (kind == "ack") {
    OnAck(event);
  } else if (kind == "documentCommand") {
    Instant(kRenderTrack, "execCommand " + event["command"].asString(), time,
            Args(event, {"browser", "frame", "command", "showUI", "value", "result"}));
  } else if (kind == "exit") {
    CloseStep(time);
    Instant(kRenderTrack, "exit", time, Args(event, {"code", "signal", "status", "detail"}));
  } else if (kind == "hostNote") {
    Instant(kHostWindowTrack, "note", time, Args(event, {"text"}));
  } else if (kind == "expectFailed" || kind == "error" || kind == "timeout" || kind == "ipcError" ||
             kind == "otherBrowserCall") {
    Json::Value args(Json::objectValue);
    for (const std::string& name : event.getMemberNames()) {
      if (name != "event" && name != "time")
        args[name] = Preview(event[name]);
    }
    Instant(kClientTrack, kind, time, std::move(args));
  }
  // log and stderr lines are read at the end: their time says nothing.
}

// The render thread waits from the request to the reply; the host window
// answers meanwhile. A flow ties the two slices.
void TraceRecorder::OnReply(const Json::Value& reply) {
  const int64_t end = reply["time"].asInt64();
  if (!request_open_) {
    Instant(kHostWindowTrack, "reply without a request", end,
            Args(reply, {"browserId", "requestId", "text"}));
    return;
  }
  request_open_ = false;
  const int64_t begin = request_["time"].asInt64();
  const std::string name = RequestName(request_);
  const uint64_t flow = next_flow_id_++;
  Json::Value request_args = request_;
  request_args.removeMember("time");
  request_args["flow"] = static_cast<Json::UInt64>(flow);
  Slice(kRenderTrack, name, begin, end, std::move(request_args));
  recent_requests_.emplace_back(begin, end);
  EndLastCommandBefore(begin, end);
  Json::Value reply_args = Args(reply, {"kind", "browserId", "requestId", "delivered", "text"});
  reply_args["flow"] = static_cast<Json::UInt64>(flow);
  Slice(kHostWindowTrack, "answer " + name, begin, end, std::move(reply_args));
  // Inside both slices (not on their edges), so that each flow end binds
  // to its own slice.
  const int64_t middle = begin + (end - begin) / 2;
  Flow("s", kRenderTrack, middle, flow);
  Flow("f", kHostWindowTrack, middle, flow);
}

// A request that got no reply (withheld, one that needs none, a release)
// is a moment of the render process.
void TraceRecorder::OnUnansweredRequest() {
  request_open_ = false;
  const int64_t time = request_["time"].asInt64();
  Json::Value args = request_;
  args.removeMember("time");
  Instant(kRenderTrack, RequestName(request_) + " (no reply)", time, std::move(args));
}

// A command runs in the render process from its sending to its result.
// The runner sees both a little late: a request the render process made
// just before the command reached it, or just after its result left (a
// release after a collection), would overlap the command's edge. Such a
// request is not the command's: the command is shown to start after it
// ends, or to end where it starts, so slices nest as they must.
void TraceRecorder::OnAck(const Json::Value& ack) {
  int64_t end = ack["time"].asInt64();
  int64_t begin = end - ack["duration"].asInt64();
  for (const auto& [request_begin, request_end] : recent_requests_) {
    if (request_begin < begin && request_end > begin && request_end <= end)
      begin = request_end;
    if (request_begin >= begin && request_begin < end && request_end > end)
      end = request_begin;
  }
  recent_requests_.clear();
  const std::string name = step_action_.empty() ? std::string("command") : step_action_;
  has_command_ = true;
  last_command_ = events_.size();
  Slice(kRenderTrack, name, begin, end, Args(ack, {"step", "outcome", "detail"}));
  if (step_action_ == "collectGarbage")
    Instant(kRenderTrack, "GC", end, Args(ack, {"outcome"}));
}

// A request written after the command's result that began before it, as
// seen by the runner, came after the command ended in the render process.
void TraceRecorder::EndLastCommandBefore(int64_t request_begin, int64_t request_end) {
  if (!has_command_)
    return;
  Json::Value& command = events_[last_command_];
  const int64_t begin = command["ts"].asInt64();
  const int64_t end = begin + command["dur"].asInt64();
  if (request_begin >= begin && request_begin < end && request_end > end)
    command["dur"] = static_cast<Json::Int64>(request_begin - begin);
}

Json::Value TraceRecorder::Finish() {
  if (request_open_)
    OnUnansweredRequest();
  CloseStep(last_time_);
  Json::Value trace(Json::objectValue);
  trace["traceEvents"] = events_;
  trace["displayTimeUnit"] = "ms";
  return trace;
}

bool TraceRecorder::Write(std::ostream& out) {
  out << WriteCompactJson(Finish()) << '\n';
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace host
}  // namespace nuv
