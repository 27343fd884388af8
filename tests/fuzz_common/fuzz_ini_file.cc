// The configuration line store: decoded text, then lookups of the keys the
// library reads and of a key taken from the input itself.
#include <cstddef>
#include <cstdint>

#include "src/common/ini_file.h"
#include "src/common/text_file.h"
#include "tests/fuzz_common/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CNuvIniFileEx ini;
  ini.LoadText(DecodeTextBuffer(data, size, u"config.dat"));
  for (const char16_t* key :
       {u"ProductName", u"ProductName_2052", u"InnerProductName", u"UIExcludes"}) {
    std::u16string value = ini.GetString(u"Common", key, nullptr);
    SplitText(value, u',');
  }
  std::vector<std::u16string> parts = PartsOf(UnitsOf(data, size), 2);
  ini.GetString(parts[0].c_str(), parts[1].c_str(), u"default");
  ini.LoadText(parts[0]);
  ini.GetString(u"Common", parts[1].c_str(), nullptr);
  return 0;
}
