#include "platform/temp_dir.h"

#include <cstdlib>

#include "platform/code_page.h"
#include "platform/file_util.h"

namespace nuv {
namespace platform {

std::u16string GetSystemTempDirectory() {
  std::u16string dir = u"/tmp";
  const char* env = getenv("TMPDIR");
  if (env && *env) {
    std::u16string converted;
    std::string bytes(env);
    if (MultiByteToWide(kCodePageUtf8, bytes.data(), bytes.size(), &converted))
      dir = converted;
  }
  if (!IsPathSeparator(dir.back()))
    dir += kPathSeparator;
  return dir;
}

}  // namespace platform
}  // namespace nuv
