// Per-user settings read by the program (the registry under
// HKEY_CURRENT_USER on Windows). Read only: nothing is ever written back.
#ifndef NUV_PLATFORM_USER_SETTINGS_H_
#define NUV_PLATFORM_USER_SETTINGS_H_

#include <cstdint>
#include <string>

namespace nuv {
namespace platform {

// Reads the 32-bit value `name` under the per-user key `key`
// ("Software\\<product>"). False when the key or value is missing.
// POSIX: the file <root>/<key with '\\' as '/'>/<name> holding the number in
// decimal or 0x-hexadecimal text, where <root> is $NUV_USER_SETTINGS_DIR,
// else $XDG_CONFIG_HOME/nuv-user-settings, else $HOME/.config/nuv-user-settings.
bool ReadUserDword(const std::u16string& key, const std::u16string& name, uint32_t* value);

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_USER_SETTINGS_H_
