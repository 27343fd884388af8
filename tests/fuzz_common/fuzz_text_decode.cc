// The decoder behind LoadTextFile: any bytes under any of the file names
// that choose a code page.
#include <cstddef>
#include <cstdint>

#include "src/common/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char16_t* const kNames[] = {u"config.dat", u"oem.ini",  u"a.json",
                                           u"page.html",  u"feed.xml", u"dir.md/file"};
  if (size == 0)
    return 0;
  const char16_t* name = kNames[data[0] % (sizeof(kNames) / sizeof(kNames[0]))];
  std::u16string text = DecodeTextBuffer(data + 1, size - 1, name);
  // Decoded text never holds zero units, nor a CR.
  for (char16_t c : text) {
    if (c == 0 || c == u'\r')
      __builtin_trap();
  }
  return 0;
}
