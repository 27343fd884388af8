#include "src/common/config.h"

#include <cstdlib>

#include "platform/file_util.h"
#include "platform/locale_id.h"
#include "platform/module_path.h"
#include "platform/user_settings.h"
#include "src/common/format_text.h"
#include "src/common/ini_file.h"
#include "src/common/sync_object.h"
#include "src/common/text_file.h"

namespace {

constexpr char16_t kSection[] = u"Common";

// Process-wide, created on first use and never destroyed (see log.cc).
CNuvCriticalSectionObject& ConfigLock() {
  static CNuvCriticalSectionObject* lock = new CNuvCriticalSectionObject;
  return *lock;
}

CNuvIniFileEx& Reader() {
  static CNuvIniFileEx* reader = new CNuvIniFileEx;
  return *reader;
}

// Guarded by the configuration lock.
bool g_loadPending = true;
bool g_languageKnown = false;
bool g_languageInProgress = false;
uint32_t g_language = 0;
std::u16string* g_suffix = nullptr;

std::u16string Decimal(uint32_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

void LoadConfiguration() {
  std::u16string dir = nuv::platform::GetModuleDirectory();
  if (dir.empty())
    return;
  std::u16string path = dir + u"oem.ini";
  if (!nuv::platform::PathExists(path))
    path = dir + u"config.dat";
  std::u16string text;
  if (LoadTextFile(path, &text))
    Reader().LoadText(text);
}

uint32_t FoldLanguage(uint32_t id) {
  switch (id) {
    case 0x0C04:
    case 0x0404:
    case 0x1404:
      return 0x0404;
    case 0x0804:
    case 0x1004:
      return 0x0804;
    default:
      return id;
  }
}

std::u16string LocalisedLookup(const char16_t* key) {
  if (!g_suffix) {
    // While the language itself is being computed, only plain keys exist.
    if (g_languageInProgress)
      return Reader().GetString(kSection, key, u"");
    uint32_t id = GetUiLanguage();
    g_suffix = new std::u16string(u"_" + Decimal(id));
  }
  std::u16string value = Reader().GetString(kSection, (key + *g_suffix).c_str(), nullptr);
  if (!value.empty())
    return value;
  return Reader().GetString(kSection, key, u"");
}

uint32_t ComputeUiLanguage() {
  // The key of the language setting is named after the inner product name.
  // When that is missing, the product name stands in, read with its plain
  // key: its localised form would need the language being computed here.
  std::u16string name = GetConfigString(u"InnerProductName", false, false);
  if (name.empty())
    name = GetConfigString(u"ProductName", false, false);
  uint32_t id = 0;
  if (name.empty() ||
      !nuv::platform::ReadUserDword(FormatText(u"Software\\%1", name.c_str()), u"LCID", &id) ||
      id == 0)
    id = nuv::platform::GetUserDefaultLcid();

  std::u16string id_text = Decimal(id);
  for (const std::u16string& item : SplitText(GetConfigString(u"UIExcludes", false, false), u',')) {
    if (item == id_text) {
      id = 0;
      break;
    }
  }
  return FoldLanguage(id);
}

}  // namespace

std::u16string GetConfigString(const char16_t* key, bool required, bool localised) {
  CNuvAutoLock hold(ConfigLock());
  if (g_loadPending) {
    g_loadPending = false;
    LoadConfiguration();
  }
  std::u16string result;
  if (key)
    result = localised ? LocalisedLookup(key) : Reader().GetString(kSection, key, u"");
  if (result.empty() && required)
    exit(-1);
  return result;
}

uint32_t GetUiLanguage() {
  CNuvAutoLock hold(ConfigLock());
  if (!g_languageKnown && !g_languageInProgress) {
    g_languageInProgress = true;
    g_language = ComputeUiLanguage();
    g_languageInProgress = false;
    g_languageKnown = true;
  }
  return g_language;
}
