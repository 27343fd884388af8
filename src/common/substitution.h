// The character substitution of the text conversions: a list of entries,
// each replacing every occurrence of one character by a text, applied in
// list order, each to the result of the ones before it. An entry whose
// replacement is empty or holds its own character is ignored, and an entry
// that would make the text longer than kMaxSubstitutedLength units is
// skipped, so a hostile list cannot make a text grow without bound.
//
// The work is bounded by the sizes of the list, the text and the result,
// not by their product: the list is first run on character counts only
// (which entries apply and how long the result is), then the entries that
// apply are composed from the last to the first into one expansion per
// character, and the result is written once.
#ifndef NUV_SRC_COMMON_SUBSTITUTION_H_
#define NUV_SRC_COMMON_SUBSTITUTION_H_

#include <cstddef>
#include <string>
#include <vector>

struct CharacterSubstitution {
  char16_t from;
  std::u16string to;
};

// 16 Mi units; the fuzz build sets a smaller value to reach it cheaply.
#ifndef NUV_MAX_SUBSTITUTED_LENGTH
#define NUV_MAX_SUBSTITUTED_LENGTH (16u << 20)
#endif
constexpr size_t kMaxSubstitutedLength = NUV_MAX_SUBSTITUTED_LENGTH;

void ApplySubstitutions(const std::vector<CharacterSubstitution>& entries, std::u16string& text);

#endif  // NUV_SRC_COMMON_SUBSTITUTION_H_
