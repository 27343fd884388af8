// Lock objects shared by every lock of the program: the abstract
// CNuvSyncObject, the re-entrant CNuvCriticalSectionObject, and CNuvAutoLock,
// the scoped holder through which callers take and release them.
#ifndef NUV_SRC_COMMON_SYNC_OBJECT_H_
#define NUV_SRC_COMMON_SYNC_OBJECT_H_

#include <cstdint>

#include "platform/critical_section.h"
#include "platform/wait_handle.h"

// Base of the lock family. It may own an operating-system waitable handle
// (none by default), which it closes on destruction.
class CNuvSyncObject {
 public:
  // Timeout meaning "wait without limit".
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  CNuvSyncObject() = default;
  CNuvSyncObject(const CNuvSyncObject&) = delete;
  CNuvSyncObject& operator=(const CNuvSyncObject&) = delete;

  // Waits on the handle for `timeout` milliseconds; true when the wait
  // succeeds (or finds the handle abandoned), false otherwise.
  virtual bool Lock(uint32_t timeout = kInfinite);
  // Returns true and does nothing else.
  virtual bool Unlock(int32_t count, int32_t* previous = nullptr);
  virtual bool Unlock() = 0;
  virtual ~CNuvSyncObject();

 protected:
  nuv::platform::WaitHandle m_hObject = nullptr;
};

// A re-entrant critical section: the thread that holds it may take it again.
class CNuvCriticalSectionObject : public CNuvSyncObject {
 public:
  CNuvCriticalSectionObject() = default;

  // Enters the critical section; `timeout` is ignored; always true.
  bool Lock(uint32_t timeout = kInfinite) override;
  using CNuvSyncObject::Unlock;
  // Leaves the critical section; always true.
  bool Unlock() override;
  ~CNuvCriticalSectionObject() override;

 private:
  nuv::platform::CriticalSection m_section;
};

// Holds a lock for the lifetime of the holder: Lock(kInfinite) on creation,
// Unlock() on destruction when the Lock succeeded.
class CNuvAutoLock {
 public:
  explicit CNuvAutoLock(CNuvSyncObject* object);
  explicit CNuvAutoLock(CNuvSyncObject& object) : CNuvAutoLock(&object) {}
  CNuvAutoLock(const CNuvAutoLock&) = delete;
  CNuvAutoLock& operator=(const CNuvAutoLock&) = delete;
  ~CNuvAutoLock();

  bool IsLocked() const { return m_locked; }

 private:
  CNuvSyncObject* m_object;
  bool m_locked;
};

#endif  // NUV_SRC_COMMON_SYNC_OBJECT_H_
