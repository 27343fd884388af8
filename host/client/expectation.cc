#include "host/client/expectation.h"

#include <algorithm>

#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

constexpr const char* kOptions[] = {"count", "within", "absent", "until"};

std::string KindList() {
  std::string list;
  for (const std::string& kind : ExpectableKinds())
    list += (list.empty() ? "" : ", ") + kind;
  return list;
}

bool IsKind(const std::string& name) {
  const std::vector<std::string>& kinds = ExpectableKinds();
  return std::find(kinds.begin(), kinds.end(), name) != kinds.end();
}

bool IsOption(const std::string& name) {
  for (const char* option : kOptions) {
    if (name == option)
      return true;
  }
  return name == "do";
}

// A log or stderr line may be given as a bare regular expression.
Json::Value NormalizePattern(const std::string& kind, const Json::Value& pattern) {
  if ((kind == "log" || kind == "stderr") && pattern.isString()) {
    Json::Value normalized(Json::objectValue);
    normalized["line"]["regex"] = pattern;
    return normalized;
  }
  return pattern;
}

bool ReadOptions(const Json::Value& step,
                 size_t step_index,
                 size_t step_total,
                 Expectation* expectation,
                 std::string* error) {
  if (step.isMember("count")) {
    if (!IsInt32(step["count"]) || step["count"].asInt() < 1) {
      *error = "\"count\" must be a positive integer";
      return false;
    }
    expectation->count = step["count"].asInt();
  }
  if (step.isMember("within")) {
    if (!IsInt32(step["within"]) || step["within"].asInt() < 0) {
      *error = "\"within\" must be a number of milliseconds (0 or more)";
      return false;
    }
    expectation->within_ms = step["within"].asInt();
  }
  if (step.isMember("absent")) {
    if (!step["absent"].isBool()) {
      *error = "\"absent\" must be true or false";
      return false;
    }
    expectation->absent = step["absent"].asBool();
  }
  if (step.isMember("until")) {
    const Json::Value& until = step["until"];
    if (!expectation->absent) {
      *error = "\"until\" goes with \"absent\": true only";
      return false;
    }
    if (!IsInt32(until) || until.asInt() <= static_cast<int>(step_index) ||
        static_cast<size_t>(until.asInt()) > step_total) {
      *error = "\"until\" must be the number of a later step (" + std::to_string(step_index + 1) +
               " to " + std::to_string(step_total) + ")";
      return false;
    }
    expectation->until_step = static_cast<size_t>(until.asInt());
  }
  if (expectation->absent && (step.isMember("count") || step.isMember("within"))) {
    *error = "\"absent\" does not go with \"count\" or \"within\"";
    return false;
  }
  return true;
}

}  // namespace

const std::vector<std::string>& ExpectableKinds() {
  static const std::vector<std::string> kinds = {
      "message",  "request", "reply",   "release",       "documentCommand",  "log",
      "exit",     "ack",     "error",   "timeout",       "otherBrowserCall", "hostNote",
      "ipcError", "stderr",  "logFile", "hostWindowGone"};
  return kinds;
}

bool ArrivesAtEnd(const std::string& kind) {
  return kind == "exit" || kind == "log" || kind == "stderr" || kind == "logFile";
}

bool ParseExpectation(const Json::Value& step,
                      size_t step_index,
                      size_t step_total,
                      Expectation* expectation,
                      std::string* error) {
  *expectation = Expectation();
  std::string kind;
  for (const std::string& name : step.getMemberNames()) {
    if (IsOption(name))
      continue;
    if (!IsKind(name)) {
      *error = "unknown member \"" + name + "\" of an expect step; it takes one event kind (" +
               KindList() + ") and \"count\", \"within\", \"absent\", \"until\"";
      return false;
    }
    if (!kind.empty()) {
      *error =
          "an expect step names one event kind, not both \"" + kind + "\" and \"" + name + "\"";
      return false;
    }
    kind = name;
  }
  if (kind.empty()) {
    *error = "an expect step needs one event kind as a member (" + KindList() + ")";
    return false;
  }
  expectation->kind = kind;
  const Json::Value pattern = NormalizePattern(kind, step[kind]);
  std::string pattern_error;
  if (!EventPattern::Compile(pattern, &expectation->pattern, &pattern_error)) {
    *error = "\"" + kind + "\": " + pattern_error;
    return false;
  }
  return ReadOptions(step, step_index, step_total, expectation, error);
}

}  // namespace host
}  // namespace nuv
