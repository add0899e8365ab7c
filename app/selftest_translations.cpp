// Self-test checks of the translation table: every Chinese text takes the same printf
// arguments as its English key, and the host message formats safely.

#include <cstdio>
#include <string>

#include "app/selftest.h"
#include "lang/translations.h"
#include "net/protocol_constants.h"

namespace {

// Formats the host message through the table in `lang`; false when the translation's
// placeholders could not take the arguments or the values are missing from the result.
bool hostMessageFormats(int lang) {
  const char* key = "Hosting \"%s\" on UDP %u";
  const int previous = language();
  setLanguage(lang);
  const char* format = tr(key);
  setLanguage(previous);
  if (placeholderSignature(format) != placeholderSignature(key)) return false;
  char text[512];
  std::snprintf(text, sizeof text, format, "Test", static_cast<unsigned>(kDefaultPort));
  const std::string result = text;
  return result.find("Test") != std::string::npos && result.find("27632") != std::string::npos;
}

void runTranslationChecks(SelfTestRun& run) {
  const std::vector<std::string> inconsistent = inconsistentTranslations();
  if (!inconsistent.empty()) {
    std::string list;
    for (const std::string& key : inconsistent) list += (list.empty() ? "" : ", ") + key;
    std::printf("FAIL: translation format placeholders: %s\n", list.c_str());
  }
  run.check(inconsistent.empty(), "translation format specifiers match");
  run.check(hostMessageFormats(LanguageEnglish) && hostMessageFormats(LanguageChinese),
            "translated host message is formatted safely");
}

const SelfTestArea kTranslationArea(900, "translations", &runTranslationChecks);

}  // namespace
