// File and directory services: existence, size, deletion, creation, opening
// by UTF-16 path, and the inter-process lock of a shared file.
#ifndef NUV_PLATFORM_FILE_UTIL_H_
#define NUV_PLATFORM_FILE_UTIL_H_

#include <cstdint>
#include <cstdio>
#include <string>

namespace nuv {
namespace platform {

// The separator this platform appends to directory paths: '\\' on Windows,
// '/' on POSIX. IsPathSeparator accepts '/' everywhere and '\\' on Windows.
#if defined(_WIN32)
constexpr char16_t kPathSeparator = u'\\';
#else
constexpr char16_t kPathSeparator = u'/';
#endif
bool IsPathSeparator(char16_t c);

// Whether the first component of an absolute path is a drive ("C:") that is
// never created (Windows), rather than an ordinary directory (POSIX).
#if defined(_WIN32)
constexpr bool kFirstComponentIsDrive = true;
#else
constexpr bool kFirstComponentIsDrive = false;
#endif

bool PathExists(const std::u16string& path);
bool DirectoryExists(const std::u16string& path);

// Size of a regular file; 0 for a missing path or a directory.
uint64_t GetFileSize64(const std::u16string& path);

// Deletes a file (never a directory; on POSIX only a regular file or a
// symbolic link). False when it did not exist or could not be deleted.
bool RemoveFile(const std::u16string& path);

// Creates one directory (its parent must exist). True when it was created.
bool MakeDirectory(const std::u16string& path);

// fopen / _wfopen with a UTF-16 path; mode as for fopen ("rb", "r+b", "wb").
// Opened files are not inherited by child processes. Null for anything but a
// regular file (a directory, and on POSIX a pipe, device or socket).
FILE* OpenFile(const std::u16string& path, const char* mode);

// Holds an exclusive, advisory lock that every process taking a
// ScopedFileLock for the same `path` shares. The file at `path` itself may be
// deleted and recreated while the lock is held. When the lock cannot be had
// the holder is simply not locked: on POSIX (a lock on the file's directory)
// that happens when the directory is missing or unreadable; on Windows (a
// named mutex derived from the path) only when the mutex cannot be created.
class ScopedFileLock {
 public:
  explicit ScopedFileLock(const std::u16string& path);
  ScopedFileLock(const ScopedFileLock&) = delete;
  ScopedFileLock& operator=(const ScopedFileLock&) = delete;
  ~ScopedFileLock();

  bool locked() const { return locked_; }

 private:
  intptr_t handle_ = -1;
  bool locked_ = false;
};

#if !defined(_WIN32)
// UTF-16 path to the bytes the POSIX file system takes (UTF-8).
std::string NativePath(const std::u16string& path);
#endif

}  // namespace platform
}  // namespace nuv

#endif  // NUV_PLATFORM_FILE_UTIL_H_
