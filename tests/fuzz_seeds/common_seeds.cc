// Seeds of the common library's fuzz targets.
#include <cstdint>

#include "tests/fuzz_seeds/seed_list.h"

namespace nuv_seeds {
namespace {

// The unit that fuzz_util.h's PartsOf splits at.
const std::u16string kPartBreak(1, u'\uFFFF');
const std::string kUtf16Mark = "\xFF\xFE";

// The configuration file as the build writes it beside the executable.
const char kInstalledConfig[] =
    "; Configuration of the product, installed beside its executables.\r\n"
    "[Common]\r\n"
    "ProductName=Nuv Client\r\n"
    "InnerProductName=NuvClient\r\n";

void AddTextDecodeSeeds(std::vector<Seed>* seeds) {
  // The first byte picks the file name: 0 config.dat, 1 oem.ini, 2 a.json,
  // 3 page.html, 4 feed.xml, 5 dir.md/file.
  const std::string target = "fuzz_text_decode";
  seeds->push_back({target, "config-ansi", std::string(1, '\0') + kInstalledConfig});
  seeds->push_back({target, "config-utf16",
                    std::string(1, '\0') + kUtf16Mark +
                        Utf16Le(u"[Common]\r\nProductName=N\u00fcv\r\nInnerProductName=I\r\n")});
  seeds->push_back({target, "config-utf16-unmarked",
                    std::string(1, '\0') + Utf16Le(u"[Common]\r\nProductName=N\u00fcv\r\n")});
  seeds->push_back({target, "config-utf8-marked",
                    std::string(1, '\0') + "\xEF\xBB\xBF[Common]\r\nProductName=N\xC3\xBCv\r\n"});
  seeds->push_back({target, "oem-lone-cr", "\x01[Common]\rProductName=N\xFCv\r"});
  seeds->push_back({target, "json", "\x02{\"name\": \"caf\xC3\xA9\"}\n"});
  seeds->push_back(
      {target, "html-charset",
       "\x03<html><head><meta charset=utf-8></head><body>caf\xC3\xA9</body></html>\r\n"});
  seeds->push_back(
      {target, "xml-utf8",
       "\x04<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<feed>caf\xC3\xA9</feed>\r\n"});
  seeds->push_back({target, "xml-latin1",
                    "\x04<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<feed>caf\xE9</feed>\n"});
  seeds->push_back({target, "markdown", "\x05# Notes\n\ncaf\xC3\xA9 \xE2\x82\xAC\n"});
}

void AddIniSeeds(std::vector<Seed>* seeds) {
  // The whole input is the configuration file; read as 16-bit units it is
  // also a text and a key, split at U+FFFF.
  const std::string target = "fuzz_ini_file";
  seeds->push_back({target, "installed", kInstalledConfig});
  seeds->push_back({target, "localised",
                    "[Common]\r\nProductName=Plain\r\nProductName_1028=Traditional\r\n"
                    "ProductName_2052=Chinese\r\nInnerProductName=Inner\r\n"});
  seeds->push_back({target, "two-blocks",
                    "[Common]\r\nInner=1\r\n[Other]\r\nx=1\r\n[Common]\r\nProductName=N\r\n"});
  seeds->push_back(
      {target, "ui-excludes", "[Common]\r\nProductName=P\r\nUIExcludes=,menu,,toolbar,\r\n"});
  seeds->push_back(
      {target, "utf16-with-key",
       kUtf16Mark + Utf16Le(u"[Common]\r\nProductName=N\u00fcv\r\nInnerProductName=I\r\n" +
                            kPartBreak + u"InnerProductName")});
  seeds->push_back({target, "utf16-section-key",
                    Utf16Le(u"[common]\nproductname_2052=zh\nProductName=en\n" + kPartBreak +
                            u"PRODUCTNAME_2052")});
}

void AddCharacterTableSeeds(std::vector<Seed>* seeds) {
  // Table units (the first is the mark and is skipped), U+FFFF, the text,
  // U+FFFF, then entries for the substitution alone, one per line: the
  // character, then its replacement.
  const std::string target = "fuzz_character_table";
  seeds->push_back({target, "file-order",
                    Utf16Le(u"\uFEFFa=xy\r\nx=Z\r\nb=b!\r\nc=\r\nd=D" + kPartBreak + u"abcdx" +
                            kPartBreak + u"axy\nxZ\nbb!\nc\ndD")});
  seeds->push_back({target, "doubling-chain",
                    Utf16Le(u"\uFEFFa=bb\r\nb=cc\r\nc=dd\r\nd=ee\r\ne=ff" + kPartBreak + u"xay" +
                            kPartBreak + u"abb\nbcc\ncdd\ndee\neff\nfa\nga")});
  seeds->push_back({target, "tab-separator", Utf16Le(u"\uFEFFe\t\u00e9" + kPartBreak + u"tee")});
  seeds->push_back({target, "typography",
                    Utf16Le(u"\uFEFF\u2018='\r\n\u2019='\r\n\u201c=\"\r\n\u201d=\"\r\n"
                            u"\u20ac=EUR\r\n\u2026=..." +
                            kPartBreak + u"\u201cQuarterly\u201d report \u2026 12 \u20ac")});
}

void AddFormatTextSeeds(std::vector<Seed>* seeds) {
  // The format and up to three arguments, separated by U+FFFF.
  const std::string target = "fuzz_format_text";
  const std::u16string b = kPartBreak;
  seeds->push_back(
      {target, "window-handle", Utf16Le(u"com browser window handle: %1" + b + u"4242")});
  seeds->push_back({target, "cannot-execute",
                    Utf16Le(u"Can't execute script: %1, %2" + b + u"read-write.js" + b +
                            u"hostDocument.title = hostDocument.title + ' (draft)'")});
  seeds->push_back({target, "registry-key", Utf16Le(u"Software\\%1" + b + u"NuvClient")});
  seeds->push_back(
      {target, "reordered", Utf16Le(u"%3%2%1 and %1" + b + u"a" + b + u"b" + b + u"c")});
  seeds->push_back({target, "removed", Utf16Le(u"<%4|%a|%b>%%1 100%" + b + u"x")});
  seeds->push_back({target, "not-rescanned", Utf16Le(u"start execute script: %1" + b + u"%1%2")});
}

}  // namespace

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::string Le32(uint32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  return bytes;
}

void AddCommonSeeds(std::vector<Seed>* seeds) {
  AddTextDecodeSeeds(seeds);
  AddIniSeeds(seeds);
  AddCharacterTableSeeds(seeds);
  AddFormatTextSeeds(seeds);
}

}  // namespace nuv_seeds
