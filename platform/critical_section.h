// A re-entrant critical section: the thread that holds it may enter again
// and must leave as often as it entered.
#ifndef NUV_PLATFORM_CRITICAL_SECTION_H_
#define NUV_PLATFORM_CRITICAL_SECTION_H_

#include <memory>

namespace nuv {
namespace platform {

class CriticalSection {
 public:
  CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  ~CriticalSection();

  void Enter();
  bool TryEnter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_CRITICAL_SECTION_H_
