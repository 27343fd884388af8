#include "platform/locale_id.h"

#include <windows.h>

namespace nuv {
namespace platform {

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
  return ::LocaleNameToLCID(wide.c_str(), 0);
}

}  // namespace platform
}  // namespace nuv
