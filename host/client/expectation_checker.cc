#include "host/client/expectation_checker.h"

#include <algorithm>

#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

// How many near misses a failure shows, and how much of each long text.
constexpr size_t kCandidates = 3;
constexpr size_t kShownChars = 512;

std::string Kind(const Json::Value& event) {
  return event["event"].asString();
}

// A copy of `event` fit to be shown: long texts cut.
Json::Value Shown(const Json::Value& event) {
  Json::Value shown = event;
  for (const std::string& key : shown.getMemberNames()) {
    Json::Value& member = shown[key];
    if (member.isString() && member.asString().size() > kShownChars) {
      const std::string text = member.asString();
      member = text.substr(0, kShownChars) + "... (" + std::to_string(text.size()) + " chars)";
    }
  }
  return shown;
}

Json::Value Expected(const Expectation& expectation) {
  Json::Value expected(Json::objectValue);
  expected["kind"] = expectation.kind;
  expected["pattern"] = expectation.pattern.source();
  if (expectation.absent) {
    expected["absent"] = true;
    if (expectation.until_step)
      expected["until"] = static_cast<Json::UInt64>(expectation.until_step);
  } else {
    expected["count"] = expectation.count;
    expected["within"] = expectation.within_ms;
  }
  return expected;
}

std::string ProblemText(const Json::Value& event) {
  const std::string kind = Kind(event);
  std::string text =
      event.isMember("step") ? "step " + WriteCompactJson(event["step"]) + ": " : std::string();
  if (kind == "ack")
    return text + event["outcome"].asString() +
           (event.isMember("detail") ? " (" + event["detail"].asString() + ")" : "");
  if (kind == "timeout")
    return text + "timed out waiting for " + event["waitingFor"].asString();
  return text + event["message"].asString();
}

}  // namespace

bool IsStepProblem(const Json::Value& event) {
  const std::string kind = Kind(event);
  if (kind == "error" || kind == "timeout")
    return true;
  if (kind != "ack")
    return false;
  const std::string outcome = event["outcome"].asString();
  return outcome == "refused" || outcome == "timeout" || outcome == "processGone" ||
         outcome == "notSent";
}

void ExpectationChecker::Plan(const std::vector<ExpectationOutline>& expectations) {
  for (const ExpectationOutline& expectation : expectations) {
    if (expectation.absent)
      continue;
    ++remaining_[expectation.kind];
    if (expectation.compares_bytes)
      kinds_with_bytes_.insert(expectation.kind);
  }
}

void ExpectationChecker::Observe(const Json::Value& event, std::vector<Json::Value>* failures) {
  const uint64_t sequence = ++sequence_;
  const std::string kind = Kind(event);
  if (IsStepProblem(event))
    problems_[sequence] = ProblemText(event);
  for (auto watch = watches_.begin(); watch != watches_.end();) {
    if (watch->expectation->kind == kind && watch->expectation->pattern.Matches(event)) {
      failures->push_back(AbsentFailure(watch->step_index, *watch->expectation, event));
      watch = watches_.erase(watch);
    } else {
      ++watch;
    }
  }
  if (remaining_[kind] > 0)
    Keep(sequence, event);
}

void ExpectationChecker::Keep(uint64_t sequence, const Json::Value& event) {
  std::list<Kept>& kept = kept_[Kind(event)];
  kept.push_back(Kept{sequence, event});
  if (!kinds_with_bytes_.count(Kind(event)))
    kept.back().event.removeMember("bytes");
  if (kept.size() > kMaxKeptPerKind)
    kept.pop_front();
}

void ExpectationChecker::BeforeStep(size_t index) {
  watches_.erase(std::remove_if(watches_.begin(), watches_.end(),
                                [index](const Watch& watch) {
                                  return watch.expectation->until_step == index;
                                }),
                 watches_.end());
}

bool ExpectationChecker::StartWatch(size_t step_index,
                                    std::shared_ptr<const Expectation> expectation,
                                    Json::Value* failure) {
  for (const Kept& kept : kept_[expectation->kind]) {
    if (expectation->pattern.Matches(kept.event)) {
      *failure = AbsentFailure(step_index, *expectation, kept.event);
      return false;
    }
  }
  watches_.push_back(Watch{step_index, std::move(expectation)});
  return true;
}

int ExpectationChecker::Consume(const Expectation& expectation, int needed) {
  std::list<Kept>& kept = kept_[expectation.kind];
  for (auto entry = kept.begin(); needed > 0 && entry != kept.end();) {
    if (expectation.pattern.Matches(entry->event)) {
      problems_.erase(entry->sequence);
      entry = kept.erase(entry);
      --needed;
    } else {
      ++entry;
    }
  }
  return needed;
}

void ExpectationChecker::Finish(const Expectation& expectation) {
  if (expectation.absent)
    return;
  int& remaining = remaining_[expectation.kind];
  if (remaining > 0 && --remaining == 0)
    kept_.erase(expectation.kind);
}

Json::Value ExpectationChecker::Failure(size_t step_index,
                                        const Expectation& expectation,
                                        int found) {
  Json::Value failure(Json::objectValue);
  failure["event"] = "expectFailed";
  failure["step"] = static_cast<Json::UInt64>(step_index);
  failure["expected"] = Expected(expectation);
  failure["found"] = found;
  // The waiting events of the kind that meet most of the pattern's members.
  std::vector<std::pair<int, const Kept*>> scored;
  for (const Kept& kept : kept_[expectation.kind])
    scored.emplace_back(expectation.pattern.Score(kept.event), &kept);
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  failure["candidates"] = Json::Value(Json::arrayValue);
  for (size_t i = 0; i < scored.size() && i < kCandidates; ++i)
    failure["candidates"].append(Shown(scored[i].second->event));
  Count(failure);
  return failure;
}

Json::Value ExpectationChecker::AbsentFailure(size_t step_index,
                                              const Expectation& expectation,
                                              const Json::Value& event) {
  Json::Value failure(Json::objectValue);
  failure["event"] = "expectFailed";
  failure["step"] = static_cast<Json::UInt64>(step_index);
  failure["expected"] = Expected(expectation);
  failure["unexpected"] = Shown(event);
  Count(failure);
  return failure;
}

void ExpectationChecker::Count(const Json::Value& failure) {
  ++failed_;
  if (first_failures_.size() < kReportedFailures)
    first_failures_.push_back(failure);
}

std::vector<std::string> ExpectationChecker::UnexpectedProblems() const {
  std::vector<std::string> problems;
  for (const auto& problem : problems_)
    problems.push_back(problem.second);
  return problems;
}

}  // namespace host
}  // namespace nuv
