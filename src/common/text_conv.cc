#include "src/common/text_conv.h"

#include <cstring>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_util.h"
#include "platform/file_watch.h"
#include "platform/module_path.h"
#include "src/common/file_util.h"
#include "src/common/substitution.h"
#include "src/common/sync_object.h"

namespace {

std::u16string UpToZero(const char16_t* text, size_t length) {
  size_t end = 0;
  while (end < length && text[end] != 0)
    ++end;
  return std::u16string(text, end);
}

using TableEntry = CNuvCharacterTableScope::Entry;

// The scope of the conversion running on this thread, if any.
thread_local CNuvCharacterTableScope* t_tableScope = nullptr;

// The executable does not move while the process runs, so its directory is
// looked up once.
const std::u16string& ModuleDirectory() {
  static const std::u16string* const dir = new std::u16string(nuv::platform::GetModuleDirectory());
  return *dir;
}

std::u16string TablePath(uint32_t cp) {
  const std::u16string& dir = ModuleDirectory();
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

// Unit 0 is the byte-order mark; each line: character, separator,
// replacement up to CR LF.
std::vector<TableEntry> ParseTable(const std::u16string& units) {
  std::vector<TableEntry> entries;
  std::u16string table = UpToZero(units.data(), units.size());
  size_t p = 1;
  while (p < table.size()) {
    char16_t from = table[p];
    size_t start = p + 2 < table.size() ? p + 2 : table.size();
    size_t end = table.find(u"\r\n", start);
    bool last = end == std::u16string::npos;
    if (last)
      end = table.size();
    entries.push_back(TableEntry{from, table.substr(start, end - start)});
    if (last)
      break;
    p = end + 2;
  }
  return entries;
}

// The entries of the table of `cp` as the file is now; none without a file.
std::vector<TableEntry> LoadTable(uint32_t cp) {
  std::u16string path = TablePath(cp);
  if (path.empty() || !nuv::platform::PathExists(path))
    return {};
  std::u16string table;
  if (!ReadTable(path, &table))
    return {};
  return ParseTable(table);
}

using TableEntries = std::vector<TableEntry>;

// The UTF-8 table as the file is now, kept between conversions and read
// again only when the system reports a change in or around the table's
// folder (the table or the folder appearing, changing or going away).
// Without such notification the file is looked for on every conversion, as
// the table's format promises that a change takes effect at once.
class CNuvUtf8TableCache {
 public:
  std::shared_ptr<const TableEntries> Current() {
    CNuvAutoLock lock(m_lock);
    if (!m_watchTried) {
      m_watchTried = true;
      const std::u16string path = TablePath(kCodePageUtf8);
      if (!path.empty())
        m_watch = nuv::platform::FileWatch::Create(path);
    }
    if (!m_watch)
      return std::make_shared<const TableEntries>(LoadTable(kCodePageUtf8));
    // The watch is armed before the first read, so a change made while the
    // file is being read is reported to the next conversion.
    if (!m_entries || m_watch->TakeChanged())
      m_entries = std::make_shared<const TableEntries>(LoadTable(kCodePageUtf8));
    return m_entries;
  }

 private:
  CNuvCriticalSectionObject m_lock;
  bool m_watchTried = false;
  std::unique_ptr<nuv::platform::FileWatch> m_watch;
  std::shared_ptr<const TableEntries> m_entries;
};

CNuvUtf8TableCache& Utf8TableCache() {
  // Never destroyed: conversions may run during exit.
  static CNuvUtf8TableCache* const cache = new CNuvUtf8TableCache;
  return *cache;
}

void ApplyEntries(const std::vector<TableEntry>& entries, std::u16string& text) {
  ApplySubstitutions(entries, text);
}

}  // namespace

CNuvCharacterTableScope::CNuvCharacterTableScope() {
  if (!t_tableScope) {
    t_tableScope = this;
    m_active = true;
  }
}

CNuvCharacterTableScope::~CNuvCharacterTableScope() {
  if (m_active)
    t_tableScope = nullptr;
}

const std::vector<CNuvCharacterTableScope::Entry>& CNuvCharacterTableScope::Utf8Entries() {
  if (!m_loaded) {
    m_entries = Utf8TableCache().Current();
    m_loaded = true;
  }
  return *m_entries;
}

void ApplyCharacterTable(uint32_t cp, std::u16string& text) {
  if (cp == kCodePageUtf8)
    ApplyEntries(*Utf8TableCache().Current(), text);
  else
    ApplyEntries(LoadTable(cp), text);
}

void ApplyCharacterTableText(const std::u16string& units, std::u16string& text) {
  ApplyEntries(ParseTable(units), text);
}

void MultiByteToWideInto(const char* bytes, size_t size, uint32_t cp, std::u16string* out) {
  const char* text = bytes;
  const char* zero = static_cast<const char*>(std::memchr(bytes, '\0', size));
  size_t length = zero ? static_cast<size_t>(zero - bytes) : size;
  if (length > 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
    cp = kCodePageUtf8;
  }
  if (nuv::platform::MultiByteToWide(cp, text, length, out))
    return;
  // Unknown code page: the system's ANSI conversion.
  out->clear();
  nuv::platform::MultiByteToWide(kCodePageAnsi, text, length, out);
}

std::u16string MultiByteToWideText(const std::string& bytes, uint32_t cp) {
  std::u16string result;
  MultiByteToWideInto(bytes.data(), bytes.size(), cp, &result);
  return result;
}

std::u16string Utf8ToWide(const std::string& bytes) {
  return MultiByteToWideText(bytes, kCodePageUtf8);
}

std::u16string Utf8ToWide(const char* bytes) {
  return bytes ? Utf8ToWide(std::string(bytes)) : std::u16string();
}

namespace {

std::string EncodeUtf8(const char16_t* text, size_t length) {
  std::string result;
  if (!nuv::platform::WideToMultiByte(kCodePageUtf8, text, length, &result))
    nuv::platform::WideToMultiByte(kCodePageAnsi, text, length, &result);
  const size_t zero = result.find('\0');
  if (zero != std::string::npos)
    result.resize(zero);
  return result;
}

}  // namespace

std::string WideToUtf8(const char16_t* text, size_t length) {
  if (!text)
    return std::string();
  size_t end = 0;
  while (end < length && text[end] != 0)
    ++end;
  std::shared_ptr<const TableEntries> ownEntries;
  const TableEntries* entries;
  if (t_tableScope) {
    entries = &t_tableScope->Utf8Entries();
  } else {
    ownEntries = Utf8TableCache().Current();
    entries = ownEntries.get();
  }
  if (entries->empty())
    return EncodeUtf8(text, end);
  std::u16string copy(text, end);
  ApplyEntries(*entries, copy);
  return EncodeUtf8(copy.data(), copy.size());
}

std::string WideToUtf8(const std::u16string& text) {
  return WideToUtf8(text.data(), text.size());
}

std::string WideToUtf8(const char16_t* text) {
  return text ? WideToUtf8(text, std::char_traits<char16_t>::length(text)) : std::string();
}
