// The process's one settings object, reached from every layer through
// GetProcessGlobal. The program's top layer decides which class it is by
// installing a factory before the first call; without one the library's
// defaults (CNuvGlobalDefault) serve.
#ifndef NUV_SRC_COMMON_PROCESS_GLOBAL_H_
#define NUV_SRC_COMMON_PROCESS_GLOBAL_H_

#include "src/common/global.h"

using NuvProcessGlobalFactory = INuvGlobal* (*)();

// Sets the factory the first GetProcessGlobal call uses. False, and nothing
// changed, once the object exists.
bool SetProcessGlobalFactory(NuvProcessGlobalFactory factory);

// The process's settings object: created on the first call (which reads the
// configuration and may end the process with exit code -1), destroyed at
// process exit. Every call returns the same object. The first call comes from
// the entry routine on the main thread, before any other thread exists.
INuvGlobal* GetProcessGlobal();

// Log lines about failures, for callers that are handling one (often an
// allocation failure): `build` makes the text only when the line is to be
// written, and nothing thrown while building or writing it gets out. The
// debug variant writes only with "/Debug" on the command line.
template <typename BuildText>
void WriteLogNoThrow(BuildText build) noexcept {
  try {
    GetProcessGlobal()->WriteLog(build().c_str(), 0);
  } catch (...) {
  }
}
bool IsDebugLogOn() noexcept;
template <typename BuildText>
void WriteDebugLogNoThrow(BuildText build) noexcept {
  if (IsDebugLogOn())
    WriteLogNoThrow(build);
}

#endif  // NUV_SRC_COMMON_PROCESS_GLOBAL_H_
