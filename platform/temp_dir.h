// The system's directory for temporary files (GetTempPathW).
#ifndef NUV_PLATFORM_TEMP_DIR_H_
#define NUV_PLATFORM_TEMP_DIR_H_

#include <string>

namespace nuv {
namespace platform {

// The temporary directory, ending in a separator. POSIX: $TMPDIR when it is
// set and not empty, else "/tmp/".
std::u16string GetSystemTempDirectory();

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_TEMP_DIR_H_
