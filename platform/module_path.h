// Where the running executable lives.
#ifndef NUV_PLATFORM_MODULE_PATH_H_
#define NUV_PLATFORM_MODULE_PATH_H_

#include <string>

namespace nuv {
namespace platform {

// Full path of the executable of this process (GetModuleFileNameW(null));
// empty when it cannot be had.
std::u16string GetModulePath();

// The long form of `path` (GetLongPathNameW); empty when the path cannot be
// resolved. POSIX has no short names: the path itself when it exists.
std::u16string GetLongPath(const std::u16string& path);

// Directory part of the executable path (long form, first character
// upper-cased) ending in kPathSeparator; empty when it cannot be had.
std::u16string GetModuleDirectory();

// File name with extension of the executable ("nuv_subprocess").
std::u16string GetExecutableName();

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_MODULE_PATH_H_
