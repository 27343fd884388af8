#include "host/window/misbehaviour.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace nuv {
namespace host {
namespace {

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

bool HexDigit(char c, int* value) {
  if (c >= '0' && c <= '9')
    *value = c - '0';
  else if (c >= 'a' && c <= 'f')
    *value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    *value = c - 'A' + 10;
  else
    return false;
  return true;
}

bool DecodeHex(const std::string& hex, std::string* out) {
  std::string digits;
  for (char c : hex) {
    if (c != ' ')
      digits += c;
  }
  if (digits.size() % 2)
    return false;
  out->clear();
  for (size_t i = 0; i < digits.size(); i += 2) {
    int high = 0, low = 0;
    if (!HexDigit(digits[i], &high) || !HexDigit(digits[i + 1], &low))
      return false;
    out->push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

const char kReplyTextForms[] =
    "\"replyText\" must be a string, or an object with one of \"text\", \"hex\" or "
    "\"repeat\" (with \"size\", optionally \"before\" and \"after\"), and optionally "
    "\"terminator\": false";

// "replyText": "bytes" or {"text"|"hex"|"repeat"+"size", "terminator"}.
bool ParseReplyText(const Json::Value& spec, Misbehaviour* out, std::string* error) {
  out->has_reply_text = true;
  if (spec.isString()) {
    out->reply_text = spec.asString();
    return true;
  }
  if (!spec.isObject())
    return Fail(error, kReplyTextForms);
  for (const std::string& key : spec.getMemberNames()) {
    if (key != "text" && key != "hex" && key != "repeat" && key != "size" && key != "before" &&
        key != "after" && key != "terminator")
      return Fail(error, std::string(kReplyTextForms) + "; unknown member \"" + key + "\"");
  }
  const int forms = spec.isMember("text") + spec.isMember("hex") + spec.isMember("repeat");
  if (forms != 1)
    return Fail(error, kReplyTextForms);
  if (spec.isMember("terminator")) {
    if (!spec["terminator"].isBool())
      return Fail(error, "\"replyText\": \"terminator\" must be true or false");
    out->terminator = spec["terminator"].asBool();
  }
  if (spec.isMember("text")) {
    if (!spec["text"].isString())
      return Fail(error, "\"replyText\": \"text\" must be a string");
    out->reply_text = spec["text"].asString();
    return true;
  }
  if (spec.isMember("hex")) {
    if (!spec["hex"].isString() || !DecodeHex(spec["hex"].asString(), &out->reply_text))
      return Fail(error, "\"replyText\": \"hex\" must be pairs of hexadecimal digits");
    return true;
  }
  const Json::Value& unit = spec["repeat"];
  const Json::Value& size = spec["size"];
  const Json::Value& before = spec["before"];
  const Json::Value& after = spec["after"];
  if (!unit.isString() || unit.asString().empty())
    return Fail(error, "\"replyText\": \"repeat\" must be a non-empty string");
  if (!size.isIntegral() || size.asLargestInt() < 0 || size.asLargestUInt() > kMaxReplyTextBytes)
    return Fail(error, "\"replyText\": \"size\" must be a byte count from 0 to " +
                           std::to_string(kMaxReplyTextBytes));
  if ((!before.isNull() && !before.isString()) || (!after.isNull() && !after.isString()))
    return Fail(error, "\"replyText\": \"before\" and \"after\" must be strings");
  const std::string head = before.isString() ? before.asString() : std::string();
  const std::string tail = after.isString() ? after.asString() : std::string();
  const size_t total = static_cast<size_t>(size.asLargestUInt());
  if (head.size() + tail.size() > total)
    return Fail(error, "\"replyText\": \"size\" is smaller than \"before\" and \"after\"");
  // The repeated unit fills what "before" and "after" leave of `size` bytes.
  const std::string text = unit.asString();
  std::string& reply = out->reply_text;
  reply.reserve(total);
  reply = head;
  const size_t fill_end = total - tail.size();
  while (reply.size() < fill_end)
    reply.append(text, 0, std::min(text.size(), fill_end - reply.size()));
  reply += tail;
  return true;
}

// An integer is the field itself; "+N" / "-N" is added to the request's.
bool ParseReplyField(const Json::Value& spec,
                     const char* name,
                     ReplyField* field,
                     std::string* error) {
  const std::string what = std::string("\"replyTo\": \"") + name +
                           "\" must be a 32-bit integer or a text \"+N\" / \"-N\" (relative to "
                           "the request's)";
  if (spec.isIntegral()) {
    if (spec.asLargestInt() < std::numeric_limits<int32_t>::min() ||
        spec.asLargestInt() > std::numeric_limits<int32_t>::max())
      return Fail(error, what);
    field->relative = false;
    field->value = spec.asLargestInt();
    return true;
  }
  if (!spec.isString())
    return Fail(error, what);
  const std::string text = spec.asString();
  if (text.size() < 2 || text.size() > 12 || (text[0] != '+' && text[0] != '-'))
    return Fail(error, what);
  char* end = nullptr;
  const long long offset = std::strtoll(text.c_str(), &end, 10);
  if (*end)
    return Fail(error, what);
  field->relative = true;
  field->value = offset;
  return true;
}

bool ParseReplyTo(const Json::Value& spec, Misbehaviour* out, std::string* error) {
  const char kForms[] =
      "\"replyTo\" must be an object with any of \"requestId\", \"browserId\" and "
      "\"windowOf\"";
  if (!spec.isObject() || spec.empty())
    return Fail(error, kForms);
  for (const std::string& key : spec.getMemberNames()) {
    if (key != "requestId" && key != "browserId" && key != "windowOf")
      return Fail(error, std::string(kForms) + "; unknown member \"" + key + "\"");
  }
  if (spec.isMember("requestId") &&
      !ParseReplyField(spec["requestId"], "requestId", &out->reply_request, error))
    return false;
  if (spec.isMember("browserId") &&
      !ParseReplyField(spec["browserId"], "browserId", &out->reply_browser, error))
    return false;
  if (spec.isMember("windowOf")) {
    const Json::Value& browser = spec["windowOf"];
    if (!browser.isInt())
      return Fail(error, "\"replyTo\": \"windowOf\" must be a browser id (32-bit integer)");
    out->reply_to_window_of = true;
    out->reply_window_browser = browser.asInt();
  }
  return true;
}

bool ParseBool(const Json::Value& spec, const char* name, bool* out, std::string* error) {
  if (!spec.isBool())
    return Fail(error, std::string("\"") + name + "\" must be true or false");
  *out = spec.asBool();
  return true;
}

}  // namespace

const char* const kMisbehaviourMembers[] = {
    "delayMs",        "noReply",   "replyText",     "replyTo",
    "duplicateReply", "replyKind", "exitOnRequest", nullptr,
};

int32_t ReplyField::Apply(int32_t request_value) const {
  const int64_t field = relative ? int64_t{request_value} + value : value;
  // Wraps like the 32-bit field it is written into.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(field)));
}

bool Misbehaviour::any() const {
  return delay_ms || no_reply || has_reply_text || !terminator || !reply_browser.relative ||
         reply_browser.value || !reply_request.relative || reply_request.value ||
         reply_to_window_of || duplicates || reply_kind || exit_on_request;
}

std::string Misbehaviour::Describe() const {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  auto field = [](const ReplyField& f) {
    return f.relative ? (f.value >= 0 ? "+" : "") + std::to_string(f.value)
                      : std::to_string(f.value);
  };
  if (exit_on_request)
    add("exitOnRequest");
  if (delay_ms)
    add("delayMs " + std::to_string(delay_ms));
  if (no_reply)
    add("noReply");
  if (has_reply_text)
    add("replyText of " + std::to_string(reply_text.size()) + " bytes");
  if (!terminator)
    add("no terminating zero");
  if (!reply_browser.relative || reply_browser.value)
    add("replyTo browserId " + field(reply_browser));
  if (!reply_request.relative || reply_request.value)
    add("replyTo requestId " + field(reply_request));
  if (reply_to_window_of)
    add("replyTo the window of browser " + std::to_string(reply_window_browser));
  if (duplicates)
    add("duplicateReply " + std::to_string(duplicates));
  if (reply_kind)
    add("replyKind " + std::to_string(reply_kind));
  return text;
}

bool HasMisbehaviourMembers(const Json::Value& spec) {
  if (!spec.isObject())
    return false;
  for (int i = 0; kMisbehaviourMembers[i]; ++i) {
    if (spec.isMember(kMisbehaviourMembers[i]))
      return true;
  }
  return false;
}

bool ParseMisbehaviour(const Json::Value& spec, Misbehaviour* out, std::string* error) {
  *out = Misbehaviour();
  if (!spec.isObject())
    return true;
  if (spec.isMember("delayMs")) {
    const Json::Value& delay = spec["delayMs"];
    if (!delay.isIntegral() || delay.asLargestInt() < 0 || delay.asLargestInt() > kMaxDelayMs)
      return Fail(error, "\"delayMs\" must be a number of milliseconds from 0 to " +
                             std::to_string(kMaxDelayMs));
    out->delay_ms = static_cast<int>(delay.asLargestInt());
  }
  if (spec.isMember("noReply") && !ParseBool(spec["noReply"], "noReply", &out->no_reply, error))
    return false;
  if (spec.isMember("exitOnRequest") &&
      !ParseBool(spec["exitOnRequest"], "exitOnRequest", &out->exit_on_request, error))
    return false;
  if (spec.isMember("replyText") && !ParseReplyText(spec["replyText"], out, error))
    return false;
  if (spec.isMember("replyTo") && !ParseReplyTo(spec["replyTo"], out, error))
    return false;
  if (spec.isMember("duplicateReply")) {
    const Json::Value& copies = spec["duplicateReply"];
    if (copies.isBool()) {
      out->duplicates = copies.asBool() ? 1 : 0;
    } else if (copies.isIntegral() && copies.asLargestInt() >= 0 &&
               copies.asLargestInt() <= kMaxDuplicateReplies) {
      out->duplicates = static_cast<int>(copies.asLargestInt());
    } else {
      return Fail(error,
                  "\"duplicateReply\" must be true, false or a number of extra copies "
                  "from 0 to " +
                      std::to_string(kMaxDuplicateReplies));
    }
  }
  if (spec.isMember("replyKind")) {
    const Json::Value& kind = spec["replyKind"];
    if (!kind.isIntegral() || kind.asLargestInt() < 0 ||
        kind.asLargestUInt() > std::numeric_limits<uint32_t>::max())
      return Fail(error, "\"replyKind\" must be a dwData from 0 to 4294967295");
    out->reply_kind = kind.asLargestUInt();
  }
  return true;
}

}  // namespace host
}  // namespace nuv
