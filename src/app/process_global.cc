#include "src/app/process_global.h"

#include <cstdlib>

#include "platform/file_util.h"
#include "src/common/file_util.h"
#include "src/common/log.h"

namespace {

CNuvChromeProcessGlobal* g_processGlobal = nullptr;

void DestroyProcessGlobal() {
  CNuvChromeProcessGlobal* global = g_processGlobal;
  g_processGlobal = nullptr;
  delete global;
}

}  // namespace

void CNuvChromeProcessGlobal::WriteLog(const char16_t* text, int32_t kind) {
  if (!m_logFilePath.empty())
    AppendLogLine(m_logFilePath, text ? text : u"");
}

std::u16string CNuvChromeProcessGlobal::GetTempPath() {
  if (m_tempPathOverride.empty())
    return CNuvGlobalDefault::GetTempPath();
  std::u16string path = m_tempPathOverride;
  if (!nuv::platform::IsPathSeparator(path.back()) && path.back() != u'\\')
    path += nuv::platform::kPathSeparator;
  EnsureDirectory(path);
  return path;
}

CNuvChromeProcessGlobal::~CNuvChromeProcessGlobal() {
  m_tempPathOverride.clear();
  m_logFilePath.clear();
}

// The first call comes from the entry routine on the main thread, before any
// other thread exists, so creation needs no lock. Construction may end the
// process (no product name); the exit handler is registered only for a
// finished object.
CNuvChromeProcessGlobal* GetChromeProcessGlobal() {
  if (!g_processGlobal) {
    g_processGlobal = new CNuvChromeProcessGlobal;
    atexit(DestroyProcessGlobal);
  }
  return g_processGlobal;
}

INuvGlobal* GetProcessGlobal() {
  return GetChromeProcessGlobal();
}

bool IsDebugLogOn() noexcept {
  try {
    return IsDebugSwitchOn();
  } catch (...) {
    return false;
  }
}
