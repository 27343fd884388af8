// The scenario runner. Everything runs on the calling thread except the host
// window, which answers bridge requests on a thread of its own and logs each
// one before its handler returns. Events of the two channels are merged in
// the order this thread reads them: after every wait, first the bridge
// requests that were answered meanwhile, then the process messages. A
// render thread is blocked while its request is being answered, so a
// request always appears before the messages its command sends afterwards.
#include "host/client/scenario_runner.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "cef/ipc/monotonic_clock.h"
#include "cef/ipc/wire_text.h"
#include "host/browser/render_process.h"
#include "host/client/json_util.h"
#include "host/client/log_file_reader.h"
#include "host/client/placeholders.h"
#include "host/client/scratch_directory.h"
#include "host/window/bridge_packet.h"
#include "host/window/host_window.h"

namespace nuv {
namespace host {
namespace {

using cefipc::WireList;
using cefipc::WireValue;

// A page calling itself through another browser's function could forward
// calls forever; one step forwards at most this many.
constexpr int kMaxForwardedCallsPerStep = 64;
// Granularity of the waits, so that events are written as they come.
constexpr int kPumpSliceMs = 20;

bool JsonToWire(const Json::Value& value, WireValue* out, int depth) {
  if (depth > 16)
    return false;
  if (value.isNull()) {
    *out = WireValue::Null();
  } else if (value.isBool()) {
    *out = WireValue::Bool(value.asBool());
  } else if (IsInt32(value)) {
    *out = WireValue::Int(value.asInt());
  } else if (value.isNumeric()) {
    *out = WireValue::Double(value.asDouble());
  } else if (value.isString()) {
    *out = WireValue::String(cefipc::Utf8ToUtf16(value.asString()));
  } else if (value.isArray()) {
    WireList list;
    for (const Json::Value& element : value) {
      WireValue item;
      if (!JsonToWire(element, &item, depth + 1))
        return false;
      list.push_back(std::move(item));
    }
    *out = WireValue::List(std::move(list));
  } else {
    return false;
  }
  return true;
}

Json::Value WireToJson(const WireValue& value) {
  switch (value.type()) {
    case WireValue::Type::kNull:
      return Json::Value();
    case WireValue::Type::kBool:
      return Json::Value(value.GetBool());
    case WireValue::Type::kInt:
      return Json::Value(value.GetInt());
    case WireValue::Type::kDouble:
      return Json::Value(value.GetDouble());
    case WireValue::Type::kString:
      return Json::Value(cefipc::Utf16ToUtf8(value.GetString()));
    case WireValue::Type::kList: {
      Json::Value list(Json::arrayValue);
      for (const WireValue& element : value.GetList())
        list.append(WireToJson(element));
      return list;
    }
  }
  return Json::Value();
}

Json::Value WireListToJson(const WireList& list) {
  Json::Value out(Json::arrayValue);
  for (const WireValue& value : list)
    out.append(WireToJson(value));
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  return HexBytes(std::string(bytes.begin(), bytes.end()));
}

Json::Value Event(const char* kind) {
  Json::Value event(Json::objectValue);
  event["event"] = kind;
  return event;
}

const char* OutcomeName(CommandResult::Outcome outcome) {
  switch (outcome) {
    case CommandResult::Outcome::kDone:
      return "done";
    case CommandResult::Outcome::kDeclined:
      return "declined";
    case CommandResult::Outcome::kRefused:
      return "refused";
    case CommandResult::Outcome::kNotSent:
      return "notSent";
    case CommandResult::Outcome::kTimeout:
      return "timeout";
    case CommandResult::Outcome::kProcessGone:
      return "processGone";
  }
  return "unknown";
}

class Runner {
 public:
  Runner(const Scenario& scenario, const RunnerOptions& options, Transcript* transcript)
      : scenario_(scenario), options_(options), transcript_(transcript) {}

  RunOutcome Run(std::string* error);

 private:
  std::vector<std::string> BuildSwitches(std::string* error);
  void RunStep(const Step& step);
  void RunWait(const Step& step);
  void AwaitAck(const Step& step, uint32_t sequence);
  bool SendMessage(const Step& step,
                   int32_t browser,
                   const std::string& name,
                   const WireList& args);
  void End();
  int64_t FrameId(const std::string& frame);

  // Writes what happened since the last call, in order.
  void Drain();
  void DrainRequests();
  void DrainMessages();
  void DrainOthers();
  void ForwardOtherBrowserCalls(const Step& step);
  void StepError(const Step& step, const std::string& message);
  void Add(const Json::Value& event) { transcript_->Add(event); }

  const Scenario& scenario_;
  const RunnerOptions& options_;
  Transcript* transcript_;

  // The log file and the sub-process's stderr.
  ScratchDirectory scratch_{"nuv-client"};
  std::string log_path_;
  std::string stderr_path_;
  HostWindow window_;
  std::unique_ptr<RenderProcess> process_;
  bool ended_ = false;
  Placeholders placeholders_;
  std::map<std::string, int64_t> frame_ids_;

  size_t requests_seen_ = 0;
  struct Received {
    std::string name;
    bool consumed = false;
  };
  std::vector<Received> received_;

  std::mutex mutex_;  // guards the two queues the host window thread fills
  std::deque<OtherBrowserCall> other_calls_;
  std::deque<std::string> host_notes_;
};

RunOutcome Runner::Run(std::string* error) {
  if (scratch_.path().empty()) {
    *error = "cannot create a temporary directory";
    return RunOutcome::kStartFailed;
  }
  std::string objects_error;
  if (!window_.objects().Load(scenario_.host, &objects_error)) {
    *error = "the host objects are not valid: " + objects_error;
    return RunOutcome::kBadScenario;
  }
  window_.SetLogHandler([this](const std::string& line) {
    std::lock_guard<std::mutex> hold(mutex_);
    host_notes_.push_back(line);
  });
  window_.SetOtherBrowserCallHandler([this](const OtherBrowserCall& call) {
    std::lock_guard<std::mutex> hold(mutex_);
    other_calls_.push_back(call);
  });
  if (!window_.Start()) {
    *error = "cannot create the host window";
    return RunOutcome::kStartFailed;
  }
  placeholders_.set_host_window(window_.handle());

  RenderProcessOptions process_options;
  process_options.executable = options_.subprocess_path;
  process_options.process_type = scenario_.start.with_type ? scenario_.start.type : std::string();
  process_options.switches = BuildSwitches(error);
  if (!error->empty())
    return RunOutcome::kBadScenario;
  stderr_path_ = scratch_.path() + "/stderr.txt";
  process_options.stderr_path = stderr_path_;

  Json::Value start = Event("start");
  start["argv"].append(options_.subprocess_path);
  if (!process_options.process_type.empty())
    start["argv"].append("--type=" + process_options.process_type);
  for (const std::string& arg : process_options.switches)
    start["argv"].append(arg);
  start["hostWindow"] = window_.handle();
  if (!scenario_.description.empty())
    start["description"] = scenario_.description;

  std::string start_error;
  process_ = RenderProcess::Start(process_options, &start_error);
  if (!process_) {
    *error = "cannot start " + options_.subprocess_path + ": " + start_error;
    return RunOutcome::kStartFailed;
  }
  Add(start);
  if (process_options.process_type == "renderer")
    process_->WaitForHello(options_.start_timeout_ms);
  Drain();

  for (const Step& step : scenario_.steps) {
    Json::Value event = Event("step");
    event["index"] = static_cast<Json::UInt64>(step.index);
    event["step"] = step.source;
    Add(event);
    RunStep(step);
    Drain();
  }
  if (!ended_)
    End();
  return RunOutcome::kRan;
}

std::vector<std::string> Runner::BuildSwitches(std::string* error) {
  error->clear();
  const StartOptions& start = scenario_.start;
  std::vector<std::string> switches;
  if (start.with_handle) {
    std::string handle;
    if (!placeholders_.Expand(start.handle, &handle, error)) {
      *error = "start.handle: " + *error;
      return {};
    }
    switches.push_back("--browser-message-window-handle=" + handle);
  }
  if (start.log_file) {
    log_path_ = scratch_.path() + "/nuv.log";
    switches.push_back("--nuv-log-file=" + log_path_);
  }
  if (!start.temp_path.empty())
    switches.push_back("--nuv-temp-path=" + start.temp_path);
  if (start.debug)
    switches.push_back("/Debug");
  for (const std::string& arg : start.extra_args)
    switches.push_back(arg);
  return switches;
}

int64_t Runner::FrameId(const std::string& frame) {
  if (frame == "main")
    return 1;
  auto found = frame_ids_.find(frame);
  if (found != frame_ids_.end())
    return found->second;
  const int64_t id = static_cast<int64_t>(frame_ids_.size()) + 2;
  frame_ids_[frame] = id;
  return id;
}

void Runner::StepError(const Step& step, const std::string& message) {
  Json::Value event = Event("error");
  event["step"] = static_cast<Json::UInt64>(step.index);
  event["message"] = message;
  Add(event);
}

void Runner::RunStep(const Step& step) {
  if (ended_) {
    StepError(step, "the sub-process has already ended");
    return;
  }
  const std::u16string script = cefipc::Utf8ToUtf16(step.script);
  switch (step.kind) {
    case StepKind::kCreateBrowser:
      AwaitAck(step, process_->CreateBrowser(step.browser));
      break;
    case StepKind::kDestroyBrowser:
      AwaitAck(step, process_->DestroyBrowser(step.browser));
      break;
    case StepKind::kCreateContext:
      AwaitAck(step,
               process_->CreateContext(step.browser, FrameId(step.frame), step.frame == "main",
                                       cefipc::Utf8ToUtf16(step.frame), script));
      break;
    case StepKind::kReleaseContext:
      AwaitAck(step, process_->ReleaseContext(step.browser, FrameId(step.frame)));
      break;
    case StepKind::kRunPageScript:
      AwaitAck(step, process_->RunScript(step.browser, FrameId(step.frame), script));
      break;
    case StepKind::kSendMessage: {
      Json::Value args;
      std::string error;
      WireValue list;
      if (!placeholders_.ExpandValue(step.args, &args, &error)) {
        StepError(step, error);
        break;
      }
      if (!JsonToWire(args, &list, 0)) {
        StepError(step, "the arguments cannot be put into a process message");
        break;
      }
      SendMessage(step, step.browser, step.name, list.GetList());
      break;
    }
    case StepKind::kCollectGarbage:
      AwaitAck(step, process_->CollectGarbage());
      break;
    case StepKind::kWaitForMessage:
    case StepKind::kWaitForCount:
    case StepKind::kWaitTime:
      RunWait(step);
      break;
    case StepKind::kEnd:
      End();
      break;
  }
  ForwardOtherBrowserCalls(step);
}

bool Runner::SendMessage(const Step& step,
                         int32_t browser,
                         const std::string& name,
                         const WireList& args) {
  Json::Value event = Event("send");
  event["browser"] = browser;
  event["name"] = name;
  event["args"] = WireListToJson(args);
  Add(event);
  AwaitAck(step, process_->SendProcessMessage(browser, cefipc::Utf8ToUtf16(name), args));
  return true;
}

void Runner::AwaitAck(const Step& step, uint32_t sequence) {
  const CommandResult result = process_->WaitForAck(sequence, step.timeout_ms);
  Drain();
  Json::Value event = Event("ack");
  event["step"] = static_cast<Json::UInt64>(step.index);
  event["outcome"] = OutcomeName(result.outcome);
  if (!result.detail.empty())
    event["detail"] = result.detail;
  Add(event);
}

void Runner::RunWait(const Step& step) {
  const int64_t deadline =
      cefipc::MonotonicNowMs() + (step.kind == StepKind::kWaitTime ? step.ms : step.timeout_ms);
  for (;;) {
    Drain();
    if (step.kind == StepKind::kWaitForMessage) {
      for (Received& received : received_) {
        if (!received.consumed && received.name == step.name) {
          received.consumed = true;
          return;
        }
      }
    } else if (step.kind == StepKind::kWaitForCount) {
      std::vector<Received*> open;
      for (Received& received : received_) {
        if (!received.consumed)
          open.push_back(&received);
      }
      if (open.size() >= static_cast<size_t>(step.count)) {
        for (int i = 0; i < step.count; ++i)
          open[static_cast<size_t>(i)]->consumed = true;
        return;
      }
    }
    const int64_t left = deadline - cefipc::MonotonicNowMs();
    if (left <= 0)
      break;
    if (step.kind != StepKind::kWaitTime && !process_->is_connected())
      break;
    if (process_->is_connected())
      process_->Pump(static_cast<int>(std::min<int64_t>(left, kPumpSliceMs)));
    else
      usleep(static_cast<useconds_t>(std::min<int64_t>(left, kPumpSliceMs)) * 1000);
  }
  if (step.kind == StepKind::kWaitTime)
    return;
  Json::Value event = Event("timeout");
  event["step"] = static_cast<Json::UInt64>(step.index);
  event["waitingFor"] = step.kind == StepKind::kWaitForMessage
                            ? step.name
                            : std::to_string(step.count) + " message(s)";
  if (!process_->is_connected())
    event["detail"] = "the sub-process closed the connection";
  Add(event);
}

void Runner::End() {
  const ExitStatus status = process_->End(options_.end_timeout_ms);
  ended_ = true;
  Drain();
  Json::Value event = Event("exit");
  if (status.exited()) {
    event["code"] = status.exit_code;
  } else if (status.signaled()) {
    event["signal"] = status.signal;
  } else {
    process_->Kill(9);
    event["detail"] = "still running after the end; killed";
  }
  event["status"] = status.ToString();
  Add(event);

  std::vector<std::string> lines;
  if (log_path_.empty()) {
    // No log file was asked for.
  } else if (!ReadLogFileLines(log_path_, &lines)) {
    Json::Value missing = Event("logFile");
    missing["exists"] = false;
    Add(missing);
  }
  for (const std::string& line : lines) {
    Json::Value log = Event("log");
    log["line"] = line;
    Add(log);
  }
  // The sub-process's own diagnostics (the runtime writes them to stderr).
  std::ifstream diagnostics(stderr_path_);
  std::string line;
  while (std::getline(diagnostics, line)) {
    Json::Value event = Event("stderr");
    event["line"] = line;
    Add(event);
  }
}

void Runner::Drain() {
  DrainRequests();
  DrainMessages();
  DrainOthers();
}

void Runner::DrainRequests() {
  const std::vector<LoggedRequest> entries = window_.requests().Entries();
  for (; requests_seen_ < entries.size(); ++requests_seen_) {
    const LoggedRequest& entry = entries[requests_seen_];
    Json::Value request = Event("request");
    request["kind"] = static_cast<Json::UInt64>(entry.kind);
    request["kindName"] = BridgeKindName(entry.kind);
    request["browserId"] = entry.browser_id;
    request["requestId"] = entry.request_id;
    request["objectId"] = entry.object_id;
    request["helperWindow"] = entry.helper_window;
    request["text"] = entry.text;
    request["bytes"] = Hex(entry.raw);
    if (!entry.problem.empty())
      request["problem"] = entry.problem;
    Add(request);
    placeholders_.ScanText(entry.text);
    if (entry.replied || !entry.reply_raw.empty()) {
      Json::Value reply = Event("reply");
      reply["kind"] = 0;
      reply["browserId"] = entry.browser_id;
      reply["requestId"] = entry.request_id;
      reply["delivered"] = entry.replied;
      reply["text"] = entry.reply_text;
      reply["bytes"] = Hex(entry.reply_raw);
      Add(reply);
    }
    if (entry.kind == kBridgeReleaseObject) {
      Json::Value release = Event("release");
      release["objectId"] = entry.object_id;
      release["releases"] = window_.objects().ReleaseCount(entry.object_id);
      Add(release);
    }
  }
}

void Runner::DrainMessages() {
  if (!process_)
    return;
  for (const ProcessMessage& message : process_->TakeMessages()) {
    Json::Value event = Event("message");
    event["browser"] = message.browser_id;
    event["name"] = cefipc::Utf16ToUtf8(message.name);
    event["args"] = WireListToJson(message.args);
    Add(event);
    for (const WireValue& arg : message.args) {
      if (arg.type() == WireValue::Type::kString)
        placeholders_.ScanText(cefipc::Utf16ToUtf8(arg.GetString()));
    }
    received_.push_back({cefipc::Utf16ToUtf8(message.name), false});
  }
  for (const DocumentCommand& command : process_->TakeDocumentCommands()) {
    Json::Value event = Event("documentCommand");
    event["browser"] = command.browser_id;
    event["frame"] = static_cast<Json::Int64>(command.frame_id);
    event["command"] = cefipc::Utf16ToUtf8(command.command);
    event["showUI"] = command.show_ui;
    event["value"] = cefipc::Utf16ToUtf8(command.value);
    event["result"] = command.result;
    Add(event);
  }
  for (const std::string& error : process_->TakeErrors()) {
    Json::Value event = Event("ipcError");
    event["detail"] = error;
    Add(event);
  }
}

void Runner::DrainOthers() {
  std::deque<std::string> notes;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    notes.swap(host_notes_);
  }
  for (const std::string& note : notes) {
    Json::Value event = Event("hostNote");
    event["text"] = note;
    Add(event);
  }
}

// A page called a function of another browser: the host window has answered
// it already; the function itself runs in its own browser now, called back
// like any page callback.
void Runner::ForwardOtherBrowserCalls(const Step& step) {
  for (int forwarded = 0; forwarded < kMaxForwardedCallsPerStep && !ended_; ++forwarded) {
    OtherBrowserCall call;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (other_calls_.empty())
        return;
      call = other_calls_.front();
      other_calls_.pop_front();
    }
    Json::Value event = Event("otherBrowserCall");
    event["browserId"] = call.browser_id;
    event["objectId"] = call.object_id;
    event["functionName"] = call.function_name;
    event["arguments"] = call.arguments;
    Add(event);
    std::string text = "{\"arguments\":" + WriteCompactJson(call.arguments) +
                       ",\"browserId\":" + std::to_string(call.browser_id) +
                       ",\"objectId\":" + std::to_string(call.object_id) + "}";
    SendMessage(step, call.browser_id, "NuvChromeBrowser_CallDefaultFunction",
                {WireValue::Int(call.browser_id), WireValue::String(u""),
                 WireValue::String(cefipc::Utf8ToUtf16(text))});
  }
}

}  // namespace

RunOutcome RunScenario(const Scenario& scenario,
                       const RunnerOptions& options,
                       Transcript* transcript,
                       std::string* error) {
  try {
    Runner runner(scenario, options, transcript);
    return runner.Run(error);
  } catch (const std::exception& e) {
    *error = std::string("the run failed: ") + e.what();
  } catch (...) {
    *error = "the run failed";
  }
  return RunOutcome::kStartFailed;
}

}  // namespace host
}  // namespace nuv
