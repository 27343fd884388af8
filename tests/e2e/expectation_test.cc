// The expectations of scenarios on their own: how a pattern meets an event,
// how expect steps are read, and how the checker keeps, claims and reports
// events.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/client/event_pattern.h"
#include "host/client/expectation.h"
#include "host/client/expectation_checker.h"
#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

Json::Value J(const std::string& text) {
  Json::Value value;
  std::string error;
  EXPECT_TRUE(ParseJson(text, &value, &error)) << text << ": " << error;
  return value;
}

bool Meets(const std::string& pattern, const std::string& event) {
  EventPattern compiled;
  std::string error;
  EXPECT_TRUE(EventPattern::Compile(J(pattern), &compiled, &error)) << error;
  return compiled.Matches(J(event));
}

std::string CompileError(const std::string& pattern) {
  EventPattern compiled;
  std::string error;
  EXPECT_FALSE(EventPattern::Compile(J(pattern), &compiled, &error)) << pattern;
  return error;
}

TEST(EventPatternTest, MembersValuesRegexesAndBytes) {
  const std::string message =
      R"({"event":"message","browser":1,"name":"R","args":[1,true,"t","{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n"]})";
  EXPECT_TRUE(Meets(R"({})", message));
  EXPECT_TRUE(Meets(R"({"name":"R","browser":1.0})", message));
  EXPECT_FALSE(Meets(R"({"name":"r"})", message));
  EXPECT_FALSE(Meets(R"({"missing":null})", message));
  EXPECT_FALSE(Meets(R"({"browser":"1"})", message));
  EXPECT_TRUE(Meets(R"({"name":{"regex":"^R$"},"browser":{"regex":"1"}})", message));
  EXPECT_FALSE(Meets(R"({"args":{"regex":"x"}})", message));
  // Arrays element by element, decoded records as JSON (key order and the
  // trailing line feed do not matter, extra or missing members do).
  EXPECT_TRUE(Meets(
      R"({"args":[1,true,{"regex":"^t"},{"valueType":"NuvValueInt","value":2,"browserId":1}]})",
      message));
  EXPECT_FALSE(Meets(R"({"args":[1,true,"t",{"valueType":"NuvValueInt","value":2}]})", message));
  EXPECT_FALSE(Meets(R"({"args":[1,true,"t"]})", message));
  EXPECT_FALSE(Meets(R"({"args":[1,true,{"a":1},"x"]})", message));

  const std::string request = R"({"event":"request","bytes":"01 00 ab FF","text":"not json"})";
  EXPECT_TRUE(Meets(R"({"bytes":"0100ABff"})", request));
  EXPECT_TRUE(Meets(R"({"bytes":"01 00 ab ff"})", request));
  EXPECT_FALSE(Meets(R"({"bytes":"01 00 ab"})", request));
  EXPECT_FALSE(Meets(R"({"text":{"a":1}})", request));
}

TEST(EventPatternTest, RegexesStaySafeOnHugeTexts) {
  EventPattern pattern;
  std::string error;
  ASSERT_TRUE(EventPattern::Compile(J(R"({"text":{"regex":"a.*b$"},"n":{"regex":"^\\d+$"}})"),
                                    &pattern, &error))
      << error;
  Json::Value event(Json::objectValue);
  event["text"] = std::string(8 << 20, 'a') + "b";
  event["n"] = 12345;
  EXPECT_TRUE(pattern.Matches(event));
  event["text"] = std::string(8 << 20, 'a');
  EXPECT_FALSE(pattern.Matches(event));
}

TEST(EventPatternTest, UnusablePatternsNameTheMember) {
  EXPECT_NE(std::string::npos, CompileError(R"({"name":{"regex":"("}})").find("\"name\""));
  EXPECT_NE(std::string::npos, CompileError(R"({"a":[{"b":{"regex":5}}]})").find("\"a\"[0].b"));
  EXPECT_NE(std::string::npos, CompileError(R"({"bytes":"0g"})").find("hex"));
  EXPECT_NE(std::string::npos, CompileError(R"([1])").find("JSON object"));
}

TEST(EventPatternTest, ScoreCountsTheMembersMet) {
  EventPattern pattern;
  std::string error;
  ASSERT_TRUE(EventPattern::Compile(J(R"({"a":1,"b":2,"c":3})"), &pattern, &error));
  EXPECT_EQ(2, pattern.Score(J(R"({"a":1,"b":2,"c":4})")));
  EXPECT_EQ(0, pattern.Score(J(R"({})")));
}

std::string ParseError(const std::string& step, size_t index = 1, size_t total = 3) {
  Expectation expectation;
  std::string error;
  EXPECT_FALSE(ParseExpectation(J(step), index, total, &expectation, &error)) << step;
  return error;
}

TEST(ExpectationTest, StepsAreReadWithTheirOptions) {
  Expectation expectation;
  std::string error;
  ASSERT_TRUE(ParseExpectation(J(R"({"do":"expect","log":"handle: \\d+","count":2,"within":50})"),
                               1, 1, &expectation, &error))
      << error;
  EXPECT_EQ("log", expectation.kind);
  EXPECT_EQ(2, expectation.count);
  EXPECT_EQ(50, expectation.within_ms);
  EXPECT_TRUE(expectation.pattern.Matches(J(R"({"event":"log","line":"x handle: 42"})")));
  ASSERT_TRUE(ParseExpectation(J(R"({"do":"expect","release":{},"absent":true,"until":3})"), 1, 3,
                               &expectation, &error));
  EXPECT_TRUE(expectation.absent);
  EXPECT_EQ(3u, expectation.until_step);

  const std::string unknown = ParseError(R"({"do":"expect","mesage":{}})");
  EXPECT_NE(std::string::npos, unknown.find("\"mesage\""));
  EXPECT_NE(std::string::npos, unknown.find("documentCommand"));
  EXPECT_NE(std::string::npos, ParseError(R"({"do":"expect"})").find("one event kind"));
  EXPECT_NE(std::string::npos,
            ParseError(R"({"do":"expect","log":"a","exit":{}})").find("not both"));
  EXPECT_NE(std::string::npos, ParseError(R"({"do":"expect","exit":{},"count":0})").find("count"));
  EXPECT_NE(std::string::npos, ParseError(R"({"do":"expect","exit":{},"until":2})").find("absent"));
  EXPECT_NE(std::string::npos,
            ParseError(R"({"do":"expect","exit":{},"absent":true,"until":1})").find("2 to 3"));
  EXPECT_NE(std::string::npos,
            ParseError(R"({"do":"expect","exit":{},"absent":true,"count":2})").find("absent"));
  EXPECT_NE(std::string::npos, ParseError(R"({"do":"expect","exit":5})").find("\"exit\""));
}

Expectation Expect(const std::string& step) {
  Expectation expectation;
  std::string error;
  EXPECT_TRUE(ParseExpectation(J(step), 1, 9, &expectation, &error)) << error;
  return expectation;
}

TEST(ExpectationCheckerTest, KeepsWhatLaterExpectationsNeedAndClaimsInOrder) {
  const Expectation first = Expect(R"({"do":"expect","message":{"name":"A"}})");
  const Expectation two =
      Expect(R"({"do":"expect","message":{"name":{"regex":"^[AB]$"}},"count":2})");
  const Expectation bytes = Expect(R"({"do":"expect","request":{"bytes":"01"}})");
  ExpectationChecker checker;
  checker.Plan({first.Outline(), two.Outline(), bytes.Outline()});
  std::vector<Json::Value> failures;
  checker.Observe(J(R"({"event":"message","name":"B","n":1})"), &failures);
  checker.Observe(J(R"({"event":"message","name":"A","n":2})"), &failures);
  checker.Observe(J(R"({"event":"reply","bytes":"01"})"), &failures);
  checker.Observe(J(R"({"event":"request","bytes":"01"})"), &failures);
  EXPECT_TRUE(failures.empty());

  EXPECT_EQ(0, checker.Consume(first, 1));
  checker.Finish(first);
  // "A" is taken; of the two the second expectation wants only "B" is left.
  EXPECT_EQ(1, checker.Consume(two, 2));
  const Json::Value failure = checker.Failure(7, two, 1);
  EXPECT_EQ("expectFailed", failure["event"].asString());
  EXPECT_EQ(7, failure["step"].asInt());
  EXPECT_EQ(1, failure["found"].asInt());
  EXPECT_EQ(2, failure["expected"]["count"].asInt());
  EXPECT_TRUE(failure["candidates"].empty());
  checker.Finish(two);

  EXPECT_EQ(0, checker.Consume(bytes, 1));
  EXPECT_EQ(1, checker.failed_expectations());
  EXPECT_EQ(1u, checker.first_failures().size());
}

TEST(ExpectationCheckerTest, FailuresShowTheNearestCandidates) {
  const Expectation wanted = Expect(R"({"do":"expect","message":{"name":"A","browser":2}})");
  ExpectationChecker checker;
  checker.Plan({wanted.Outline()});
  std::vector<Json::Value> failures;
  checker.Observe(J(R"({"event":"message","name":"C","browser":1})"), &failures);
  checker.Observe(
      J(R"({"event":"message","name":"A","browser":1,"long":")" + std::string(2000, 'x') + R"("})"),
      &failures);
  EXPECT_EQ(1, checker.Consume(wanted, 1));
  const Json::Value failure = checker.Failure(3, wanted, 0);
  ASSERT_EQ(2u, failure["candidates"].size());
  EXPECT_EQ("A", failure["candidates"][0]["name"].asString());
  EXPECT_LT(failure["candidates"][0]["long"].asString().size(), 600u);
}

TEST(ExpectationCheckerTest, AbsentWatchesAndUnclaimedStepProblems) {
  const auto never = std::make_shared<Expectation>(
      Expect(R"({"do":"expect","hostNote":{},"absent":true,"until":4})"));
  const Expectation refusal = Expect(R"({"do":"expect","ack":{"outcome":"refused"}})");
  ExpectationChecker checker;
  checker.Plan({never->Outline(), refusal.Outline()});
  std::vector<Json::Value> failures;
  Json::Value failure;
  ASSERT_TRUE(checker.StartWatch(2, never, &failure));
  checker.Observe(J(R"({"event":"ack","step":3,"outcome":"refused","detail":"no"})"), &failures);
  checker.Observe(J(R"({"event":"timeout","step":3,"waitingFor":"X"})"), &failures);
  checker.Observe(J(R"({"event":"hostNote","text":"odd"})"), &failures);
  ASSERT_EQ(1u, failures.size());
  EXPECT_EQ("odd", failures[0]["unexpected"]["text"].asString());
  EXPECT_TRUE(failures[0]["expected"]["absent"].asBool());
  // Broken once, reported once.
  checker.Observe(J(R"({"event":"hostNote","text":"again"})"), &failures);
  EXPECT_EQ(1u, failures.size());

  EXPECT_EQ(2u, checker.UnexpectedProblems().size());
  EXPECT_EQ(0, checker.Consume(refusal, 1));
  ASSERT_EQ(1u, checker.UnexpectedProblems().size());
  EXPECT_EQ("step 3: timed out waiting for X", checker.UnexpectedProblems()[0]);

  // A watch ends before its "until" step.
  ExpectationChecker later;
  later.Plan({never->Outline()});
  ASSERT_TRUE(later.StartWatch(2, never, &failure));
  later.BeforeStep(4);
  failures.clear();
  later.Observe(J(R"({"event":"hostNote","text":"fine now"})"), &failures);
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(IsStepProblem(J(R"({"event":"error","step":1,"message":"m"})")));
  EXPECT_FALSE(IsStepProblem(J(R"({"event":"ack","step":1,"outcome":"declined"})")));
}

}  // namespace
}  // namespace host
}  // namespace nuv
