#include "platform/locale_id.h"

#include <cstdlib>
#include <cstring>

namespace nuv {
namespace platform {

namespace {

struct LocaleEntry {
  const char* name;  // "ll_CC"; the first entry of a language is its default
  uint32_t lcid;
};

constexpr LocaleEntry kLocales[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"en_ZA", 0x1C09}, {"en_IN", 0x4009}, {"en_SG", 0x4809}, {"zh_CN", 0x0804},
    {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404}, {"ja_JP", 0x0411},
    {"ko_KR", 0x0412}, {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},
    {"fr_LU", 0x140C}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_CO", 0x240A}, {"es_AR", 0x2C0A},
    {"es_CL", 0x340A}, {"es_US", 0x540A}, {"it_IT", 0x0410}, {"it_CH", 0x0810}, {"pt_BR", 0x0416},
    {"pt_PT", 0x0816}, {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"sv_SE", 0x041D}, {"sv_FI", 0x081D},
    {"da_DK", 0x0406}, {"nb_NO", 0x0414}, {"nn_NO", 0x0814}, {"fi_FI", 0x040B}, {"is_IS", 0x040F},
    {"ru_RU", 0x0419}, {"uk_UA", 0x0422}, {"be_BY", 0x0423}, {"pl_PL", 0x0415}, {"cs_CZ", 0x0405},
    {"sk_SK", 0x041B}, {"hu_HU", 0x040E}, {"ro_RO", 0x0418}, {"bg_BG", 0x0402}, {"hr_HR", 0x041A},
    {"sl_SI", 0x0424}, {"et_EE", 0x0425}, {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"el_GR", 0x0408},
    {"tr_TR", 0x041F}, {"he_IL", 0x040D}, {"ar_SA", 0x0401}, {"ar_EG", 0x0C01}, {"fa_IR", 0x0429},
    {"hi_IN", 0x0439}, {"th_TH", 0x041E}, {"vi_VN", 0x042A}, {"id_ID", 0x0421}, {"ms_MY", 0x043E},
    {"ca_ES", 0x0403}, {"eu_ES", 0x042D}, {"gl_ES", 0x0456},
};

}  // namespace

uint32_t LcidFromLocaleName(const std::string& name) {
  // "ll_CC.codeset@modifier" -> "ll_CC"; "ll-CC" is accepted as well.
  std::string base = name.substr(0, name.find_first_of(".@"));
  for (char& c : base) {
    if (c == '-')
      c = '_';
  }
  std::string language = base.substr(0, base.find('_'));
  if (language.empty())
    return 0;
  for (const LocaleEntry& entry : kLocales) {
    if (strcasecmp(entry.name, base.c_str()) == 0)
      return entry.lcid;
  }
  for (const LocaleEntry& entry : kLocales) {
    if (strncasecmp(entry.name, language.c_str(), language.size()) == 0 &&
        entry.name[language.size()] == '_')
      return entry.lcid;
  }
  return 0;
}

std::string GetUserLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(variable);
    if (value && *value)
      return value;
  }
  return "C";
}

uint32_t GetUserDefaultLcid() {
  uint32_t lcid = LcidFromLocaleName(GetUserLocaleName());
  return lcid ? lcid : kLcidEnglishUs;
}

}  // namespace platform
}  // namespace nuv
