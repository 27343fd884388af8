#include "src/common/sync_object.h"

bool CNuvSyncObject::Lock(uint32_t timeout) {
  return nuv::platform::WaitOnHandle(m_hObject, timeout);
}

bool CNuvSyncObject::Unlock(int32_t count, int32_t* previous) {
  return true;
}

CNuvSyncObject::~CNuvSyncObject() {
  if (m_hObject) {
    nuv::platform::CloseWaitHandle(m_hObject);
    m_hObject = nullptr;
  }
}

bool CNuvCriticalSectionObject::Lock(uint32_t timeout) {
  m_section.Enter();
  return true;
}

bool CNuvCriticalSectionObject::Unlock() {
  m_section.Leave();
  return true;
}

CNuvCriticalSectionObject::~CNuvCriticalSectionObject() = default;

CNuvAutoLock::CNuvAutoLock(CNuvSyncObject* object)
    : m_object(object), m_locked(object && object->Lock(CNuvSyncObject::kInfinite)) {}

CNuvAutoLock::~CNuvAutoLock() {
  if (m_locked)
    m_object->Unlock();
}
