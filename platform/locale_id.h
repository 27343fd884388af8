// Windows locale ids (LCID) for the user's language.
#ifndef NUV_PLATFORM_LOCALE_ID_H_
#define NUV_PLATFORM_LOCALE_ID_H_

#include <cstdint>
#include <string>

namespace nuv {
namespace platform {

constexpr uint32_t kLcidEnglishUs = 0x0409;

// GetUserDefaultLCID. POSIX: derived from LC_ALL, LC_MESSAGES or LANG
// (first one set and not empty); 1033 (en-US) for "C", "POSIX" or unknown.
uint32_t GetUserDefaultLcid();

// The LCID of a POSIX locale name such as "zh_CN.UTF-8" or "de_AT@euro";
// 0 when unknown.
uint32_t LcidFromLocaleName(const std::string& name);

#if !defined(_WIN32)
// The user's POSIX locale name for messages: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty; "C" otherwise.
std::string GetUserLocaleName();
#endif

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_LOCALE_ID_H_
