// Parsing and checking of scenario files. Every problem is reported with the
// member or step it concerns; nothing in a bad file can throw or crash.
#include "host/client/scenario.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "host/client/json_steps_splitter.h"
#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

// Reads the members of one JSON object, collecting the first error.
class MemberReader {
 public:
  MemberReader(const Json::Value& object, std::string where)
      : object_(object), where_(std::move(where)) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool Has(const char* key) const { return object_.isMember(key); }

  int32_t Int(const char* key, int32_t fallback) {
    if (!Has(key))
      return fallback;
    const Json::Value& value = object_[key];
    if (!IsInt32(value)) {
      Fail(std::string("\"") + key + "\" must be a 32-bit integer");
      return fallback;
    }
    return value.asInt();
  }

  std::string String(const char* key, const std::string& fallback) {
    if (!Has(key))
      return fallback;
    const Json::Value& value = object_[key];
    if (!value.isString()) {
      Fail(std::string("\"") + key + "\" must be a string");
      return fallback;
    }
    return value.asString();
  }

  bool Bool(const char* key, bool fallback) {
    if (!Has(key))
      return fallback;
    const Json::Value& value = object_[key];
    if (!value.isBool()) {
      Fail(std::string("\"") + key + "\" must be true or false");
      return fallback;
    }
    return value.asBool();
  }

  // An array member; `fallback` when absent.
  Json::Value Array(const char* key, const Json::Value& fallback) {
    if (!Has(key))
      return fallback;
    if (!object_[key].isArray()) {
      Fail(std::string("\"") + key + "\" must be an array");
      return fallback;
    }
    return object_[key];
  }

  std::string Required(const char* key) {
    if (!Has(key)) {
      Fail(std::string("\"") + key + "\" is missing");
      return std::string();
    }
    return String(key, std::string());
  }

  void Fail(const std::string& message) {
    if (error_.empty())
      error_ = where_ + ": " + message;
  }

 private:
  const Json::Value& object_;
  std::string where_;
  std::string error_;
};

// Message arguments may be null, booleans, numbers, strings and arrays of
// these; objects have no counterpart in a process message.
bool CheckArgument(const Json::Value& value, int depth) {
  if (depth > 16)
    return false;
  if (value.isObject())
    return false;
  if (value.isArray()) {
    for (const Json::Value& element : value) {
      if (!CheckArgument(element, depth + 1))
        return false;
    }
  }
  return true;
}

// A JSON array of value records written as the text a command carries:
// "arguments" (JSON, written compactly) or "argumentsText" (taken as is).
std::string ArgumentsText(MemberReader* reader) {
  if (reader->Has("argumentsText"))
    return reader->String("argumentsText", std::string());
  return WriteCompactJson(reader->Array("arguments", Json::Value(Json::arrayValue)));
}

Json::Value MessageArgs(std::initializer_list<Json::Value> values) {
  Json::Value args(Json::arrayValue);
  for (const Json::Value& value : values)
    args.append(value);
  return args;
}

// The text of "NuvChromeBrowser_CallDefaultFunction": "objectId" is a number
// or a placeholder such as "${callback}" (the default), spliced in unquoted.
std::string CallText(MemberReader* reader, const Json::Value& object, int32_t browser) {
  if (reader->Has("callText"))
    return reader->String("callText", std::string());
  std::string objectId = "${callback}";
  if (reader->Has("objectId") && IsInt32(object["objectId"]))
    objectId = std::to_string(object["objectId"].asInt());
  else if (reader->Has("objectId"))
    objectId = reader->String("objectId", std::string());
  std::string text = "{";
  if (reader->Has("arguments"))
    text += "\"arguments\":" + WriteCompactJson(reader->Array("arguments", Json::Value())) + ",";
  text += "\"browserId\":" + std::to_string(browser) + ",\"objectId\":" + objectId + "}";
  return text;
}

// The actions and the members each one takes besides "do".
const std::map<std::string, std::set<std::string>>& ActionMembers() {
  static const std::map<std::string, std::set<std::string>> actions = {
      {"createBrowser", {"browser", "timeoutMs"}},
      {"destroyBrowser", {"browser", "timeoutMs"}},
      {"createContext", {"browser", "frame", "script", "timeoutMs"}},
      {"releaseContext", {"browser", "frame", "timeoutMs"}},
      {"runPageScript", {"browser", "frame", "script", "timeoutMs"}},
      {"send", {"browser", "name", "args", "timeoutMs"}},
      {"executeScript", {"browser", "script", "scriptName", "tag", "key", "timeoutMs"}},
      {"executeFunction",
       {"browser", "function", "tag", "arguments", "argumentsText", "timeoutMs"}},
      {"execCommand", {"browser", "arguments", "argumentsText", "timeoutMs"}},
      {"callBack", {"browser", "objectId", "arguments", "callText", "timeoutMs"}},
      {"collectGarbage", {"timeoutMs"}},
      {"gc", {"timeoutMs"}},
      {"wait", {"for", "count", "ms", "timeoutMs"}},
      {"end", {}},
      {"disconnect", {"keepHostWindow", "timeoutMs"}},
  };
  return actions;
}

std::string JoinNames(const std::set<std::string>& names) {
  std::string list;
  for (const std::string& name : names)
    list += (list.empty() ? "" : ", ") + name;
  return list.empty() ? "none" : list;
}

// An unknown action or a member the action does not take, with what is
// allowed instead.
bool CheckMembers(const Json::Value& source, const std::string& action, std::string* error) {
  const auto& actions = ActionMembers();
  const auto found = actions.find(action);
  if (found == actions.end()) {
    std::set<std::string> names{"expect"};
    for (const auto& entry : actions)
      names.insert(entry.first);
    *error = "unknown action \"" + action + "\"; the actions are " + JoinNames(names);
    return false;
  }
  for (const std::string& key : source.getMemberNames()) {
    if (key != "do" && !found->second.count(key)) {
      *error = "unknown member \"" + key + "\" of a " + action + " step; it takes " +
               JoinNames(found->second);
      return false;
    }
  }
  return true;
}

bool ParseStep(const Json::Value& source,
               size_t index,
               size_t total,
               Step* step,
               std::string* error) {
  const std::string where = "step " + std::to_string(index);
  if (!source.isObject()) {
    *error = where + ": a step must be a JSON object";
    return false;
  }
  MemberReader reader(source, where);
  const std::string action = reader.Required("do");
  step->index = index;
  step->source = WriteCompactJson(source);
  if (!reader.ok()) {
    *error = reader.error();
    return false;
  }
  if (action == "expect") {
    auto expectation = std::make_shared<Expectation>();
    if (!ParseExpectation(source, index, total, expectation.get(), error)) {
      *error = where + ": " + *error;
      return false;
    }
    step->kind = StepKind::kExpect;
    step->expectation = std::move(expectation);
    return true;
  }
  if (!CheckMembers(source, action, error)) {
    *error = where + ": " + *error;
    return false;
  }
  step->browser = reader.Int("browser", 1);
  step->frame = reader.String("frame", "main");
  step->timeout_ms = reader.Int("timeoutMs", 5000);
  if (step->frame.empty())
    reader.Fail("\"frame\" must not be empty");
  if (step->timeout_ms < 0)
    reader.Fail("\"timeoutMs\" must not be negative");

  if (action == "createBrowser") {
    step->kind = StepKind::kCreateBrowser;
  } else if (action == "destroyBrowser") {
    step->kind = StepKind::kDestroyBrowser;
  } else if (action == "createContext") {
    step->kind = StepKind::kCreateContext;
    step->script = reader.String("script", std::string());
  } else if (action == "releaseContext") {
    step->kind = StepKind::kReleaseContext;
  } else if (action == "runPageScript") {
    step->kind = StepKind::kRunPageScript;
    step->script = reader.Required("script");
  } else if (action == "send") {
    step->kind = StepKind::kSendMessage;
    step->name = reader.Required("name");
    step->args = reader.Array("args", Json::Value(Json::arrayValue));
    if (!CheckArgument(step->args, 0))
      reader.Fail("\"args\" may hold null, booleans, numbers, strings and arrays only, "
                  "arrays nested at most 16 deep");
  } else if (action == "executeScript") {
    step->kind = StepKind::kSendMessage;
    step->name = "NuvChromeBrowser_ExecuteScript";
    step->args = MessageArgs({reader.Int("key", step->browser), reader.Required("script"),
                              reader.String("scriptName", std::string()),
                              reader.String("tag", std::string())});
  } else if (action == "executeFunction") {
    step->kind = StepKind::kSendMessage;
    step->name = "NuvChromeBrowser_ExecuteFunction";
    step->args = MessageArgs({0, reader.Required("function"), reader.String("tag", std::string()),
                              ArgumentsText(&reader)});
  } else if (action == "execCommand") {
    step->kind = StepKind::kSendMessage;
    step->name = "NuvChromeBrowser_DocumentExecCommand";
    step->args = MessageArgs({0, "", "", ArgumentsText(&reader)});
  } else if (action == "callBack") {
    step->kind = StepKind::kSendMessage;
    step->name = "NuvChromeBrowser_CallDefaultFunction";
    step->args = MessageArgs({step->browser, "", CallText(&reader, source, step->browser)});
  } else if (action == "collectGarbage" || action == "gc") {
    step->kind = StepKind::kCollectGarbage;
  } else if (action == "wait") {
    const int forms =
        (reader.Has("for") ? 1 : 0) + (reader.Has("count") ? 1 : 0) + (reader.Has("ms") ? 1 : 0);
    if (forms != 1) {
      reader.Fail("a wait needs exactly one of \"for\", \"count\" or \"ms\"");
    } else if (reader.Has("for")) {
      step->kind = StepKind::kWaitForMessage;
      step->name = reader.String("for", std::string());
    } else if (reader.Has("count")) {
      step->kind = StepKind::kWaitForCount;
      step->count = reader.Int("count", 0);
      if (step->count < 0)
        reader.Fail("\"count\" must not be negative");
    } else {
      step->kind = StepKind::kWaitTime;
      step->ms = reader.Int("ms", 0);
      if (step->ms < 0)
        reader.Fail("\"ms\" must not be negative");
    }
  } else if (action == "end") {
    step->kind = StepKind::kEnd;
  } else if (action == "disconnect") {
    step->kind = StepKind::kDisconnect;
    step->keep_host_window = reader.Bool("keepHostWindow", false);
  }
  if (!reader.ok()) {
    *error = reader.error();
    return false;
  }
  return true;
}

bool ParseStart(const Json::Value& source, StartOptions* start, std::string* error) {
  if (!source.isObject()) {
    *error = "\"start\" must be a JSON object";
    return false;
  }
  static const std::set<std::string> kKnown = {
      "type", "handle", "logFile", "tempPath", "debug", "extraArgs", "uncaughtExceptionStackSize"};
  for (const std::string& key : source.getMemberNames()) {
    if (!kKnown.count(key)) {
      *error = "start: unknown member \"" + key + "\"; it takes " + JoinNames(kKnown);
      return false;
    }
  }
  MemberReader reader(source, "start");
  if (source.isMember("type") && source["type"].isNull()) {
    start->with_type = false;
  } else {
    start->type = reader.String("type", start->type);
  }
  if (source.isMember("handle") && source["handle"].isNull()) {
    start->with_handle = false;
  } else {
    start->handle = reader.String("handle", start->handle);
  }
  start->log_file = reader.Bool("logFile", true);
  start->temp_path = reader.String("tempPath", std::string());
  start->debug = reader.Bool("debug", false);
  if (source.isMember("uncaughtExceptionStackSize") &&
      source["uncaughtExceptionStackSize"].isNull())
    start->uncaught_exception_stack_size = 0;
  else
    start->uncaught_exception_stack_size =
        reader.Int("uncaughtExceptionStackSize", start->uncaught_exception_stack_size);
  const Json::Value extra = reader.Array("extraArgs", Json::Value(Json::arrayValue));
  for (const Json::Value& arg : extra) {
    if (!arg.isString()) {
      reader.Fail("\"extraArgs\" must hold strings");
      break;
    }
    start->extra_args.push_back(arg.asString());
  }
  if (!reader.ok()) {
    *error = reader.error();
    return false;
  }
  return true;
}

// Checks step `index` (1-based) and keeps its text, or only its `place`
// in the file when one is given; `total` is the number of steps.
bool AddStep(const Json::Value& source,
             size_t index,
             size_t total,
             const std::pair<size_t, size_t>* place,
             Scenario* scenario,
             std::string* error) {
  Step step;
  if (!ParseStep(source, index, total, &step, error))
    return false;
  if (place)
    scenario->step_places.push_back(*place);
  else
    scenario->step_texts.push_back(step.source);
  if (step.expectation)
    scenario->expectations.push_back(step.expectation->Outline());
  return true;
}

bool AddStep(const std::string& text,
             size_t index,
             size_t total,
             const std::pair<size_t, size_t>* place,
             Scenario* scenario,
             std::string* error) {
  Json::Value source;
  std::string parse_error;
  if (!ParseJson(text, &source, &parse_error)) {
    *error = "step " + std::to_string(index) + ": not valid JSON: " + parse_error;
    return false;
  }
  return AddStep(source, index, total, place, scenario, error);
}

// The scenario without its steps, when they can be told apart in the text
// (*split then true and *spans where they are); else the whole document.
bool ParseRoot(const std::string& text,
               Json::Value* root,
               bool* split,
               ArraySpans* spans,
               std::string* error) {
  std::string parse_error;
  *split = SplitArrayMember(text, "steps", spans);
  if (*split) {
    const std::string rest = text.substr(0, spans->begin) + "[]" + text.substr(spans->end);
    // A second "steps" member would win over the first one: read it all.
    *split = ParseJson(rest, root, nullptr) && root->isObject() && (*root)["steps"].isArray() &&
             (*root)["steps"].empty();
  }
  if (!*split && !ParseJson(text, root, &parse_error)) {
    *error = "not valid JSON: " + parse_error;
    return false;
  }
  return true;
}

// Parses `text`; with `places`, steps found in the text are kept as their
// places in it (the caller then gives the scenario its file).
bool ParseScenarioText(const std::string& text,
                       bool places,
                       Scenario* scenario,
                       std::string* error) {
  *scenario = Scenario();
  Json::Value root;
  bool split = false;
  ArraySpans spans;
  if (!ParseRoot(text, &root, &split, &spans, error))
    return false;
  if (!root.isObject()) {
    *error = "a scenario must be a JSON object";
    return false;
  }
  static const std::set<std::string> kKnown = {"description", "start", "host", "steps"};
  for (const std::string& key : root.getMemberNames()) {
    if (!kKnown.count(key)) {
      *error = "unknown member \"" + key + "\"; a scenario has " + JoinNames(kKnown);
      return false;
    }
  }
  MemberReader reader(root, "scenario");
  scenario->description = reader.String("description", std::string());
  if (!reader.ok()) {
    *error = reader.error();
    return false;
  }
  if (root.isMember("start") && !ParseStart(root["start"], &scenario->start, error))
    return false;
  if (root.isMember("host")) {
    if (!root["host"].isObject()) {
      *error = "\"host\" must be a JSON object (the host window's configuration)";
      return false;
    }
    scenario->host = root["host"];
  }
  if (!root.isMember("steps") || !root["steps"].isArray()) {
    *error = "\"steps\" must be an array of steps";
    return false;
  }
  if (split) {
    const size_t total = spans.elements.size();
    for (size_t i = 0; i < total; ++i) {
      const auto& span = spans.elements[i];
      if (!AddStep(text.substr(span.first, span.second - span.first), i + 1, total,
                   places ? &span : nullptr, scenario, error))
        return false;
    }
    return true;
  }
  Json::Value& steps = root["steps"];
  for (Json::ArrayIndex i = 0; i < steps.size(); ++i) {
    if (!AddStep(steps[i], i + 1, steps.size(), nullptr, scenario, error))
      return false;
    steps[i] = Json::Value();  // what a step was read from is not needed again
  }
  return true;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error) {
  return ParseScenarioText(text, false, scenario, error);
}

bool Scenario::StepAt(size_t i, Step* step, std::string* error) const {
  *step = Step();
  const std::string where = "step " + std::to_string(i + 1);
  std::string read_again;
  if (i >= step_count()) {
    *error = where + " does not exist";
    return false;
  }
  if (file && !file->Read(step_places[i].first, step_places[i].second, &read_again, error)) {
    *error = where + ": " + *error;
    return false;
  }
  Json::Value source;
  if (!ParseJson(file ? read_again : step_texts[i], &source, error)) {
    *error = where + " cannot be read";
    return false;
  }
  return ParseStep(source, i + 1, step_count(), step, error);
}

bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error) {
  std::string text;
  std::shared_ptr<const ScenarioFile> file = ScenarioFile::Open(path, &text);
  if (!file) {
    *error = "cannot read scenario file " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!ParseScenarioText(text, true, scenario, error)) {
    *error = path + ": " + *error;
    return false;
  }
  if (!scenario->step_places.empty())
    scenario->file = std::move(file);
  return true;
}

}  // namespace host
}  // namespace nuv
