// Critical sections, atomic counters and waitable handles.
#include "platform/critical_section.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/atomic.h"
#include "platform/wait_handle.h"

namespace nuv {
namespace platform {
namespace {

TEST(CriticalSectionTest, ReentrantAndExclusive) {
  CriticalSection section;
  section.Enter();
  section.Enter();  // same thread again
  bool other_entered = true;
  std::thread([&] { other_entered = section.TryEnter(); }).join();
  EXPECT_FALSE(other_entered);
  section.Leave();
  std::thread([&] { other_entered = section.TryEnter(); }).join();
  EXPECT_FALSE(other_entered);  // still held once
  section.Leave();
  std::thread([&] {
    other_entered = section.TryEnter();
    if (other_entered)
      section.Leave();
  }).join();
  EXPECT_TRUE(other_entered);
}

TEST(CriticalSectionTest, ProtectsAPlainCounter) {
  CriticalSection section;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        section.Enter();
        ++counter;
        section.Leave();
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 80000);
}

TEST(AtomicTest, IncrementsAreNeverLostAndWrap) {
  volatile int32_t counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i)
        AtomicIncrement(&counter);
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 200000);
  volatile int32_t top = INT32_MAX;
  EXPECT_EQ(AtomicIncrement(&top), INT32_MIN);
  EXPECT_EQ(AtomicDecrement(&top), INT32_MAX);
}

TEST(WaitHandleTest, NullHandleNeverWaits) {
  EXPECT_FALSE(WaitOnHandle(nullptr, 0xFFFFFFFFu));
  CloseWaitHandle(nullptr);
}

}  // namespace
}  // namespace platform
}  // namespace nuv
