#include "src/common/global.h"

#include "platform/file_util.h"
#include "platform/temp_dir.h"
#include "src/common/config.h"
#include "src/common/file_util.h"
#include "src/common/log.h"

namespace {

constexpr char16_t kResourcePrefix[] = u"%ResourceFilePath%/";
constexpr size_t kResourcePrefixLength = 19;

}  // namespace

CNuvGlobalDefault::CNuvGlobalDefault() {
  m_productName = GetConfigString(u"ProductName", true, true);
  m_innerProductName = GetConfigString(u"InnerProductName", false, false);
  if (m_innerProductName.empty())
    m_innerProductName = m_productName;
}

CNuvGlobalDefault::~CNuvGlobalDefault() = default;

void CNuvGlobalDefault::WriteLog(const char16_t* text, int32_t kind) {}

std::u16string CNuvGlobalDefault::GetDefaultTempPath() {
  std::u16string path = nuv::platform::GetSystemTempDirectory();
  if (!path.empty() && !nuv::platform::IsPathSeparator(path.back()) && path.back() != u'\\')
    path += nuv::platform::kPathSeparator;
  path += m_innerProductName;
  path += nuv::platform::kPathSeparator;
  EnsureDirectory(path);
  return path;
}

std::u16string CNuvGlobalDefault::GetTempPath() {
  CNuvAutoLock hold(m_tempPathLock);
  if (m_tempPath.empty())
    m_tempPath = GetDefaultTempPath();
  EnsureDirectory(m_tempPath);
  return m_tempPath;
}

bool CNuvGlobalDefault::IsResourceFilePath(const char16_t* path) {
  if (!path)
    return false;
  for (size_t i = 0; i < kResourcePrefixLength; ++i) {
    if (path[i] != kResourcePrefix[i])
      return false;
  }
  return true;
}

bool CNuvGlobalDefault::ReservedCheck(uint32_t value1, uint32_t value2, uint32_t value3) {
  return true;
}

std::u16string CNuvGlobalDefault::GetProductName() {
  return m_productName;
}

void CNuvGlobalDefault::SetTempPath(const char16_t* path, int32_t flag) {
  CNuvAutoLock hold(m_tempPathLock);
  m_tempPath = path ? path : u"";
  m_tempPathFlag = flag;
}

std::u16string CNuvGlobalDefault::GetReservedText1() {
  return std::u16string();
}

std::u16string CNuvGlobalDefault::GetReservedText2() {
  return std::u16string();
}

void CNuvGlobalDefault::WriteDebugLog(const char16_t* text) {
  if (IsDebugSwitchOn())
    WriteLog(text, 0);
}

bool CNuvGlobalDefault::IsReservedMode() {
  return false;
}
