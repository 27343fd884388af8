// UTF-8 <-> UTF-16 conversion for everything that crosses to the client, with
// the installation's optional character substitution table
// ("strconv/65001.txt" beside the executable) applied before encoding.
#ifndef NUV_SRC_COMMON_TEXT_CONV_H_
#define NUV_SRC_COMMON_TEXT_CONV_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "src/common/substitution.h"

constexpr uint32_t kCodePageAnsi = 0;  // the system's ANSI code page
constexpr uint32_t kCodePageUtf8 = 65001;

// Text up to the first zero byte; a leading EF BB BF (with more bytes after
// it) is dropped. Invalid sequences become U+FFFD.
std::u16string Utf8ToWide(const std::string& bytes);
std::u16string Utf8ToWide(const char* bytes);

// Text up to the first zero unit, after ApplyCharacterTable(65001, ...).
// Unpaired surrogates become U+FFFD. The table is kept between calls and
// read again when the system reports that the table or its folder
// appeared, changed or went away (see ApplyCharacterTable); inside a
// CNuvCharacterTableScope it is asked for once per scope.
std::string WideToUtf8(const std::u16string& text);
std::string WideToUtf8(const char16_t* text);
std::string WideToUtf8(const char16_t* text, size_t length);

// Held for the duration of one conversion of a whole value or request (one
// record text, one request body): every WideToUtf8 on this thread while it
// lives uses the substitution table as it was when the first of them looked
// for it, instead of looking for the file again for each string. A change
// to the table still takes effect from the next conversion on. Nested scopes
// share the outermost one. Not copyable; only affects its own thread.
class CNuvCharacterTableScope {
 public:
  CNuvCharacterTableScope();
  ~CNuvCharacterTableScope();
  CNuvCharacterTableScope(const CNuvCharacterTableScope&) = delete;
  CNuvCharacterTableScope& operator=(const CNuvCharacterTableScope&) = delete;

  using Entry = CharacterSubstitution;
  // The entries of the UTF-8 table (empty without a table), read on first use.
  const std::vector<Entry>& Utf8Entries();

 private:
  bool m_active = false;
  bool m_loaded = false;
  std::shared_ptr<const std::vector<Entry>> m_entries;
};

// Replaces characters of `text` by the table of code page `cp`, when the
// table file exists. The UTF-8 table (65001) is watched for changes (inotify,
// or a change notification on Windows) and read again only after one, so a
// change still takes effect from the next conversion on without a file
// system call per conversion; where the system gives no notification, and
// for other code pages, the file is looked for on every call.
void ApplyCharacterTable(uint32_t cp, std::u16string& text);

// Applies a table given as its 16-bit units (unit 0 is the mark and is
// skipped; the table ends at the first zero unit).
void ApplyCharacterTableText(const std::u16string& table, std::u16string& text);

// Converts zero-terminated `bytes` of code page `cp` (a leading UTF-8 mark
// forces UTF-8); falls back to the ANSI code page when `cp` is unknown.
std::u16string MultiByteToWideText(const std::string& bytes, uint32_t cp);
// The same conversion of |size| bytes into |out| (replacing its text), for
// callers that convert many texts and keep one buffer for them.
void MultiByteToWideInto(const char* bytes, size_t size, uint32_t cp, std::u16string* out);

#endif  // NUV_SRC_COMMON_TEXT_CONV_H_
