#include "platform/file_util.h"

#include <windows.h>

#include <share.h>

#include <cwctype>

namespace nuv {
namespace platform {

namespace {

const wchar_t* Wide(const std::u16string& path) {
  return reinterpret_cast<const wchar_t*>(path.c_str());
}

// A path that is empty or holds a zero unit names nothing: handed to Win32 it
// would name the part before the zero instead.
bool Nameable(const std::u16string& path) {
  return !path.empty() && path.find(u'\0') == std::u16string::npos;
}

// A name for the mutex that stands for the lock of `path`: the same for every
// spelling that differs only in case or separator.
std::wstring LockName(const std::u16string& path) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char16_t c : path) {
    if (c == u'/')
      c = u'\\';
    c = static_cast<char16_t>(towupper(c));
    hash ^= c;
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  wsprintfW(name, L"Local\\NuvFileLock_%08lx%08lx", static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return name;
}

}  // namespace

bool IsPathSeparator(char16_t c) {
  return c == u'/' || c == u'\\';
}

bool PathExists(const std::u16string& path) {
  return Nameable(path) && GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::u16string& path) {
  DWORD attributes = Nameable(path) ? GetFileAttributesW(Wide(path)) : INVALID_FILE_ATTRIBUTES;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t GetFileSize64(const std::u16string& path) {
  if (!PathExists(path) || DirectoryExists(path))
    return 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Wide(path), &data);
  if (find == INVALID_HANDLE_VALUE)
    return 0;
  FindClose(find);
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) + data.nFileSizeLow;
}

bool RemoveFile(const std::u16string& path) {
  return Nameable(path) && ::DeleteFileW(Wide(path)) != FALSE;
}

bool MakeDirectory(const std::u16string& path) {
  return Nameable(path) && ::CreateDirectoryW(Wide(path), nullptr) != FALSE;
}

FILE* OpenFile(const std::u16string& path, const char* mode) {
  if (!Nameable(path))
    return nullptr;
  std::wstring wide_mode;
  for (const char* c = mode; *c; ++c)
    wide_mode += static_cast<wchar_t>(*c);
  wide_mode += L'N';  // not inherited
  return _wfsopen(Wide(path), wide_mode.c_str(), _SH_DENYNO);
}

ScopedFileLock::ScopedFileLock(const std::u16string& path) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, LockName(path).c_str());
  if (!mutex)
    return;
  DWORD result = WaitForSingleObject(mutex, INFINITE);
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  locked_ = true;
}

ScopedFileLock::~ScopedFileLock() {
  if (locked_) {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
}

}  // namespace platform
}  // namespace nuv
