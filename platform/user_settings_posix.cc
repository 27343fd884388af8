#include "platform/user_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file_util.h"

namespace nuv {
namespace platform {

namespace {

// Where the per-user keys live (documented in docs/platform-posix.md).
std::string SettingsRoot() {
  const char* root = getenv("NUV_USER_SETTINGS_DIR");
  if (root && *root)
    return root;
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && *config)
    return std::string(config) + "/nuv-user-settings";
  const char* home = getenv("HOME");
  if (home && *home)
    return std::string(home) + "/.config/nuv-user-settings";
  return std::string();
}

// A key component must not climb out of the root or name it.
bool IsSafeComponent(const std::u16string& part) {
  return !part.empty() && part != u"." && part != u".." &&
         part.find_first_of(std::u16string(u"/\0", 2)) == std::u16string::npos;
}

bool ParseNumber(const std::string& text, uint32_t* value) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos)
    return false;
  const char* start = text.c_str() + begin;
  if (*start == '-' || *start == '+')
    return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long number = strtoull(start, &end, 0);
  if (errno != 0 || end == start || number > 0xFFFFFFFFull)
    return false;
  for (; *end; ++end) {
    if (*end != ' ' && *end != '\t' && *end != '\r' && *end != '\n')
      return false;
  }
  *value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

bool ReadUserDword(const std::u16string& key, const std::u16string& name, uint32_t* value) {
  std::string root = SettingsRoot();
  if (root.empty() || !IsSafeComponent(name))
    return false;
  std::string path = root;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find(u'\\', start);
    if (end == std::u16string::npos)
      end = key.size();
    std::u16string part = key.substr(start, end - start);
    if (!IsSafeComponent(part))
      return false;
    path += "/" + NativePath(part);
    start = end + 1;
  }
  path += "/" + NativePath(name);

  FILE* file = fopen(path.c_str(), "rbe");
  if (!file)
    return false;
  char buffer[64];
  size_t read = fread(buffer, 1, sizeof(buffer) - 1, file);
  bool more = fgetc(file) != EOF;
  fclose(file);
  if (more)
    return false;
  return ParseNumber(std::string(buffer, read), value);
}

}  // namespace platform
}  // namespace nuv
