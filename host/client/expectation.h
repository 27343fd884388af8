// An "expect" step of a scenario: which kind of transcript event it looks
// for, the pattern the event must meet, and how many, how long and whether
// the event must rather stay away. The format is in docs/scenarios.md.
#ifndef NUV_HOST_CLIENT_EXPECTATION_H_
#define NUV_HOST_CLIENT_EXPECTATION_H_

#include <cstddef>
#include <string>
#include <vector>

#include <json/value.h>

#include "host/client/event_pattern.h"

namespace nuv {
namespace host {

// What the checker must know of an expectation before its step runs.
struct ExpectationOutline {
  std::string kind;
  bool absent = false;
  bool compares_bytes = false;  // the pattern names "bytes"
};

struct Expectation {
  std::string kind;  // the event kind: "message", "request", "log", ...
  EventPattern pattern;
  int count = 1;        // how many not yet matched events must meet it
  int within_ms = 0;    // how long the step waits for them to arrive
  bool absent = false;  // no such event may arrive (or be waiting)
  // For `absent`: the step before which the watch ends; 0: the end of the run.
  size_t until_step = 0;

  ExpectationOutline Outline() const {
    return ExpectationOutline{kind, absent, pattern.Names("bytes")};
  }
};

// The event kinds an expectation may name.
const std::vector<std::string>& ExpectableKinds();
// Whether events of `kind` arrive only when the sub-process has ended.
bool ArrivesAtEnd(const std::string& kind);

// Reads the members of an "expect" step (`step_index` is its 1-based place,
// `step_total` the number of steps). False with a message naming the member
// and what is allowed.
bool ParseExpectation(const Json::Value& step,
                      size_t step_index,
                      size_t step_total,
                      Expectation* expectation,
                      std::string* error);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_EXPECTATION_H_
