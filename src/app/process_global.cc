#include "src/app/process_global.h"

#include <cstdio>
#include <cstdlib>

#include "platform/file_util.h"
#include "src/common/file_util.h"
#include "src/common/log.h"

namespace {

INuvGlobal* MakeChromeProcessGlobal() {
  return new CNuvChromeProcessGlobal;
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

// The entry routine calls this first, so the program's own class is the one
// the common library creates. Reaching the settings object before that is a
// programming error that would leave the command-line paths unset: it is
// reported and the process ends.
CNuvChromeProcessGlobal* GetChromeProcessGlobal() {
  SetProcessGlobalFactory(MakeChromeProcessGlobal);
  auto* global = dynamic_cast<CNuvChromeProcessGlobal*>(GetProcessGlobal());
  if (!global) {
    fputs("nuv: the settings object was created before the entry routine installed its class\n",
          stderr);
    abort();
  }
  return global;
}
