// The product's configuration file beside the executable ("oem.ini", else
// "config.dat", section "Common"), read once per process, and the interface
// language that localises its values.
#ifndef NUV_SRC_COMMON_CONFIG_H_
#define NUV_SRC_COMMON_CONFIG_H_

#include <cstdint>
#include <string>

// The value of `key` in section "Common". `localised`: "key_<language id>"
// is tried before `key`. `required` and empty: the process exits with -1.
std::u16string GetConfigString(const char16_t* key, bool required, bool localised);

// The interface language id: the per-user "LCID" setting of the product, else
// the user's default locale; 0 when listed in "UIExcludes"; Chinese variants
// folded to 0x0404 / 0x0804. Computed once.
uint32_t GetUiLanguage();

#endif  // NUV_SRC_COMMON_CONFIG_H_
