// LeakSanitizer as the asan preset runs it (the environment CTest gives every
// sanitized test, inherited by the probe): V8's bookkeeping is suppressed,
// a leak of ours is reported even inside a function that V8 calls.
#include <gtest/gtest.h>

#include "tests/common/test_util.h"

namespace {

nuv_test::ChildResult RunProbe(const char* mode) {
  return nuv_test::RunChild(LEAK_PROBE_PATH, {mode});
}

TEST(LeakCheck, CleanRunsReportNothing) {
  for (const char* mode : {"teardown", "v8-alive"}) {
    nuv_test::ChildResult result = RunProbe(mode);
    EXPECT_EQ(result.output, "probe done\n") << mode;
    EXPECT_EQ(result.exit_code, 0) << mode << ": LeakSanitizer reported a leak";
  }
}

// A module-wide suppression of the V8 library would hide this one: the
// allocation's stack has V8's frames below the function.
TEST(LeakCheck, ALeakUnderAScriptCallIsReported) {
  nuv_test::ChildResult result = RunProbe("leak-in-handler");
  EXPECT_EQ(result.output, "probe done\n");
  EXPECT_NE(result.exit_code, 0) << "LeakSanitizer did not report the lost blocks";
}

}  // namespace
