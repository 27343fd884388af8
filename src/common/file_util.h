// File helpers of the common library: size, encoding mark detection,
// directory creation, and the directory of the program's own module.
#ifndef NUV_SRC_COMMON_FILE_UTIL_H_
#define NUV_SRC_COMMON_FILE_UTIL_H_

#include <cstdint>
#include <string>

// What the first bytes of a file announce.
enum NuvFileEncoding : int32_t {
  EncodingAnsi = 1,     // no recognised mark, file of 3 bytes or less, or unreadable
  EncodingUtf8 = 2,     // EF BB BF
  EncodingUtf16Le = 3,  // FF FE
};

// Size in bytes; 0 for a path that does not exist or names a directory.
uint64_t GetFileSize64(const std::u16string& path);

NuvFileEncoding DetectFileEncoding(const std::u16string& path);

// Creates `path` and every missing parent directory. Null path: false; a path
// that exists already: true; false when a creation fails.
bool EnsureDirectory(const char16_t* path);
inline bool EnsureDirectory(const std::u16string& path) {
  return EnsureDirectory(path.c_str());
}

#endif  // NUV_SRC_COMMON_FILE_UTIL_H_
