#include "platform/locale_id.h"

#include <windows.h>

namespace nuv {
namespace platform {

namespace {

// LocaleNameToLCID, with the answers that name no real user locale (the
// invariant locale, custom or unknown names) as 0.
uint32_t LookUp(const std::wstring& name) {
  if (name.empty())
    return 0;
  LCID lcid = ::LocaleNameToLCID(name.c_str(), 0);
  if (lcid == LOCALE_INVARIANT || PRIMARYLANGID(LANGIDFROMLCID(lcid)) == LANG_NEUTRAL ||
      lcid == LOCALE_CUSTOM_UNSPECIFIED || lcid == LOCALE_CUSTOM_DEFAULT) {
    return 0;
  }
  return lcid;
}

}  // namespace

uint32_t GetUserDefaultLcid() {
  return ::GetUserDefaultLCID();
}

uint32_t LcidFromLocaleName(const std::string& name) {
  std::wstring wide(name.begin(), name.end());
  for (wchar_t& c : wide) {
    if (c == L'_')
      c = L'-';
  }
  size_t cut = wide.find_first_of(L".@");
  if (cut != std::wstring::npos)
    wide.resize(cut);
  uint32_t lcid = LookUp(wide);
  if (lcid == 0) {
    // An unknown country: the language's default locale.
    size_t dash = wide.find(L'-');
    if (dash == std::wstring::npos)
      return 0;
    lcid = LookUp(wide.substr(0, dash));
  }
  // A neutral language ("de") stands for its default country (de-DE).
  if (lcid != 0 && SUBLANGID(LANGIDFROMLCID(lcid)) == SUBLANG_NEUTRAL)
    lcid = MAKELCID(MAKELANGID(PRIMARYLANGID(LANGIDFROMLCID(lcid)), SUBLANG_DEFAULT), SORT_DEFAULT);
  return lcid;
}

}  // namespace platform
}  // namespace nuv
