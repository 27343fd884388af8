#include "host/client/transcript.h"

#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

std::string Str(const Json::Value& event, const char* key) {
  const Json::Value& value = event[key];
  return value.isString() ? value.asString() : WriteCompactJson(value);
}

// "name(arg, arg, ...)" with every argument in its JSON form.
std::string Call(const Json::Value& event) {
  std::string text = Str(event, "name") + "(";
  const Json::Value& args = event["args"];
  for (Json::ArrayIndex i = 0; args.isArray() && i < args.size(); ++i) {
    if (i > 0)
      text += ", ";
    text += WriteCompactJson(args[i]);
  }
  return text + ")";
}

// A person reads the first bytes of a packet; the JSON form has them all.
constexpr size_t kPersonBytes = 32;

std::string Packet(const Json::Value& event) {
  std::string bytes = Str(event, "bytes");
  const size_t count = (bytes.size() + 1) / 3;
  if (count > kPersonBytes)
    bytes = bytes.substr(0, kPersonBytes * 3 - 1) + " ... (" + std::to_string(count) + " bytes)";
  return "\n        text  " + WriteCompactJson(event["text"]) + "\n        bytes " + bytes;
}

// The expectation, then what came instead: the event that should not have
// come, or the nearest waiting events of the kind.
std::string ExpectFailed(const Json::Value& event) {
  const Json::Value& expected = event["expected"];
  std::string text = "!! step " + Str(event, "step") + ": expected ";
  if (expected["absent"].asBool()) {
    text += "no " + Str(expected, "kind") + " " + WriteCompactJson(expected["pattern"]) +
            "\n     but came: " + WriteCompactJson(event["unexpected"]);
    return text;
  }
  text += Str(expected, "count") + " " + Str(expected, "kind") + " " +
          WriteCompactJson(expected["pattern"]) + ", found " + Str(event, "found");
  if (event["candidates"].empty())
    return text + "\n     (no unmatched " + Str(expected, "kind") + " event to compare)";
  for (const Json::Value& candidate : event["candidates"])
    text += "\n     nearest: " + WriteCompactJson(candidate);
  return text;
}

}  // namespace

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0)
      hex.push_back(' ');
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

std::string FormatEventForPerson(const Json::Value& event) {
  const std::string kind = Str(event, "event");
  if (kind == "start") {
    std::string line;
    if (event.isMember("description"))
      line = Str(event, "description") + "\n\n";
    line += "$";
    for (const Json::Value& arg : event["argv"])
      line += " " + (arg.isString() ? arg.asString() : WriteCompactJson(arg));
    return line;
  }
  if (kind == "step")
    return "\n== step " + Str(event, "index") + ": " + WriteCompactJson(event["step"]);
  if (kind == "send")
    return "-> browser " + Str(event, "browser") + "  " + Call(event);
  if (kind == "message")
    return "<- browser " + Str(event, "browser") + "  " + Call(event);
  if (kind == "request") {
    std::string line = "   bridge request #" + Str(event, "requestId") + " " +
                       Str(event, "kindName") + " (kind " + Str(event, "kind") + ") browser " +
                       Str(event, "browserId") + " object " + Str(event, "objectId");
    if (event.isMember("misbehaviour"))
      line += "  [host window told to misbehave: " + Str(event, "misbehaviour") + "]";
    return line + Packet(event);
  }
  if (kind == "reply") {
    std::string line =
        "   bridge reply   #" + Str(event, "requestId") + " browser " + Str(event, "browserId");
    if (Str(event, "kind") != "0")
      line += " kind " + Str(event, "kind");
    if (event.isMember("copies"))
      line += " sent " + Str(event, "copies") + " times";
    if (event["delivered"].isBool() && !event["delivered"].asBool())
      line += " (not delivered)";
    if (event.isMember("size"))
      line += " (" + Str(event, "size") + " bytes, shown cut)";
    if (event.isMember("duration"))
      line += "  after " + Str(event, "duration") + " us";
    return line + Packet(event);
  }
  if (kind == "hostWindowGone")
    return "!! host window's process died inside request #" + Str(event, "requestId");
  if (kind == "release") {
    return "   host object " + Str(event, "objectId") + " released (" + Str(event, "releases") +
           " in all)";
  }
  if (kind == "documentCommand") {
    return "   page ran document.execCommand(" + WriteCompactJson(event["command"]) + ", " +
           WriteCompactJson(event["showUI"]) + ", " + WriteCompactJson(event["value"]) + ") -> " +
           WriteCompactJson(event["result"]);
  }
  if (kind == "ack") {
    // Only what did not simply succeed is worth a line.
    if (Str(event, "outcome") == "done")
      return std::string();
    std::string line = "   (" + Str(event, "outcome");
    if (event.isMember("detail"))
      line += ": " + Str(event, "detail");
    return line + ")";
  }
  if (kind == "otherBrowserCall") {
    return "   page called function " + Str(event, "objectId") + " of browser " +
           Str(event, "browserId") + "; the client calls it back there";
  }
  if (kind == "hostNote")
    return "   host window: " + Str(event, "text");
  if (kind == "ipcError")
    return "!! IPC: " + Str(event, "detail");
  if (kind == "stderr")
    return "stderr | " + Str(event, "line");
  if (kind == "logFile")
    return "(the sub-process wrote no log file)";
  if (kind == "timeout")
    return "!! step " + Str(event, "step") + ": timed out waiting for " + Str(event, "waitingFor");
  if (kind == "error")
    return "!! step " + Str(event, "step") + ": " + Str(event, "message");
  if (kind == "exit")
    return "\n== sub-process ended with exit code " + Str(event, "code");
  if (kind == "log")
    return "log | " + Str(event, "line");
  if (kind == "expectFailed")
    return ExpectFailed(event);
  return WriteCompactJson(event);
}

void Transcript::Add(const Json::Value& event) {
  if (observer_)
    observer_(event);
  const std::string json = (pretty_ && !json_copy_) ? std::string() : WriteCompactJson(event);
  if (json_copy_) {
    *json_copy_ << json << '\n';
    json_copy_->flush();
  }
  if (!out_)
    return;
  const std::string line = pretty_ ? FormatEventForPerson(event) : json;
  if (line.empty())
    return;
  *out_ << line << '\n';
  out_->flush();
  if (!*out_ && on_output_lost_) {
    on_output_lost_();
    on_output_lost_ = nullptr;
  }
}

}  // namespace host
}  // namespace nuv
