#pragma once
// The English -> Chinese (Simplified) table behind tr(). Internal to lang/: everything
// else goes through translations.h.

#include <cstddef>

struct TranslationPair {
  const char* english;  // the key, byte-exact as the code passes it to tr()
  const char* chinese;  // same printf placeholders, in the same order
};

extern const TranslationPair kTranslationTable[];
extern const std::size_t kTranslationTableSize;
