#include "src/common/log.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/date_format.h"
#include "platform/file_util.h"
#include "platform/module_path.h"
#include "platform/ole_date.h"
#include "platform/process_info.h"
#include "src/common/file_util.h"
#include "src/common/sync_object.h"

namespace {

// Sizes of the fixed buffers the line pieces are cut to.
constexpr size_t kShortBuffer = 260;

// Created on first use and deliberately never destroyed, so that a thread
// still logging while the process exits never meets a destroyed lock.
CNuvCriticalSectionObject& LogLock() {
  static CNuvCriticalSectionObject* lock = new CNuvCriticalSectionObject;
  return *lock;
}

// "<long date> <time>" of the current local time, to whole seconds, taken
// through an OLE date as the calendar fields of the line.
std::u16string DateTimeText() {
  time_t now = time(nullptr);
  struct tm local = {};
#if defined(_WIN32)
  if (localtime_s(&local, &now) != 0)
    return std::u16string();
#else
  if (!localtime_r(&now, &local))
    return std::u16string();
#endif
  nuv::platform::SystemTime fields;
  fields.year = static_cast<uint16_t>(local.tm_year + 1900);
  fields.month = static_cast<uint16_t>(local.tm_mon + 1);
  fields.day = static_cast<uint16_t>(local.tm_mday);
  fields.hour = static_cast<uint16_t>(local.tm_hour);
  fields.minute = static_cast<uint16_t>(local.tm_min);
  fields.second = static_cast<uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  double date = 0;
  if (!nuv::platform::SystemTimeToOleDate(fields, &date) ||
      !nuv::platform::OleDateToSystemTime(date, &fields))
    return std::u16string();
  std::u16string text = nuv::platform::FormatLongDate(fields).substr(0, kShortBuffer - 1);
  text += u' ';
  text += nuv::platform::FormatTime(fields).substr(0, kShortBuffer - 1);
  return text.substr(0, kShortBuffer - 1);
}

std::u16string DecimalText(uint32_t value) {
  char buffer[16];
  snprintf(buffer, sizeof(buffer), "%u", value);
  return std::u16string(buffer, buffer + strlen(buffer));
}

std::u16string BuildLine(const std::u16string& text) {
  std::u16string line = nuv::platform::GetExecutableName();
  line += u' ';
  line += DateTimeText();
  line += u" (" + DecimalText(nuv::platform::GetProcessId()) + u"-" +
          DecimalText(nuv::platform::GetThreadId()) + u")";
  line += u": ";
  size_t start = line.size();
  line += text;
  for (size_t i = start; i < line.size(); ++i) {
    if (line[i] == u'\r' || line[i] == u'\n')
      line[i] = u' ';
  }
  line += u"\r\n";
  return line;
}

std::string ToUtf16LeBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// The size check, the delete and the append as one step. The caller holds
// the process lock and the inter-process lock.
void AppendLocked(const std::u16string& path, const std::u16string& text) {
  if (GetFileSize64(path) > kMaxLogFileSize || DetectFileEncoding(path) != EncodingUtf16Le)
    nuv::platform::RemoveFile(path);
  bool exists = nuv::platform::PathExists(path);
  FILE* file = nuv::platform::OpenFile(path, exists ? "r+b" : "wb");
  if (!file)
    return;
  try {
    std::string bytes;
    if (!exists)
      bytes = "\xFF\xFE";
    else
      fseek(file, 0, SEEK_END);
    bytes += ToUtf16LeBytes(BuildLine(text));
    fwrite(bytes.data(), 1, bytes.size(), file);
    fflush(file);
  } catch (...) {
  }
  fclose(file);
}

}  // namespace

void AppendLogLine(const std::u16string& path, const std::u16string& text) {
  if (path.empty())
    return;
  try {
    CNuvAutoLock hold(LogLock());
    nuv::platform::ScopedFileLock between_processes(path);
    AppendLocked(path, text);
  } catch (...) {
  }
}

bool IsDebugSwitchOn() {
  static std::once_flag examined;
  static bool debug = false;
  std::call_once(examined, [] {
    std::u16string line = nuv::platform::GetCommandLineText();
    static const char16_t kWord[] = u"/debug";
    const size_t length = 6;
    for (size_t i = 0; i + length <= line.size() && !debug; ++i) {
      size_t k = 0;
      while (k < length) {
        char16_t c = line[i + k];
        if (c >= u'A' && c <= u'Z')
          c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kWord[k])
          break;
        ++k;
      }
      debug = k == length;
    }
  });
  return debug;
}
