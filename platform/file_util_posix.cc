#include "platform/file_util.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/code_page.h"

namespace nuv {
namespace platform {

std::string NativePath(const std::u16string& path) {
  std::string out;
  WideToMultiByte(kCodePageUtf8, path.data(), path.size(), &out);
  return out;
}

bool IsPathSeparator(char16_t c) {
  return c == u'/';
}

namespace {

bool StatPath(const std::u16string& path, struct stat* info) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos)
    return false;
  return stat(NativePath(path).c_str(), info) == 0;
}

}  // namespace

bool PathExists(const std::u16string& path) {
  struct stat info;
  return StatPath(path, &info);
}

bool DirectoryExists(const std::u16string& path) {
  struct stat info;
  return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

uint64_t GetFileSize64(const std::u16string& path) {
  struct stat info;
  if (!StatPath(path, &info) || S_ISDIR(info.st_mode))
    return 0;
  return static_cast<uint64_t>(info.st_size);
}

// Only regular files and symbolic links are removed: a log or configuration
// path that names a device, a pipe or a socket is never unlinked.
bool RemoveFile(const std::u16string& path) {
  struct stat info;
  if (path.empty() || path.find(u'\0') != std::u16string::npos)
    return false;
  std::string native = NativePath(path);
  if (lstat(native.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)))
    return false;
  return unlink(native.c_str()) == 0;
}

bool MakeDirectory(const std::u16string& path) {
  if (path.empty())
    return false;
  return mkdir(NativePath(path).c_str(), 0777) == 0;
}

// Only regular files are opened: a directory cannot be (as on Windows), and a
// pipe or device could block a reader forever.
FILE* OpenFile(const std::u16string& path, const char* mode) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos)
    return nullptr;
  std::string native = NativePath(path);
  struct stat info;
  if (stat(native.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return nullptr;
  std::string native_mode(mode);
  native_mode += 'e';  // close on exec
  FILE* file = fopen(native.c_str(), native_mode.c_str());
  if (file && (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))) {
    fclose(file);
    return nullptr;
  }
  return file;
}

// The lock is taken on the directory that holds the file rather than on the
// file itself: the log writer deletes and recreates the file while it holds
// the lock, and a lock on the old inode would not exclude a process that
// opened the new one.
ScopedFileLock::ScopedFileLock(const std::u16string& path) {
  size_t slash = path.find_last_of(u'/');
  std::u16string dir = slash == std::u16string::npos ? std::u16string(u".")
                       : slash == 0                  ? std::u16string(u"/")
                                                     : path.substr(0, slash);
  if (dir.find(u'\0') != std::u16string::npos)
    return;
  int fd = open(NativePath(dir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  int result;
  do {
    result = flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    close(fd);
    return;
  }
  handle_ = fd;
  locked_ = true;
}

ScopedFileLock::~ScopedFileLock() {
  if (handle_ >= 0) {
    flock(static_cast<int>(handle_), LOCK_UN);
    close(static_cast<int>(handle_));
  }
}

}  // namespace platform
}  // namespace nuv
