// FormatText with any format and arguments, checked against the length the
// rules allow.
#include <cstddef>
#include <cstdint>

#include "src/common/format_text.h"
#include "tests/fuzz_common/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> parts = PartsOf(UnitsOf(data, size), 4);
  // Texts end at their first zero unit, as the callers' texts do.
  for (std::u16string& part : parts)
    part = part.substr(0, part.find(u'\0'));
  std::u16string result =
      FormatText(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), parts[3].c_str());
  size_t longest = parts[1].size();
  if (parts[2].size() > longest)
    longest = parts[2].size();
  if (parts[3].size() > longest)
    longest = parts[3].size();
  if (result.size() > parts[0].size() + (parts[0].size() / 2) * longest)
    __builtin_trap();
  return 0;
}
