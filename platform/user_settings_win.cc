#include "platform/user_settings.h"

#include <windows.h>

namespace nuv {
namespace platform {

bool ReadUserDword(const std::u16string& key, const std::u16string& name, uint32_t* value) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(key.c_str()), 0, KEY_READ,
                    &handle) != ERROR_SUCCESS)
    return false;
  DWORD data = 0;
  DWORD size = sizeof(data);
  LONG result = RegQueryValueExW(handle, reinterpret_cast<const wchar_t*>(name.c_str()), nullptr,
                                 nullptr, reinterpret_cast<BYTE*>(&data), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS)
    return false;
  *value = data;
  return true;
}

}  // namespace platform
}  // namespace nuv
