// Lock objects and their scoped holder.
#include "src/common/sync_object.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A lock object without a handle: waiting on it fails.
class HandleLessObject : public CNuvSyncObject {
 public:
  using CNuvSyncObject::Unlock;
  bool Unlock() override {
    ++unlocks;
    return true;
  }
  int unlocks = 0;
};

TEST(SyncObjectTest, BaseWithoutHandleNeverLocks) {
  HandleLessObject object;
  EXPECT_FALSE(object.Lock(CNuvSyncObject::kInfinite));
  int32_t previous = 7;
  EXPECT_TRUE(object.Unlock(1, &previous));
  EXPECT_EQ(previous, 7);
  {
    CNuvAutoLock hold(object);
    EXPECT_FALSE(hold.IsLocked());
  }
  EXPECT_EQ(object.unlocks, 0);  // Unlock() only after a successful Lock
  CNuvAutoLock none(static_cast<CNuvSyncObject*>(nullptr));
  EXPECT_FALSE(none.IsLocked());
}

TEST(SyncObjectTest, CriticalSectionIsReentrantAndExclusive) {
  CNuvCriticalSectionObject lock;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        CNuvAutoLock outer(lock);
        CNuvAutoLock inner(lock);  // the holder may take it again
        ASSERT_TRUE(inner.IsLocked());
        ++counter;
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 40000);
  EXPECT_TRUE(lock.Lock(0));  // the timeout is ignored
  EXPECT_TRUE(lock.Unlock());
}

}  // namespace
