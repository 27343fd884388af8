#include "host/client/event_pattern.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include <re2/re2.h>

#include "host/client/json_util.h"

namespace nuv {
namespace host {

struct PatternNode {
  enum class Kind { kLiteral, kRegex, kBytes, kArray, kObject };
  Kind kind = Kind::kLiteral;
  Json::Value literal;
  std::shared_ptr<const re2::RE2> regex;
  std::string hex;  // kBytes: lower-case digits only
  std::vector<PatternNode> elements;
  std::vector<std::pair<std::string, PatternNode>> members;
};

namespace {

using Node = PatternNode;

constexpr int kMaxDepth = 32;

bool IsRegexObject(const Json::Value& value) {
  return value.isObject() && value.size() == 1 && value.isMember("regex");
}

// Hex digits of `text` in lower case; false when it holds anything but hex
// digits and blanks, or an odd number of digits.
bool NormalizeHex(const std::string& text, std::string* hex) {
  hex->clear();
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)))
      continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return false;
    hex->push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return hex->size() % 2 == 0;
}

bool CompileNode(const Json::Value& value,
                 const std::string& where,
                 int depth,
                 Node* node,
                 std::string* error) {
  if (depth > kMaxDepth) {
    *error = where + ": nested too deeply";
    return false;
  }
  if (IsRegexObject(value)) {
    if (!value["regex"].isString()) {
      *error = where + ": \"regex\" must be a string";
      return false;
    }
    auto regex = std::make_shared<re2::RE2>(value["regex"].asString(), re2::RE2::Quiet);
    if (!regex->ok()) {
      *error = where + ": invalid regular expression " + WriteCompactJson(value["regex"]) + " (" +
               regex->error() + ")";
      return false;
    }
    node->regex = std::move(regex);
    node->kind = Node::Kind::kRegex;
    return true;
  }
  if (value.isArray()) {
    node->kind = Node::Kind::kArray;
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      node->elements.emplace_back();
      if (!CompileNode(value[i], where + "[" + std::to_string(i) + "]", depth + 1,
                       &node->elements.back(), error))
        return false;
    }
    return true;
  }
  if (value.isObject()) {
    node->kind = Node::Kind::kObject;
    for (const std::string& key : value.getMemberNames()) {
      node->members.emplace_back(key, Node());
      if (!CompileNode(value[key], where + "." + key, depth + 1, &node->members.back().second,
                       error))
        return false;
    }
    return true;
  }
  node->kind = Node::Kind::kLiteral;
  node->literal = value;
  return true;
}

bool ScalarEqual(const Json::Value& a, const Json::Value& b) {
  if (a.isNumeric() && b.isNumeric() && !a.isBool() && !b.isBool()) {
    if (a.isIntegral() && b.isIntegral()) {
      if (a.isInt64() && b.isInt64())
        return a.asInt64() == b.asInt64();
      if (a.isUInt64() && b.isUInt64())
        return a.asUInt64() == b.asUInt64();
      return false;
    }
    return a.asDouble() == b.asDouble();
  }
  return a == b;
}

bool MatchNode(const Node& node, const Json::Value& value);

// An object or array pattern against a text holding JSON.
bool MatchDecoded(const Node& node, const Json::Value& value) {
  Json::Value decoded;
  if (!ParseJson(value.asString(), &decoded, nullptr))
    return false;
  return !decoded.isString() && MatchNode(node, decoded);
}

bool MatchNode(const Node& node, const Json::Value& value) {
  switch (node.kind) {
    case Node::Kind::kLiteral:
      return ScalarEqual(node.literal, value);
    case Node::Kind::kRegex: {
      if (value.isString())
        return re2::RE2::PartialMatch(value.asString(), *node.regex);
      if (value.isNumeric() || value.isBool())
        return re2::RE2::PartialMatch(WriteCompactJson(value), *node.regex);
      return false;
    }
    case Node::Kind::kBytes: {
      std::string hex;
      return value.isString() && NormalizeHex(value.asString(), &hex) && hex == node.hex;
    }
    case Node::Kind::kArray: {
      if (value.isString())
        return MatchDecoded(node, value);
      if (!value.isArray() || value.size() != node.elements.size())
        return false;
      for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        if (!MatchNode(node.elements[i], value[i]))
          return false;
      }
      return true;
    }
    case Node::Kind::kObject: {
      if (value.isString())
        return MatchDecoded(node, value);
      if (!value.isObject() || value.size() != node.members.size())
        return false;
      for (const auto& member : node.members) {
        if (!value.isMember(member.first) || !MatchNode(member.second, value[member.first]))
          return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace

EventPattern::EventPattern() = default;
EventPattern::~EventPattern() = default;
EventPattern::EventPattern(const EventPattern&) = default;
EventPattern& EventPattern::operator=(const EventPattern&) = default;

bool EventPattern::Compile(const Json::Value& pattern, EventPattern* out, std::string* error) {
  *out = EventPattern();
  if (!pattern.isObject()) {
    *error = "a pattern must be a JSON object of event members";
    return false;
  }
  out->source_ = WriteCompactJson(pattern);
  for (const std::string& key : pattern.getMemberNames()) {
    auto node = std::make_shared<PatternNode>();
    if (key == "bytes" && pattern[key].isString()) {
      if (!NormalizeHex(pattern[key].asString(), &node->hex)) {
        *error = "\"bytes\" must be pairs of hex digits (blanks allowed)";
        return false;
      }
      node->kind = PatternNode::Kind::kBytes;
    } else if (!CompileNode(pattern[key], "\"" + key + "\"", 0, node.get(), error)) {
      return false;
    }
    out->members_.emplace_back(key, std::move(node));
  }
  // Cheap comparisons first: most events fail on a name or a number before
  // any text needs decoding.
  std::stable_sort(out->members_.begin(), out->members_.end(),
                   [](const auto& a, const auto& b) { return a.second->kind < b.second->kind; });
  return true;
}

Json::Value EventPattern::source() const {
  Json::Value pattern;
  ParseJson(source_, &pattern, nullptr);
  return pattern;
}

bool EventPattern::Matches(const Json::Value& event) const {
  for (const auto& member : members_) {
    if (!event.isMember(member.first) || !MatchNode(*member.second, event[member.first]))
      return false;
  }
  return true;
}

int EventPattern::Score(const Json::Value& event) const {
  int score = 0;
  for (const auto& member : members_) {
    if (event.isMember(member.first) && MatchNode(*member.second, event[member.first]))
      ++score;
  }
  return score;
}

bool EventPattern::Names(const std::string& member) const {
  for (const auto& entry : members_) {
    if (entry.first == member)
      return true;
  }
  return false;
}

}  // namespace host
}  // namespace nuv
