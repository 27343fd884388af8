#include "src/common/text_file.h"

#include <cstdio>
#include <cwctype>
#include <vector>

#include "platform/file_util.h"
#include "platform/text_kind.h"
#include "src/common/file_util.h"
#include "src/common/text_conv.h"

namespace {

bool HasZeroByte(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      return true;
  }
  return false;
}

// Drops zero units, CR before LF; a lone CR becomes LF.
template <typename Unit>
std::basic_string<Unit> NormaliseLineEnds(const std::basic_string<Unit>& in) {
  std::basic_string<Unit> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    Unit c = in[i];
    if (c == 0)
      continue;
    if (c == '\r') {
      size_t next = i + 1;
      while (next < in.size() && in[next] == 0)
        ++next;
      if (next < in.size() && in[next] == '\n')
        continue;
      c = '\n';
    }
    out.push_back(c);
  }
  return out;
}

// The lower-cased extension of the file name, with its dot.
std::u16string Extension(const std::u16string& path) {
  size_t name = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (nuv::platform::IsPathSeparator(path[i]) || path[i] == u'\\')
      name = i + 1;
  }
  size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string::npos || dot < name)
    return std::u16string();
  std::u16string ext = path.substr(dot);
  for (char16_t& c : ext)
    c = static_cast<char16_t>(towlower(static_cast<wint_t>(c)));
  return ext;
}

bool Contains(const std::u16string& text, const char16_t* part) {
  return text.find(part) != std::u16string::npos;
}

// ".htm" and ".xml" files name their character set; of the sets a document
// may declare, UTF-8 is recognised and everything else reads as ANSI.
uint32_t DeclaredCodePage(const std::string& bytes) {
  std::string head = bytes.substr(0, 1024);
  for (char& c : head)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  size_t at = head.find("charset=");
  if (at == std::string::npos)
    at = head.find("encoding=");
  if (at != std::string::npos) {
    std::string rest = head.substr(at, 24);
    if (rest.find("utf-8") != std::string::npos || rest.find("utf8") != std::string::npos)
      return kCodePageUtf8;
  }
  return kCodePageAnsi;
}

uint32_t CodePageForFile(const std::u16string& path, const std::string& bytes) {
  std::u16string ext = Extension(path);
  if (Contains(ext, u".htm") || Contains(ext, u".xml"))
    return DeclaredCodePage(bytes);
  for (const char16_t* utf8 : {u".php", u".java", u".md", u".json", u".py"}) {
    if (Contains(ext, utf8))
      return kCodePageUtf8;
  }
  return kCodePageAnsi;
}

}  // namespace

std::u16string DecodeTextBuffer(const uint8_t* data, size_t size, const std::u16string& path) {
  if (!data || size == 0)
    return std::u16string();
  bool marked = size > 1 && data[0] == 0xFF && data[1] == 0xFE;
  bool utf16 = marked;
  if (!utf16 && size > 10 && size % 2 == 0 && HasZeroByte(data, size))
    utf16 = nuv::platform::LooksLikeUtf16Text(data, size);

  if (utf16) {
    // An odd last byte pairs with the zero that follows the file's bytes.
    std::u16string units((size + 1) / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
      uint8_t high = 2 * i + 1 < size ? data[2 * i + 1] : 0;
      units[i] = static_cast<char16_t>(data[2 * i] | (high << 8));
    }
    std::u16string text = NormaliseLineEnds(units);
    if (marked && !text.empty() && text[0] == 0xFEFF)
      text.erase(0, 1);
    return text;
  }

  std::string bytes = NormaliseLineEnds(std::string(reinterpret_cast<const char*>(data), size));
  if (size >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return MultiByteToWideText(bytes.substr(3), kCodePageUtf8);
  return MultiByteToWideText(bytes, CodePageForFile(path, bytes));
}

bool LoadTextFile(const std::u16string& path, std::u16string* text) {
  if (!text || !nuv::platform::PathExists(path))
    return false;
  uint64_t size = GetFileSize64(path);
  FILE* file = nuv::platform::OpenFile(path, "rb");
  if (!file)
    return false;
  bool ok = false;
  try {
    std::vector<uint8_t> buffer(static_cast<size_t>(size) + 4, 0);
    size_t read = size ? fread(buffer.data(), 1, static_cast<size_t>(size), file) : 0;
    *text = DecodeTextBuffer(buffer.data(), read, path);
    ok = true;
  } catch (...) {
    text->clear();
  }
  fclose(file);
  return ok;
}
