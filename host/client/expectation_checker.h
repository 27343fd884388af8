// Answers the "expect" steps of a run. Every transcript event passes by in
// order; the checker keeps only what a later expectation can still match
// (events of kinds no remaining expectation names are not kept, packet
// bytes only where a pattern compares them, at most kMaxKeptPerKind of a
// kind), so a long run needs memory for what it still expects, not for
// everything it saw. It also notes the steps that ended in an error, a
// timeout or a refusal, until an expectation claims them.
#ifndef NUV_HOST_CLIENT_EXPECTATION_CHECKER_H_
#define NUV_HOST_CLIENT_EXPECTATION_CHECKER_H_

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <json/value.h>

#include "host/client/expectation.h"

namespace nuv {
namespace host {

class ExpectationChecker {
 public:
  // Unmatched events kept per kind; older ones give way (docs/scenarios.md).
  static constexpr size_t kMaxKeptPerKind = 10000;

  // The expect steps of the scenario, so that the checker knows which events
  // to keep. Call once, before the first event.
  void Plan(const std::vector<ExpectationOutline>& expectations);

  // Every transcript event, in order. A watch for an absent event that
  // `event` breaks appends an "expectFailed" event to `failures`.
  void Observe(const Json::Value& event, std::vector<Json::Value>* failures);

  // Step `index` is about to run: watches that last until it end.
  void BeforeStep(size_t index);

  // Starts watching for an event that must not come. False, with the
  // failure event, when a matching event is already waiting.
  bool StartWatch(size_t step_index,
                  std::shared_ptr<const Expectation> expectation,
                  Json::Value* failure);

  // Marks up to `needed` waiting events that meet `expectation` as matched,
  // oldest first; returns how many are still needed.
  int Consume(const Expectation& expectation, int needed);

  // The expectation is settled (met or failed); its events need not be
  // kept for it any more.
  void Finish(const Expectation& expectation);

  // The "expectFailed" event of an expectation that found only `found` of
  // its events, with the nearest waiting events of its kind beside it.
  Json::Value Failure(size_t step_index, const Expectation& expectation, int found);

  int failed_expectations() const { return failed_; }
  // The first kReportedFailures "expectFailed" events, for summaries.
  static constexpr size_t kReportedFailures = 5;
  const std::vector<Json::Value>& first_failures() const { return first_failures_; }
  // Steps that ended in an error, a timeout or a refusal no expectation
  // claimed, as short descriptions, oldest first.
  std::vector<std::string> UnexpectedProblems() const;

 private:
  struct Kept {
    uint64_t sequence = 0;
    Json::Value event;
  };
  struct Watch {
    size_t step_index = 0;
    std::shared_ptr<const Expectation> expectation;
  };

  void Keep(uint64_t sequence, const Json::Value& event);
  Json::Value AbsentFailure(size_t step_index,
                            const Expectation& expectation,
                            const Json::Value& event);
  void Count(const Json::Value& failure);

  std::map<std::string, int> remaining_;         // unsettled expectations per kind
  std::set<std::string> kinds_with_bytes_;       // kinds whose packets a pattern compares
  std::map<std::string, std::list<Kept>> kept_;  // unmatched events per kind
  std::vector<Watch> watches_;
  std::map<uint64_t, std::string> problems_;  // unclaimed step failures by sequence
  uint64_t sequence_ = 0;
  int failed_ = 0;
  std::vector<Json::Value> first_failures_;
};

// Whether `event` says a step ended in an error, a timeout or a refusal.
bool IsStepProblem(const Json::Value& event);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_EXPECTATION_CHECKER_H_
