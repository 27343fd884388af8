#include "platform/module_path.h"

#include <windows.h>

#include <cwctype>

namespace nuv {
namespace platform {

namespace {

constexpr DWORD kPathBuffer = 1024;

}  // namespace

std::u16string GetModulePath() {
  wchar_t buffer[kPathBuffer] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, kPathBuffer);
  if (length == 0 || length >= kPathBuffer)
    return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

std::u16string GetLongPath(const std::u16string& path) {
  wchar_t buffer[kPathBuffer] = {};
  DWORD length =
      ::GetLongPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), buffer, kPathBuffer);
  if (length == 0 || length >= kPathBuffer)
    return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

std::u16string GetModuleDirectory() {
  std::u16string path = GetLongPath(GetModulePath());
  if (path.empty())
    return path;
  path[0] = static_cast<char16_t>(towupper(path[0]));
  wchar_t drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {};
  if (_wsplitpath_s(reinterpret_cast<const wchar_t*>(path.c_str()), drive, _MAX_DRIVE, dir,
                    _MAX_DIR, nullptr, 0, nullptr, 0) != 0)
    return std::u16string();
  std::u16string result(reinterpret_cast<const char16_t*>(drive));
  result += reinterpret_cast<const char16_t*>(dir);
  return result;
}

std::u16string GetExecutableName() {
  std::u16string path = GetModulePath();
  std::u16string long_path = GetLongPath(path);
  if (!long_path.empty())
    path = long_path;
  wchar_t name[kPathBuffer] = {}, ext[kPathBuffer] = {};
  if (_wsplitpath_s(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr, 0, nullptr, 0, name,
                    kPathBuffer, ext, kPathBuffer) != 0)
    return std::u16string();
  std::u16string result(reinterpret_cast<const char16_t*>(name));
  result += reinterpret_cast<const char16_t*>(ext);
  return result;
}

}  // namespace platform
}  // namespace nuv
