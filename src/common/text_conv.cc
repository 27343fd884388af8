#include "src/common/text_conv.h"

#include <cstdio>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_util.h"
#include "platform/module_path.h"
#include "src/common/file_util.h"

namespace {

// Substitution never grows a text beyond this many units: a hostile table
// whose entries each double the text stops being applied here.
constexpr size_t kMaxSubstitutedLength = 16u << 20;

std::u16string UpToZero(const char16_t* text, size_t length) {
  size_t end = 0;
  while (end < length && text[end] != 0)
    ++end;
  return std::u16string(text, end);
}

std::u16string TablePath(uint32_t cp) {
  std::u16string dir = nuv::platform::GetModuleDirectory();
  if (dir.empty())
    return std::u16string();
  char number[16];
  snprintf(number, sizeof(number), "%u", cp);
  std::u16string path = dir + u"strconv";
  path += nuv::platform::kPathSeparator;
  for (const char* c = number; *c; ++c)
    path += static_cast<char16_t>(*c);
  return path + u".txt";
}

// Reads the table as raw 16-bit units (an odd last byte is dropped).
bool ReadTable(const std::u16string& path, std::u16string* units) {
  uint64_t size = GetFileSize64(path) & 0xFFFFFFFEu;
  FILE* file = nuv::platform::OpenFile(path, "rb");
  if (!file)
    return false;
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  size_t read = size ? fread(bytes.data(), 1, bytes.size(), file) : 0;
  fclose(file);
  read &= ~static_cast<size_t>(1);
  units->resize(read / 2);
  for (size_t i = 0; i < read / 2; ++i)
    (*units)[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return true;
}

void ApplyEntry(char16_t from, const std::u16string& to, std::u16string& text) {
  if (to.empty() || to.find(from) != std::u16string::npos)
    return;
  if (to.size() == 1) {
    for (char16_t& c : text) {
      if (c == from)
        c = to[0];
    }
    return;
  }
  size_t count = 0;
  for (char16_t c : text)
    count += c == from;
  if (count == 0 || text.size() + count * (to.size() - 1) > kMaxSubstitutedLength)
    return;
  std::u16string result;
  result.reserve(text.size() + count * (to.size() - 1));
  for (char16_t c : text) {
    if (c == from)
      result += to;
    else
      result += c;
  }
  text.swap(result);
}

}  // namespace

void ApplyCharacterTable(uint32_t cp, std::u16string& text) {
  std::u16string path = TablePath(cp);
  if (path.empty() || !nuv::platform::PathExists(path))
    return;
  std::u16string table;
  if (ReadTable(path, &table))
    ApplyCharacterTableText(table, text);
}

// Unit 0 is the byte-order mark; each line: character, separator,
// replacement up to CR LF.
void ApplyCharacterTableText(const std::u16string& units, std::u16string& text) {
  std::u16string table = UpToZero(units.data(), units.size());
  size_t p = 1;
  while (p < table.size()) {
    char16_t from = table[p];
    size_t start = p + 2 < table.size() ? p + 2 : table.size();
    size_t end = table.find(u"\r\n", start);
    bool last = end == std::u16string::npos;
    if (last)
      end = table.size();
    ApplyEntry(from, table.substr(start, end - start), text);
    if (last)
      break;
    p = end + 2;
  }
}

std::u16string MultiByteToWideText(const std::string& bytes, uint32_t cp) {
  std::string text = bytes.substr(0, bytes.find('\0'));
  if (text.size() > 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.erase(0, 3);
    cp = kCodePageUtf8;
  }
  std::u16string result;
  if (nuv::platform::MultiByteToWide(cp, text.data(), text.size(), &result))
    return result;
  // Unknown code page: the system's ANSI conversion.
  nuv::platform::MultiByteToWide(kCodePageAnsi, text.data(), text.size(), &result);
  return result;
}

std::u16string Utf8ToWide(const std::string& bytes) {
  return MultiByteToWideText(bytes, kCodePageUtf8);
}

std::u16string Utf8ToWide(const char* bytes) {
  return bytes ? Utf8ToWide(std::string(bytes)) : std::u16string();
}

std::string WideToUtf8(const std::u16string& text) {
  std::u16string copy = UpToZero(text.data(), text.size());
  ApplyCharacterTable(kCodePageUtf8, copy);
  std::string result;
  if (!nuv::platform::WideToMultiByte(kCodePageUtf8, copy.data(), copy.size(), &result))
    nuv::platform::WideToMultiByte(kCodePageAnsi, copy.data(), copy.size(), &result);
  return result.substr(0, result.find('\0'));
}

std::string WideToUtf8(const char16_t* text) {
  return text ? WideToUtf8(std::u16string(text)) : std::string();
}
