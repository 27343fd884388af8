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
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "cef/ipc/monotonic_clock.h"
#include "cef/ipc/wire_text.h"
#include "host/browser/render_process.h"
#include "host/client/expectation_checker.h"
#include "host/client/host_window_relay.h"
#include "host/client/interruption.h"
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
// How long a step waits for the host window's thread to catch up.
constexpr int kHostWindowBarrierMs = 1000;
// Reply packets larger than this are shown cut in the transcript.
constexpr size_t kShownReplyBytes = 1024 * 1024;
constexpr size_t kCutReplyBytes = 1024;

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
      : scenario_(scenario), options_(options), transcript_(transcript) {
    interruption::RegisterDirectory(scratch_.path());
  }
  ~Runner();

  RunOutcome Run(std::string* error);
  RunVerdict Verdict() const;

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
  void KeepFiles();
  void RunExpect(const Step& step);
  void SettleExpectation(const Step& step);
  void Disconnect(const Step& step);
  // The exit event, then the log file and the sub-process's diagnostics.
  void ReportEnd(const ExitStatus& status, const std::string& still_running);
  int64_t FrameId(const std::string& frame);

  // Writes what happened since the last call, in order.
  void Drain();
  void DrainRequests();
  void DrainMessages();
  void DrainOthers();
  void ForwardOtherBrowserCalls(const Step& step);
  void StepError(const Step& step, const std::string& message);
  void Add(Json::Value event);
  // Gives the event its "time" (µs since the run began) unless it has one.
  void Stamp(Json::Value* event) const;
  Json::Int64 SinceStart(int64_t clock_us) const { return clock_us - started_us_; }
  bool StartRelay(std::string* error);
  void AddReply(const LoggedRequest& entry);

  const Scenario& scenario_;
  const RunnerOptions& options_;
  Transcript* transcript_;
  // Every event's time counts from here; a command's duration from when it
  // was sent (the clock of the host window's request log).
  const int64_t started_us_ = RequestClockNowUs();
  int64_t command_began_us_ = 0;

  // The log file and the sub-process's stderr.
  ScratchDirectory scratch_{"nuv-client"};
  std::string log_path_;
  std::string stderr_path_;
  HostWindow window_;
  // The host window's own process, for "exitOnRequest".
  std::unique_ptr<HostWindowRelay> relay_;
  std::unique_ptr<RenderProcess> process_;
  bool ended_ = false;
  Placeholders placeholders_;
  std::map<std::string, int64_t> frame_ids_;

  ExpectationChecker checker_;
  // Expectations of events that only the end brings (exit code, log),
  // met before the process ended: settled once it has.
  std::vector<Step> deferred_;

  // Names of the process messages no wait has taken yet.
  std::deque<std::string> unawaited_;

  std::mutex mutex_;  // guards the two queues the host window thread fills
  std::deque<OtherBrowserCall> other_calls_;
  std::deque<std::string> host_notes_;
};

Runner::~Runner() {
  if (process_) {
    const int pid = process_->pid();
    process_.reset();
    interruption::UnregisterChild(pid);
  }
  // The host window first: stopping it cuts a delayed answer short, which
  // frees a relay forwarding that request. The relay then sees its control
  // socket close and ends, removing its window; it is not killed on a
  // signal, so that no window is left behind.
  window_.Stop();
  relay_.reset();
  interruption::UnregisterDirectory(scratch_.path());
}

RunOutcome Runner::Run(std::string* error) {
  if (scratch_.path().empty()) {
    *error = "cannot create a temporary directory";
    return RunOutcome::kStartFailed;
  }
  std::string objects_error;
  if (!window_.objects().Load(scenario_.host, &objects_error)) {
    *error = "host: " + objects_error;
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
  checker_.Plan(scenario_.expectations);
  if (!window_.Start()) {
    *error = "cannot create the host window";
    return RunOutcome::kStartFailed;
  }
  placeholders_.set_host_window(window_.handle());
  if (window_.objects().UsesExitOnRequest() && !StartRelay(error))
    return RunOutcome::kStartFailed;

  RenderProcessOptions process_options;
  process_options.executable = options_.subprocess_path;
  process_options.process_type = scenario_.start.with_type ? scenario_.start.type : std::string();
  process_options.uncaught_exception_stack_size = scenario_.start.uncaught_exception_stack_size;
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
  if (process_options.uncaught_exception_stack_size > 0)
    start["argv"].append(UncaughtExceptionStackSizeSwitch(process_options));
  start["hostWindow"] = relay_ ? relay_->handle() : window_.handle();
  if (relay_)
    start["hostWindowProcess"] = relay_->pid();
  if (!scenario_.description.empty())
    start["description"] = scenario_.description;

  std::string start_error;
  process_ = RenderProcess::Start(process_options, &start_error);
  if (!process_) {
    *error = "cannot start " + options_.subprocess_path + ": " + start_error;
    return RunOutcome::kStartFailed;
  }
  interruption::RegisterChild(process_->pid());
  start["pid"] = process_->pid();
  Add(start);
  if (process_options.process_type == "renderer")
    process_->WaitForHello(options_.start_timeout_ms);
  Drain();

  for (size_t i = 0; i < scenario_.step_count() && !interruption::Requested(); ++i) {
    checker_.BeforeStep(i + 1);
    Step step;
    std::string step_error;
    const bool readable = scenario_.StepAt(i, &step, &step_error);
    Json::Value event = Event("step");
    event["index"] = static_cast<Json::UInt64>(i + 1);
    if (readable)
      ParseJson(step.source, &event["step"], nullptr);
    Add(event);
    if (readable) {
      RunStep(step);
    } else {
      step.index = i + 1;
      StepError(step, step_error);
    }
    Drain();
  }
  if (interruption::Requested()) {
    KeepFiles();  // what the log says so far is why one keeps a run
    return RunOutcome::kInterrupted;
  }
  if (!ended_)
    End();
  KeepFiles();
  return RunOutcome::kRan;
}

void Runner::KeepFiles() {
  if (options_.keep_dir.empty())
    return;
  for (const std::string& path : {log_path_, stderr_path_}) {
    std::ifstream from(path, std::ios::binary);
    if (path.empty() || !from)
      continue;
    const std::string name = path.substr(path.rfind('/') + 1);
    std::ofstream to(options_.keep_dir + "/" + name, std::ios::binary | std::ios::trunc);
    if (from.peek() != std::ifstream::traits_type::eof())
      to << from.rdbuf();  // (an empty source would set failbit on `to`)
    to.flush();
    if (!to) {
      Json::Value event = Event("error");
      event["message"] = "cannot keep " + name + " in " + options_.keep_dir;
      Add(event);
    }
  }
}

// The sub-process talks to the relay; killing it inside a request is the
// death of the host window's process.
bool Runner::StartRelay(std::string* error) {
  std::string path = options_.relay_path;
  if (path.empty()) {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n > 0)
      path.assign(buffer, static_cast<size_t>(n));
  }
  relay_ = HostWindowRelay::Start(path, window_.handle(), error);
  if (!relay_)
    return false;
  HostWindowRelay* relay = relay_.get();
  window_.SetExitOnRequestHandler([relay] { relay->KillNow(); });
  placeholders_.set_host_window(relay_->handle());
  return true;
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

void Runner::Stamp(Json::Value* event) const {
  if (!event->isMember("time"))
    (*event)["time"] = SinceStart(RequestClockNowUs());
}

// Every event of the run passes here, in order, exactly once: the place to
// give events what all of them carry (their time), before they are written
// and before expectations look at them.
void Runner::Add(Json::Value event) {
  Stamp(&event);
  transcript_->Add(event);
  std::vector<Json::Value> failures;
  checker_.Observe(event, &failures);
  for (Json::Value& failure : failures) {
    Stamp(&failure);
    transcript_->Add(failure);
  }
}

RunVerdict Runner::Verdict() const {
  RunVerdict verdict;
  verdict.failed_expectations = checker_.failed_expectations();
  verdict.unexpected_problems = checker_.UnexpectedProblems();
  verdict.first_failures = checker_.first_failures();
  return verdict;
}

void Runner::RunStep(const Step& step) {
  if (step.kind == StepKind::kExpect) {
    RunExpect(step);
    return;
  }
  if (ended_) {
    StepError(step, "the sub-process has already ended");
    return;
  }
  const std::u16string script = cefipc::Utf8ToUtf16(step.script);
  command_began_us_ = RequestClockNowUs();
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
    case StepKind::kDisconnect:
      Disconnect(step);
      break;
    case StepKind::kExpect:
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
  command_began_us_ = RequestClockNowUs();
  Add(event);
  AwaitAck(step, process_->SendProcessMessage(browser, cefipc::Utf8ToUtf16(name), args));
  return true;
}

void Runner::AwaitAck(const Step& step, uint32_t sequence) {
  const CommandResult result = process_->WaitForAck(sequence, step.timeout_ms);
  Drain();
  const int64_t now = RequestClockNowUs();
  Json::Value event = Event("ack");
  event["time"] = SinceStart(now);
  event["duration"] = static_cast<Json::Int64>(now - command_began_us_);
  event["step"] = static_cast<Json::UInt64>(step.index);
  event["outcome"] = OutcomeName(result.outcome);
  if (!result.detail.empty())
    event["detail"] = result.detail;
  Add(event);
}

// An expect step looks at the events seen so far and, for `within` ms,
// at those still coming. Events that only the end brings are looked for
// once the process has ended.
void Runner::RunExpect(const Step& step) {
  const Expectation& expectation = *step.expectation;
  if (expectation.absent) {
    Json::Value failure;
    if (!checker_.StartWatch(step.index, step.expectation, &failure))
      Add(failure);
    return;
  }
  if (ArrivesAtEnd(expectation.kind) && !ended_) {
    deferred_.push_back(step);
    return;
  }
  SettleExpectation(step);
}

void Runner::SettleExpectation(const Step& step) {
  const Expectation& expectation = *step.expectation;
  const int64_t deadline = cefipc::MonotonicNowMs() + expectation.within_ms;
  int needed = expectation.count;
  for (;;) {
    Drain();
    needed = checker_.Consume(expectation, needed);
    const int64_t left = deadline - cefipc::MonotonicNowMs();
    if (needed == 0 || left <= 0 || ended_ || !process_->is_connected() ||
        interruption::Requested())
      break;
    process_->Pump(static_cast<int>(std::min<int64_t>(left, kPumpSliceMs)));
  }
  if (needed > 0)
    Add(checker_.Failure(step.index, expectation, expectation.count - needed));
  checker_.Finish(expectation);
}

void Runner::RunWait(const Step& step) {
  const int64_t deadline =
      cefipc::MonotonicNowMs() + (step.kind == StepKind::kWaitTime ? step.ms : step.timeout_ms);
  for (;;) {
    Drain();
    if (step.kind == StepKind::kWaitForMessage) {
      const auto found = std::find(unawaited_.begin(), unawaited_.end(), step.name);
      if (found != unawaited_.end()) {
        unawaited_.erase(found);
        return;
      }
    } else if (step.kind == StepKind::kWaitForCount &&
               unawaited_.size() >= static_cast<size_t>(step.count)) {
      unawaited_.erase(unawaited_.begin(), unawaited_.begin() + step.count);
      return;
    }
    const int64_t left = deadline - cefipc::MonotonicNowMs();
    if (left <= 0 || interruption::Requested())
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
  ReportEnd(process_->End(options_.end_timeout_ms), "still running after the end; killed");
}

// The client goes away without a word, as one that crashes or is killed
// does: its host window (unless kept) and its end of the IPC socket close,
// and the render process must end on its own.
void Runner::Disconnect(const Step& step) {
  if (!step.keep_host_window)
    window_.Stop();
  process_->CloseConnection();
  ReportEnd(process_->WaitForExit(step.timeout_ms), "still running " +
                                                        std::to_string(step.timeout_ms) +
                                                        " ms after the client went away; killed");
}

void Runner::ReportEnd(const ExitStatus& status, const std::string& still_running) {
  ended_ = true;
  Drain();
  Json::Value event = Event("exit");
  event["time"] = SinceStart(RequestClockNowUs());
  event["duration"] = event["time"];  // the whole run
  if (status.exited()) {
    event["code"] = status.exit_code;
  } else if (status.signaled()) {
    event["signal"] = status.signal;
  } else {
    process_->Kill(9);
    event["detail"] = still_running;
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
  std::vector<Step> deferred;
  deferred.swap(deferred_);
  for (const Step& step : deferred)
    SettleExpectation(step);
}

void Runner::Drain() {
  DrainRequests();
  DrainMessages();
  DrainOthers();
}

void Runner::DrainRequests() {
  // Taken out of the log, not copied: the runner keeps no packet once its
  // events are written.
  for (const LoggedRequest& entry : window_.requests().Take()) {
    Json::Value request = Event("request");
    request["time"] = SinceStart(entry.received_us);
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
    if (!entry.misbehaviour.empty())
      request["misbehaviour"] = entry.misbehaviour;
    Add(request);
    placeholders_.ScanText(entry.text);
    if (entry.process_ended) {
      Json::Value gone = Event("hostWindowGone");
      gone["time"] = SinceStart(entry.answered_us);
      gone["requestId"] = entry.request_id;
      gone["detail"] =
          "the host window's process ended inside the request (exitOnRequest); later "
          "requests cannot reach it";
      Add(gone);
    } else if (entry.replied || (!entry.reply_raw.empty() && !entry.no_reply)) {
      AddReply(entry);
    }
    if (entry.kind == kBridgeReleaseObject) {
      Json::Value release = Event("release");
      release["time"] = SinceStart(entry.received_us);
      release["objectId"] = entry.object_id;
      release["releases"] = window_.objects().ReleaseCount(entry.object_id);
      Add(release);
    }
  }
}

// A reply as sent (its header may differ from the request's on purpose).
// Very large packets are shown cut, with their size.
void Runner::AddReply(const LoggedRequest& entry) {
  Json::Value reply = Event("reply");
  reply["time"] = SinceStart(entry.answered_us);
  reply["duration"] = static_cast<Json::Int64>(entry.answered_us - entry.received_us);
  reply["kind"] = static_cast<Json::UInt64>(entry.reply_kind);
  reply["browserId"] = entry.reply_browser_id;
  reply["requestId"] = entry.reply_request_id;
  reply["delivered"] = entry.replied;
  if (entry.replies_sent > 1)
    reply["copies"] = entry.replies_sent;
  if (entry.reply_window != entry.helper_window)
    reply["window"] = entry.reply_window;
  if (entry.reply_raw.size() <= kShownReplyBytes) {
    reply["text"] = entry.reply_text;
    reply["bytes"] = Hex(entry.reply_raw);
  } else {
    reply["text"] = entry.reply_text.substr(0, kCutReplyBytes);
    reply["bytes"] = Hex(
        std::vector<uint8_t>(entry.reply_raw.begin(), entry.reply_raw.begin() + kCutReplyBytes));
    reply["size"] = static_cast<Json::UInt64>(entry.reply_raw.size());
    reply["cut"] = true;
  }
  Add(reply);
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
    unawaited_.push_back(cefipc::Utf16ToUtf8(message.name));
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
  if (ended_ || interruption::Requested())
    return;  // (the host window may be inside a long delayMs)
  // The host window queues a call on its thread before it replies, so once
  // a task queued now has run, every call the step caused is queued here.
  auto barrier = std::make_shared<std::promise<void>>();
  std::future<void> passed = barrier->get_future();
  window_.Post([barrier] { barrier->set_value(); });
  passed.wait_for(std::chrono::milliseconds(kHostWindowBarrierMs));
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

std::string RunVerdict::Summary() const {
  std::string text;
  if (failed_expectations > 0)
    text = std::to_string(failed_expectations) +
           (failed_expectations == 1 ? " expectation failed" : " expectations failed");
  for (const std::string& problem : unexpected_problems)
    text += (text.empty() ? "" : "; ") + problem;
  return text;
}

RunOutcome RunScenario(const Scenario& scenario,
                       const RunnerOptions& options,
                       Transcript* transcript,
                       std::string* error,
                       RunVerdict* verdict) {
  try {
    Runner runner(scenario, options, transcript);
    const RunOutcome outcome = runner.Run(error);
    if (verdict)
      *verdict = runner.Verdict();
    return outcome;
  } catch (const std::exception& e) {
    *error = std::string("the run failed: ") + e.what();
  } catch (...) {
    *error = "the run failed";
  }
  return RunOutcome::kStartFailed;
}

}  // namespace host
}  // namespace nuv
