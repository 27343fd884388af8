#include "host/client/html_recorder.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "host/client/html_text.h"
#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

constexpr size_t kMaxLabelBytes = 60;
constexpr size_t kMaxNoteBytes = 36;
constexpr size_t kBytesPreviewChars = 3 * 64;  // 64 packet bytes as hex

std::string Cut(const std::string& text, size_t max_bytes) {
  bool cut = false;
  std::string result = CutUtf8(text, max_bytes, &cut);
  if (cut)
    result += "…";
  return result;
}

std::string SizeNote(size_t size) {
  return " [cut: " + std::to_string(size) + " bytes in all]";
}

// Every string of `value` cut at `max_bytes`, so that a huge packet costs
// no more than a small one to show.
Json::Value CutStrings(const Json::Value& value, size_t max_bytes) {
  if (value.isString()) {
    const std::string text = value.asString();
    bool cut = false;
    std::string result = CutUtf8(text, max_bytes, &cut);
    return cut ? Json::Value(result + SizeNote(text.size())) : value;
  }
  if (!value.isArray() && !value.isObject())
    return value;
  Json::Value result = value;
  for (auto it = result.begin(); it != result.end(); ++it)
    *it = CutStrings(*it, max_bytes);
  return result;
}

// A text that holds a JSON object or array (a value record, an argument
// list) as that JSON; any other value as it is.
Json::Value DecodedText(const Json::Value& value) {
  if (!value.isString())
    return value;
  const std::string text = value.asString();
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || (text[first] != '{' && text[first] != '['))
    return value;
  Json::Value parsed;
  if (!ParseJson(text, &parsed, nullptr) || !(parsed.isObject() || parsed.isArray()))
    return value;
  return parsed;
}

bool IsContainer(const Json::Value& value) {
  return value.isArray() || value.isObject();
}

// A short array or object of plain values fits on one line.
bool FitsOnOneLine(const Json::Value& value) {
  if (value.size() > 8)
    return false;
  for (const Json::Value& member : value) {
    if (IsContainer(member) || (member.isString() && member.asString().size() > 24))
      return false;
  }
  return true;
}

// JSON indented by two spaces per level, written until `out` holds
// `max_bytes` (the rest would be cut anyway).
void AppendPrettyJson(const Json::Value& value, size_t depth, size_t max_bytes, std::string* out) {
  if (!IsContainer(value) || value.empty() || FitsOnOneLine(value)) {
    *out += WriteCompactJson(value);
    return;
  }
  const bool array = value.isArray();
  const std::string inner(2 * (depth + 1), ' ');
  *out += array ? "[\n" : "{\n";
  bool first = true;
  for (auto it = value.begin(); it != value.end() && out->size() <= max_bytes; ++it) {
    *out += first ? "" : ",\n";
    first = false;
    *out += inner;
    if (!array)
      *out += WriteCompactJson(Json::Value(it.name())) + ": ";
    AppendPrettyJson(*it, depth + 1, max_bytes, out);
  }
  *out += "\n" + std::string(2 * depth, ' ') + (array ? "]" : "}");
}

std::string Text(const Json::Value& value) {
  return value.isString() ? value.asString() : WriteCompactJson(value);
}

// What a request was about, in a few words: the property or method name of
// its record, or its plain text (a property name).
std::string RequestNote(const Json::Value& event) {
  const Json::Value decoded = DecodedText(event["text"]);
  if (decoded.isObject()) {
    for (const char* name : {"methodName", "propertyName"}) {
      if (decoded[name].isString())
        return decoded[name].asString();
    }
    return "";
  }
  return decoded.isString() ? decoded.asString() : "";
}

std::string ReplyNote(const Json::Value& event) {
  std::string note = std::to_string(event["duration"].asInt64()) + " µs";
  if (event.isMember("delivered") && !event["delivered"].asBool())
    note += ", not delivered";
  if (event["copies"].asInt() > 1)
    note += ", " + std::to_string(event["copies"].asInt()) + " copies";
  return note;
}

SequenceRow Mark(const std::string& kind, Lifeline on, const std::string& label) {
  SequenceRow row;
  row.kind = kind;
  row.from = row.to = on;
  row.label = label;
  return row;
}

SequenceRow Arrow(const std::string& kind, Lifeline from, Lifeline to, const std::string& label) {
  SequenceRow row = Mark(kind, from, label);
  row.arrow = true;
  row.to = to;
  return row;
}

// The row of one event, or false when the event is not drawn.
bool RowOf(const Json::Value& event, SequenceRow* row) {
  const std::string kind = event["event"].asString();
  const std::string step = "step " + Text(event["step"]);
  if (kind == "send") {
    *row = Arrow(kind, Lifeline::kClient, Lifeline::kRender, event["name"].asString());
  } else if (kind == "message") {
    *row = Arrow(kind, Lifeline::kRender, Lifeline::kClient, event["name"].asString());
  } else if (kind == "request") {
    *row = Arrow(kind, Lifeline::kRender, Lifeline::kHostWindow,
                 event["kindName"].asString() + " #" + Text(event["requestId"]));
    row->note = RequestNote(event);
    row->trouble = event.isMember("problem");
  } else if (kind == "reply") {
    *row =
        Arrow(kind, Lifeline::kHostWindow, Lifeline::kRender, "reply #" + Text(event["requestId"]));
    row->note = ReplyNote(event);
  } else if (kind == "step") {
    const std::string action = event["step"]["do"].asString();
    *row = Mark(kind, Lifeline::kClient, "step " + Text(event["index"]) + " " + action);
    row->quiet = action == "expect";
  } else if (kind == "start") {
    *row = Mark(kind, Lifeline::kClient, "start");
    row->note = "pid " + Text(event["pid"]);
  } else if (kind == "release") {
    *row = Mark(kind, Lifeline::kHostWindow, "release object " + Text(event["objectId"]));
    row->note = "release " + Text(event["releases"]);
  } else if (kind == "ack") {
    if (event["outcome"].asString() == "done")
      return false;
    *row = Mark(kind, Lifeline::kClient, step + ": " + event["outcome"].asString());
    row->trouble = event["outcome"].asString() != "declined";
  } else if (kind == "documentCommand") {
    *row = Mark(kind, Lifeline::kRender, "execCommand " + event["command"].asString());
    row->note = "→ " + Text(event["result"]);
  } else if (kind == "exit") {
    *row = Mark(kind, Lifeline::kRender, "exit");
    row->note = event["status"].asString();
  } else if (kind == "hostNote" || kind == "hostWindowGone") {
    *row = Mark(kind, Lifeline::kHostWindow,
                kind == "hostNote" ? "note" : "host window's process died");
    row->note = kind == "hostNote" ? event["text"].asString() : "";
    row->trouble = true;
  } else if (kind == "otherBrowserCall") {
    *row = Mark(kind, Lifeline::kClient, "call for browser " + Text(event["browserId"]));
  } else if (kind == "expectFailed" || kind == "error" || kind == "timeout" || kind == "ipcError") {
    *row = Mark(kind, Lifeline::kClient, event.isMember("step") ? step + ": " + kind : kind);
    row->trouble = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string DecodedPayload(const Json::Value& event, size_t max_bytes) {
  Json::Value shown = CutStrings(event, max_bytes);
  if (shown.isMember("text"))
    shown["text"] = DecodedText(shown["text"]);
  if (shown.isMember("args") && shown["args"].isArray()) {
    for (Json::Value& arg : shown["args"])
      arg = DecodedText(arg);
  }
  if (shown.isMember("arguments"))
    shown["arguments"] = DecodedText(shown["arguments"]);
  if (event["bytes"].isString() && event["bytes"].asString().size() > kBytesPreviewChars) {
    const std::string bytes = event["bytes"].asString();
    shown["bytes"] = bytes.substr(0, kBytesPreviewChars) + "... [" +
                     std::to_string((bytes.size() + 1) / 3) + " bytes in all]";
  }
  std::string text;
  AppendPrettyJson(shown, 0, max_bytes, &text);
  bool cut = false;
  std::string result = CutUtf8(text, max_bytes, &cut);
  if (cut)
    result += "\n... [cut at " + std::to_string(max_bytes) +
              " bytes; the transcript has the whole event]";
  return result;
}

HtmlRecorder::HtmlRecorder(const std::string& title) {
  page_.title = "nuv_client run " + title;
}

void HtmlRecorder::Observe(const Json::Value& event) {
  const std::string kind = event["event"].asString();
  ++counts_[kind];
  if (event["time"].isIntegral())
    last_time_ = std::max<int64_t>(last_time_, event["time"].asInt64());
  if (kind == "exit")
    exit_status_ = event["status"].asString();
  if (kind == "log" || kind == "stderr") {
    AddLogLine((kind == "stderr" ? "stderr: " : "") + event["line"].asString());
    return;
  }
  if (kind == "logFile" && event.isMember("exists") && !event["exists"].asBool())
    page_.log_note = "The sub-process wrote no log file.";
  SequenceRow row;
  if (RowOf(event, &row))
    AddRow(std::move(row), event);
}

void HtmlRecorder::AddRow(SequenceRow row, const Json::Value& event) {
  if (page_.rows.size() >= kMaxRows) {
    ++omitted_rows_;
    return;
  }
  row.label = Cut(row.label, kMaxLabelBytes);
  row.note = Cut(row.note, kMaxNoteBytes);
  row.time = event["time"].asInt64();
  if (payload_bytes_ < kPayloadBudget) {
    row.payload = DecodedPayload(event, kMaxPayloadBytes);
    payload_bytes_ += EscapeHtml(row.payload).size();
  } else {
    row.payload = "[not kept: the page's payloads reached " + std::to_string(kPayloadBudget >> 20) +
                  " MiB; the transcript has the whole event]";
  }
  page_.rows.push_back(std::move(row));
}

void HtmlRecorder::AddLogLine(const std::string& line) {
  if (page_.log_lines.size() >= kMaxLogLines) {
    ++omitted_log_lines_;
    return;
  }
  page_.log_lines.push_back(Cut(line, kMaxLogLineBytes));
}

std::string HtmlRecorder::Summary() const {
  const auto count = [this](const char* kind, const char* one, const char* many) {
    const auto it = counts_.find(kind);
    const size_t n = it == counts_.end() ? 0 : it->second;
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string summary =
      count("step", "step", "steps") + " · " + count("send", "message sent", "messages sent") +
      " · " + count("message", "received", "received") + " · " +
      count("request", "bridge request", "bridge requests") + " · " +
      count("reply", "reply", "replies") + " · " + count("release", "release", "releases");
  char took[48];
  snprintf(took, sizeof(took), "%.1f ms", static_cast<double>(last_time_) / 1000.0);
  summary +=
      " · " + (exit_status_.empty() ? std::string("no exit seen") : exit_status_) + " · " + took;
  return summary;
}

SequencePage HtmlRecorder::Finish() const {
  SequencePage page = page_;
  page.summary = Summary();
  // Lines are in the order the runner learned of events; the diagram shows
  // the order they happened in.
  std::stable_sort(page.rows.begin(), page.rows.end(),
                   [](const SequenceRow& a, const SequenceRow& b) { return a.time < b.time; });
  if (omitted_rows_ > 0) {
    page.omitted = "Only the first " + std::to_string(kMaxRows) + " events are drawn; " +
                   std::to_string(omitted_rows_) +
                   " more are in the transcript (--keep DIR keeps it).";
  }
  if (omitted_log_lines_ > 0) {
    page.log_note += (page.log_note.empty() ? "" : " ") + std::to_string(omitted_log_lines_) +
                     " more lines are in the log file (--keep DIR keeps it).";
  }
  return page;
}

bool HtmlRecorder::Write(std::ostream& out) const {
  return WriteSequencePage(Finish(), out);
}

}  // namespace host
}  // namespace nuv
