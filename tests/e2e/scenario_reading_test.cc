// Reading scenario files: the steps are found in the text one by one (so a
// long scenario never becomes one large tree), with the same result and the
// same errors as reading the whole document.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "host/client/json_steps_splitter.h"
#include "host/client/scenario.h"

namespace nuv {
namespace host {
namespace {

std::vector<std::string> Elements(const std::string& text) {
  ArraySpans spans;
  if (!SplitArrayMember(text, "steps", &spans))
    return {"<not split>"};
  std::vector<std::string> out;
  for (const auto& span : spans.elements)
    out.push_back(text.substr(span.first, span.second - span.first));
  return out;
}

TEST(ScenarioReadingTest, StepsAreFoundInTheText) {
  using List = std::vector<std::string>;
  EXPECT_EQ(List{}, Elements(R"({"steps": []})"));
  EXPECT_EQ((List{R"({"do": "end"})", "5", R"("a]\"}")", "[1, [2]]"}),
            Elements(R"( // comment with "steps": [
      { "host": {"steps": [1]}, /* "steps": [2] */ "steps" : [ {"do": "end"} , 5,
        "a]\"}", [1, [2]] ] })"));
  EXPECT_EQ((List{R"({"a": "/* not a comment */"})"}),
            Elements(R"({"steps": [{"a": "/* not a comment */"}]})"));
  for (const char* broken :
       {"", "[]", R"({"steps": 5})", R"({"steps": [1, 2)", R"({"steps": [1 2]})",
        R"({"steps": ["open]})", R"({"x": 1 "steps": []})", R"({"steps": [/* open ]})"}) {
    EXPECT_EQ(List{"<not split>"}, Elements(broken)) << broken;
  }
}

TEST(ScenarioReadingTest, StepsReadOneByOneAsFromTheWholeDocument) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ParseScenario(R"({
      "description": "d",
      "steps": [
        { "do": "createBrowser" },   // a comment
        { "do": "expect", "request": { "bytes": "01" } },
        { "do": "expect", "log": "x", "absent": true },
        { "do": "end" }
      ],
      "start": { "debug": true }
    })",
                            &scenario, &error))
      << error;
  EXPECT_EQ("d", scenario.description);
  EXPECT_TRUE(scenario.start.debug);
  ASSERT_EQ(4u, scenario.step_count());
  EXPECT_EQ(R"({"do":"createBrowser"})", scenario.step_texts[0]);
  ASSERT_EQ(2u, scenario.expectations.size());
  EXPECT_TRUE(scenario.expectations[0].compares_bytes);
  EXPECT_TRUE(scenario.expectations[1].absent);
  Step step;
  ASSERT_TRUE(scenario.StepAt(1, &step, &error)) << error;
  EXPECT_EQ(StepKind::kExpect, step.kind);
  EXPECT_EQ(2u, step.index);
  EXPECT_FALSE(scenario.StepAt(4, &step, &error));

  // A second "steps" member wins, as in the whole document.
  ASSERT_TRUE(ParseScenario(R"({"steps": [{"do": "gc"}], "steps": [{"do": "end"}, {"do": "end"}]})",
                            &scenario, &error))
      << error;
  EXPECT_EQ(2u, scenario.step_count());

  // Errors name the step either way.
  EXPECT_FALSE(
      ParseScenario(R"({"steps": [{"do": "end"}, {"do": "end", "x": 1}]})", &scenario, &error));
  EXPECT_NE(std::string::npos, error.find("step 2: unknown member \"x\"")) << error;
  EXPECT_FALSE(ParseScenario(R"({"steps": [{"do": "end"}, {"do": "end"} /]})", &scenario, &error));
  EXPECT_NE(std::string::npos, error.find("not valid JSON")) << error;
}

// A scenario file's steps stay in the file (a long run does not hold their
// texts) and are read back when played, as they were when it was loaded.
TEST(ScenarioReadingTest, StepsOfAFileAreReadBackFromIt) {
  char path[] = "/tmp/nuv-scenario-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  const auto write = [&path](const std::string& text) {
    std::ofstream(path, std::ios::trunc | std::ios::binary) << text;
  };
  write(R"({"steps": [{"do": "createBrowser"}, /* c */ {"do": "gc", "timeoutMs": 7}]})");
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(LoadScenarioFile(path, &scenario, &error)) << error;
  EXPECT_TRUE(scenario.step_texts.empty());
  ASSERT_EQ(2u, scenario.step_count());
  Step step;
  ASSERT_TRUE(scenario.StepAt(1, &step, &error)) << error;
  EXPECT_EQ(StepKind::kCollectGarbage, step.kind);
  EXPECT_EQ(7, step.timeout_ms);
  EXPECT_EQ(R"({"do":"gc","timeoutMs":7})", step.source);

  // Changed in place after loading: refused, not played as it now reads.
  write(R"({"steps": [{"do": "createBrowser"}, {"do": "end"}, {"do": "gc", "timeoutMs": 7}]})");
  EXPECT_FALSE(scenario.StepAt(1, &step, &error));
  EXPECT_EQ("step 2: the scenario file has changed since the run began", error);
  unlink(path);
}

// Every member of "start" that docs/scenarios.md lists is taken; an unknown
// one is refused with the list of those it takes.
TEST(ScenarioReadingTest, StartTakesEveryDocumentedMember) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ParseScenario(R"({"steps": [], "start": {"type": null, "handle": "0x${hostWindow}",
      "logFile": false, "tempPath": "/t", "debug": true, "extraArgs": ["--a"],
      "uncaughtExceptionStackSize": 3}})",
                            &scenario, &error))
      << error;
  EXPECT_FALSE(scenario.start.with_type);
  EXPECT_EQ("0x${hostWindow}", scenario.start.handle);
  EXPECT_FALSE(scenario.start.log_file);
  EXPECT_EQ("/t", scenario.start.temp_path);
  EXPECT_TRUE(scenario.start.debug);
  EXPECT_EQ(std::vector<std::string>{"--a"}, scenario.start.extra_args);
  EXPECT_EQ(3, scenario.start.uncaught_exception_stack_size);
  ASSERT_TRUE(ParseScenario(R"({"steps": [], "start": {"uncaughtExceptionStackSize": null}})",
                            &scenario, &error))
      << error;
  EXPECT_EQ(0, scenario.start.uncaught_exception_stack_size);

  EXPECT_FALSE(ParseScenario(R"({"steps": [], "start": {"typ": 1}})", &scenario, &error));
  EXPECT_NE(std::string::npos, error.find("unknown member \"typ\"; it takes debug, extraArgs, "
                                          "handle, logFile, tempPath, type, "
                                          "uncaughtExceptionStackSize"))
      << error;
}

}  // namespace
}  // namespace host
}  // namespace nuv
