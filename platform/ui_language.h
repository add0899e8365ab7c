#pragma once
// The user's interface language, reported the way the game's language rule expects it:
// as a language id whose low 10 bits are the primary language (4 = Chinese, 9 = English).

#include <cstdint>

inline constexpr uint16_t kLangIdEnglishUs = 0x0409;
inline constexpr uint16_t kLangIdChineseSimplified = 0x0804;

// Language id for a POSIX locale: the first non-empty of LC_ALL, LC_MESSAGES and LANG
// decides; a value beginning with "zh" means Chinese, anything else (or none) English.
// Null arguments count as unset.
uint16_t languageIdFromLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The language id of the current process's environment.
uint16_t userDefaultUiLanguage();
