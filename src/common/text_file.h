// Reading whole text files of any of the usual encodings (UTF-16LE, UTF-8
// with or without mark, the ANSI code page) into UTF-16 with LF line ends.
#ifndef NUV_SRC_COMMON_TEXT_FILE_H_
#define NUV_SRC_COMMON_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Reads and decodes the file at `path` into `*text`. False when the file does
// not exist or cannot be opened.
bool LoadTextFile(const std::u16string& path, std::u16string* text);

// Decodes `size` bytes of a file named `path` (the name chooses the code page
// of single-byte text). Never fails: undecodable input yields replacement
// characters.
std::u16string DecodeTextBuffer(const uint8_t* data, size_t size, const std::u16string& path);

#endif  // NUV_SRC_COMMON_TEXT_FILE_H_
