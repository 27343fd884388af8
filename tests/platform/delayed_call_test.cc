// Delayed calls: run once on another thread, or never when cancelled in
// time; cancelling waits for a callback that is running.
#include "platform/delayed_call.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace nuv {
namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
  std::atomic<int> calls{0};
  std::atomic<bool> on_caller_thread{false};
  std::thread::id caller = std::this_thread::get_id();
  Clock::time_point at;
  std::atomic<int> sleep_ms{0};
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};

  static void Run(void* context) {
    auto* probe = static_cast<Probe*>(context);
    probe->at = Clock::now();
    probe->on_caller_thread = std::this_thread::get_id() == probe->caller;
    probe->started = true;
    if (probe->sleep_ms)
      std::this_thread::sleep_for(std::chrono::milliseconds(probe->sleep_ms.load()));
    probe->finished = true;
    ++probe->calls;
  }
};

bool WaitFor(const std::atomic<int>& value, int expected, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (value.load() != expected && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return value.load() == expected;
}

TEST(DelayedCallTest, RunsOnceOnAnotherThreadNoSoonerThanAsked) {
  Probe first;
  Probe second;
  DelayedCall later;
  DelayedCall sooner;
  const Clock::time_point armed = Clock::now();
  ASSERT_TRUE(later.Start(120, &Probe::Run, &first));
  ASSERT_TRUE(sooner.Start(30, &Probe::Run, &second));
  EXPECT_FALSE(sooner.Start(30, &Probe::Run, &second));  // armed already
  ASSERT_TRUE(WaitFor(first.calls, 1, 10000));
  ASSERT_TRUE(WaitFor(second.calls, 1, 10000));
  EXPECT_FALSE(first.on_caller_thread);
  EXPECT_GE(first.at - armed, std::chrono::milliseconds(120));
  EXPECT_GE(second.at - armed, std::chrono::milliseconds(30));
  EXPECT_TRUE(later.Cancel());
  EXPECT_TRUE(sooner.Cancel());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(first.calls.load(), 1);
  EXPECT_EQ(second.calls.load(), 1);
}

TEST(DelayedCallTest, CancelledInTimeNeverRunsAndCanBeArmedAgain) {
  Probe probe;
  {
    DelayedCall call;
    ASSERT_TRUE(call.Start(60000, &Probe::Run, &probe));
    EXPECT_FALSE(call.Cancel());
    EXPECT_FALSE(call.Cancel());  // nothing armed any more
    ASSERT_TRUE(call.Start(20, &Probe::Run, &probe));
    ASSERT_TRUE(WaitFor(probe.calls, 1, 10000));
    DelayedCall abandoned;  // its destructor cancels
    ASSERT_TRUE(abandoned.Start(50, &Probe::Run, &probe));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(probe.calls.load(), 1);
}

TEST(DelayedCallTest, CancelWaitsForARunningCallback) {
  Probe probe;
  probe.sleep_ms = 200;
  DelayedCall call;
  ASSERT_TRUE(call.Start(0, &Probe::Run, &probe));
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!probe.started && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(call.Cancel());
  EXPECT_TRUE(probe.finished.load());
}

}  // namespace
}  // namespace platform
}  // namespace nuv
