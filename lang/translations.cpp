#include "lang/translations.h"

#include <atomic>
#include <string_view>

#include "lang/translation_table.h"

namespace {

// Read by every translated label every frame, possibly from more than one thread; relaxed
// ordering is enough because nothing else is published through it.
std::atomic<int> gLanguage{LanguageEnglish};

const TranslationPair* findPair(std::string_view text) {
  for (std::size_t i = 0; i < kTranslationTableSize; ++i) {
    if (text == kTranslationTable[i].english) return &kTranslationTable[i];
  }
  return nullptr;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isFlag(char c) {
  return c == ' ' || c == '#' || c == '+' || c == '-' || c == '0';
}

bool isSingleLengthModifier(char c) {
  return c == 'j' || c == 'z' || c == 't' || c == 'L' || c == 'q';
}

char classifyConversion(char c) {
  switch (c) {
    case 'a':
    case 'A':
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
      return 'f';
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
      return 'i';
    default:
      return c;
  }
}

// Skips a width or precision field. A '*' takes its value from an int argument, so it
// counts as an integer conversion of its own.
const char* skipField(const char* p, std::string& signature) {
  if (*p == '*') {
    signature += 'i';
    return p + 1;
  }
  while (isDigit(*p)) ++p;
  return p;
}

}  // namespace

int language() {
  return gLanguage.load(std::memory_order_relaxed);
}

void setLanguage(int lang) {
  gLanguage.store(lang == LanguageChinese ? LanguageChinese : LanguageEnglish,
                  std::memory_order_relaxed);
}

const char* tr(const char* text) {
  if (text == nullptr) return "";
  if (language() != LanguageChinese) return text;
  const TranslationPair* pair = findPair(text);
  return pair != nullptr ? pair->chinese : text;
}

std::string tr(const std::string& text) {
  if (language() != LanguageChinese) return text;
  // Compared as a whole, so a string with an embedded NUL never matches a key's prefix.
  const TranslationPair* pair = findPair(text);
  return pair != nullptr ? std::string(pair->chinese) : text;
}

std::size_t translationCount() {
  return kTranslationTableSize;
}

const char* translationKey(std::size_t index) {
  return index < kTranslationTableSize ? kTranslationTable[index].english : "";
}

const char* translationText(std::size_t index) {
  return index < kTranslationTableSize ? kTranslationTable[index].chinese : "";
}

std::string placeholderSignature(const char* format) {
  std::string signature;
  if (format == nullptr) return signature;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;  // "%%" prints a percent sign
    while (isFlag(*p)) ++p;
    p = skipField(p, signature);
    if (*p == '.') p = skipField(p + 1, signature);
    if (*p == 'h' || *p == 'l') {
      const char first = *p++;
      if (*p == first) ++p;  // "hh" and "ll"
    } else if (isSingleLengthModifier(*p)) {
      ++p;
    }
    if (*p == '\0') {
      // A '%' cut off before its conversion letter: mark it with a class no complete
      // conversion has, so it never passes for one.
      signature += '?';
      break;
    }
    signature += classifyConversion(*p);
  }
  return signature;
}

std::vector<std::string> inconsistentTranslations() {
  std::vector<std::string> keys;
  for (std::size_t i = 0; i < kTranslationTableSize; ++i) {
    const TranslationPair& pair = kTranslationTable[i];
    if (placeholderSignature(pair.english) != placeholderSignature(pair.chinese)) {
      keys.emplace_back(pair.english);
    }
  }
  return keys;
}
