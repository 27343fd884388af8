#include "src/common/file_util.h"

#include <cstdio>

#include "platform/file_util.h"

uint64_t GetFileSize64(const std::u16string& path) {
  return nuv::platform::GetFileSize64(path);
}

NuvFileEncoding DetectFileEncoding(const std::u16string& path) {
  if ((GetFileSize64(path) & 0xFFFFFFFFu) <= 3)
    return EncodingAnsi;
  FILE* file = nuv::platform::OpenFile(path, "rb");
  if (!file)
    return EncodingAnsi;
  unsigned char mark[3] = {0, 0, 0};
  size_t read = fread(mark, 1, sizeof(mark), file);
  fclose(file);
  (void)read;  // missing bytes stay 0
  if (mark[0] == 0xFF && mark[1] == 0xFE)
    return EncodingUtf16Le;
  if (mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
    return EncodingUtf8;
  return EncodingAnsi;
}

// Walks the path one component at a time and creates what is missing. On
// Windows the first component is the drive and is never created; on POSIX
// every component of an absolute or relative path is an ordinary directory.
bool EnsureDirectory(const char16_t* path) {
  if (!path)
    return false;
  std::u16string text(path);
  if (nuv::platform::PathExists(text))
    return true;
  const char16_t separator = nuv::platform::kPathSeparator;
  size_t start = 0;
  std::u16string prefix;
  if (!text.empty() && nuv::platform::IsPathSeparator(text[0])) {
    start = 1;
    if (!nuv::platform::kFirstComponentIsDrive)
      prefix += separator;
  }
  bool first = true;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && !nuv::platform::IsPathSeparator(text[end]))
      ++end;
    prefix += text.substr(start, end - start);
    prefix += separator;
    bool skip = first && nuv::platform::kFirstComponentIsDrive;
    first = false;
    if (!skip && !nuv::platform::DirectoryExists(prefix) && !nuv::platform::MakeDirectory(prefix))
      return false;
    start = end + 1;
  }
  return true;
}
