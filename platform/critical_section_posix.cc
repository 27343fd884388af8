#include "platform/critical_section.h"

#include <pthread.h>

namespace nuv {
namespace platform {

struct CriticalSection::Impl {
  pthread_mutex_t mutex;
};

CriticalSection::CriticalSection() : impl_(new Impl) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&impl_->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
}

CriticalSection::~CriticalSection() {
  pthread_mutex_destroy(&impl_->mutex);
}

void CriticalSection::Enter() {
  pthread_mutex_lock(&impl_->mutex);
}

bool CriticalSection::TryEnter() {
  return pthread_mutex_trylock(&impl_->mutex) == 0;
}

void CriticalSection::Leave() {
  pthread_mutex_unlock(&impl_->mutex);
}

}  // namespace platform
}  // namespace nuv
