// What an "expect" step looks for in one transcript event: a JSON object of
// event members, each compared with the event's member of that name.
//   - a JSON value is compared for equality (numbers by value);
//   - {"regex": "..."} matches a string (or a number's or boolean's text)
//     that contains a match of the regular expression (RE2 syntax, matched
//     in time linear in the text, so a pattern such as "a.*b" is safe on a
//     packet of 64 MiB);
//   - "bytes" (a packet in hex) is compared byte for byte, blanks and letter
//     case of the hex digits ignored;
//   - an object or array where the event holds a text compares the text's
//     decoded JSON (a value record, an argument list) with it, as JSON:
//     same members, same elements, each compared by these rules again.
// Members the pattern does not name are not looked at, so events may gain
// members (such as times) without breaking existing patterns.
#ifndef NUV_HOST_CLIENT_EVENT_PATTERN_H_
#define NUV_HOST_CLIENT_EVENT_PATTERN_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <json/value.h>

namespace nuv {
namespace host {

struct PatternNode;  // one compiled member value

class EventPattern {
 public:
  EventPattern();
  ~EventPattern();
  EventPattern(const EventPattern&);
  EventPattern& operator=(const EventPattern&);

  // Compiles `pattern`, which must be a JSON object. False with a message
  // naming the offending member when it is not usable (bad regex, ...).
  static bool Compile(const Json::Value& pattern, EventPattern* out, std::string* error);

  bool Matches(const Json::Value& event) const;
  // How many of the pattern's members `event` meets: near misses score high.
  int Score(const Json::Value& event) const;
  bool Names(const std::string& member) const;
  // The pattern as written.
  Json::Value source() const;

 private:
  std::string source_;  // compact JSON
  std::vector<std::pair<std::string, std::shared_ptr<const PatternNode>>> members_;
};

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_EVENT_PATTERN_H_
