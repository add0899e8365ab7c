#pragma once
// Interface language and the English -> Chinese translation table. English text is the
// key: every text shown to the player is looked up by its English form (printf
// placeholders included), and texts missing from the table stay English.

#include <cstddef>
#include <string>
#include <vector>

enum Language : int { LanguageEnglish = 0, LanguageChinese = 1 };

// The process-wide interface language (0 English, 1 Chinese). English until set.
int language();
// Sets the interface language; values other than 1 select English.
void setLanguage(int lang);

// The Chinese text of `text` when the language is Chinese and `text` is a key
// (byte-exact), otherwise `text` itself. A null argument gives "", so the result is never
// null.
const char* tr(const char* text);
// String variant of `tr`: returns a copy.
std::string tr(const std::string& text);

// The table itself, in its fixed order.
std::size_t translationCount();
// Key (English) and Chinese text of entry `index`; empty strings when out of range.
const char* translationKey(std::size_t index);
const char* translationText(std::size_t index);

// The classes of the printf conversions in `format`, one character per conversion:
// 'f' for floating, 'i' for integer, otherwise the conversion letter itself ("%%"
// is not a conversion). A '*' width or precision adds an 'i' for its int argument, and a
// '%' cut off at the end of the text adds '?'. Two texts take the same arguments when their
// signatures match.
std::string placeholderSignature(const char* format);

// Keys whose Chinese text has a different placeholder signature, in table order.
std::vector<std::string> inconsistentTranslations();
