// The character substitution table: any table applied to any text, through
// the table parser, and the substitution itself checked against applying
// the entries one by one (where that stays cheap enough to run).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "src/common/substitution.h"
#include "src/common/text_conv.h"
#include "tests/fuzz_common/fuzz_util.h"

namespace {

// Entries one per line: the first unit is the character, the rest its
// replacement.
std::vector<CharacterSubstitution> EntriesOf(const std::u16string& lines) {
  std::vector<CharacterSubstitution> entries;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find(u'\n', start);
    if (end == std::u16string::npos)
      end = lines.size();
    if (end > start)
      entries.push_back({lines[start], lines.substr(start + 1, end - start - 1)});
    start = end + 1;
  }
  return entries;
}

// The plain reading of the rule: each entry rewrites the whole text. False
// when that would take more than `budget` units of work.
bool ApplyOneByOne(const std::vector<CharacterSubstitution>& entries,
                   std::u16string& text,
                   size_t budget) {
  for (const CharacterSubstitution& entry : entries) {
    if (text.size() > budget)
      return false;
    budget -= text.size();
    if (entry.to.empty() || entry.to.find(entry.from) != std::u16string::npos)
      continue;
    size_t count = 0;
    for (char16_t c : text)
      count += c == entry.from;
    if (count == 0 || (entry.to.size() > 1 &&
                       text.size() + count * (entry.to.size() - 1) > kMaxSubstitutedLength))
      continue;
    std::u16string result;
    for (char16_t c : text) {
      if (c == entry.from)
        result += entry.to;
      else
        result += c;
    }
    text.swap(result);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> parts = PartsOf(UnitsOf(data, size), 3);
  std::u16string text = parts[1];
  ApplyCharacterTableText(parts[0], text);

  const std::vector<CharacterSubstitution> entries = EntriesOf(parts[2]);
  std::u16string composed = parts[1];
  ApplySubstitutions(entries, composed);
  std::u16string expected = parts[1];
  if (ApplyOneByOne(entries, expected, 1u << 12) && composed != expected)
    abort();
  return 0;
}
