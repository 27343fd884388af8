// The program's own settings class, CNuvChromeProcessGlobal, which the entry
// routine installs as the process's settings object (src/common/process_global.h).
#ifndef NUV_SRC_APP_PROCESS_GLOBAL_H_
#define NUV_SRC_APP_PROCESS_GLOBAL_H_

#include <cstdint>
#include <string>

#include "src/common/global.h"
#include "src/common/process_global.h"

// Adds the two paths given on the sub-process command line ("nuv-log-file",
// "nuv-temp-path") to the library's defaults.
class CNuvChromeProcessGlobal : public CNuvGlobalDefault {
 public:
  CNuvChromeProcessGlobal() = default;

  // Appends a line to the log file when its path is set; `kind` is not read.
  void WriteLog(const char16_t* text, int32_t kind) override;
  // The temp path override with a separator appended (directory created), or
  // the default when no override is set.
  std::u16string GetTempPath() override;
  ~CNuvChromeProcessGlobal() override;

  // Used once by the entry routine, before anything logs.
  void SetLogFilePath(const std::u16string& path) { m_logFilePath = path; }
  void SetTempPathOverride(const std::u16string& path) { m_tempPathOverride = path; }
  const std::u16string& GetLogFilePath() const { return m_logFilePath; }
  const std::u16string& GetTempPathOverride() const { return m_tempPathOverride; }

 private:
  std::u16string m_logFilePath;
  std::u16string m_tempPathOverride;
};

// Installs this class as the process's settings object and returns it with
// its own type; the entry routine calls it before anything else.
CNuvChromeProcessGlobal* GetChromeProcessGlobal();

#endif  // NUV_SRC_APP_PROCESS_GLOBAL_H_
