#include "platform/ui_language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

uint16_t languageIdFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || value[0] == '\0') continue;
    return std::strncmp(value, "zh", 2) == 0 ? kLangIdChineseSimplified : kLangIdEnglishUs;
  }
  return kLangIdEnglishUs;
}

uint16_t userDefaultUiLanguage() {
  return languageIdFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                              std::getenv("LANG"));
}
