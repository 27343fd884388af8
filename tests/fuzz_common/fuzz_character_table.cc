// The character substitution table: any table applied to any text.
#include <cstddef>
#include <cstdint>

#include "src/common/text_conv.h"
#include "tests/fuzz_common/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::u16string> parts = PartsOf(UnitsOf(data, size), 2);
  std::u16string text = parts[1];
  ApplyCharacterTableText(parts[0], text);
  return 0;
}
