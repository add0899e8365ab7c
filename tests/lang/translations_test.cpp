#include "lang/translations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

// Every test leaves the process-wide language as it found it: English.
class TranslationsTest : public ::testing::Test {
 protected:
  void TearDown() override { setLanguage(LanguageEnglish); }
};

// Strict UTF-8 check: no stray, truncated, overlong or surrogate sequences.
bool isValidUtf8(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const unsigned lead = *p++;
    if (lead < 0x80) continue;
    int extra = 0;
    unsigned cp = 0;
    unsigned min = 0;
    if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      return false;
    }
    for (int i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (*p & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  }
  return true;
}

}  // namespace

TEST_F(TranslationsTest, TableHas230UniqueWellFormedRows) {
  ASSERT_EQ(translationCount(), 230u);
  std::set<std::string> keys;
  for (std::size_t i = 0; i < translationCount(); ++i) {
    const char* key = translationKey(i);
    const char* text = translationText(i);
    EXPECT_TRUE(keys.insert(key).second) << "duplicate key: " << key;
    EXPECT_GT(std::strlen(text), 0u) << key;
    EXPECT_TRUE(isValidUtf8(key)) << i;
    EXPECT_TRUE(isValidUtf8(text)) << key;
  }
  EXPECT_STREQ(translationKey(0), "Singleplayer");
  EXPECT_STREQ(translationKey(217), "Host closed the connection");
  EXPECT_STREQ(translationKey(230), "");
  EXPECT_STREQ(translationText(230), "");
}

TEST_F(TranslationsTest, EveryTranslationKeepsItsPlaceholders) {
  const std::vector<std::string> bad = inconsistentTranslations();
  EXPECT_TRUE(bad.empty()) << "first inconsistent key: " << (bad.empty() ? "" : bad.front());
}

TEST_F(TranslationsTest, TellingRows) {
  setLanguage(LanguageChinese);
  EXPECT_STREQ(tr("Singleplayer"), "单人游戏");
  EXPECT_STREQ(tr("Multiplayer"), "多人游戏");
  EXPECT_STREQ(tr("Connection rejected"), "连接被拒绝");
  EXPECT_STREQ(tr("Host closed the connection"), "主机关闭了连接");
  EXPECT_STREQ(tr("Quit to Menu"), "返回主菜单");
  EXPECT_STREQ(tr("grass"), "草方块");
}

TEST_F(TranslationsTest, LookupFollowsLanguageAndMatchesExactly) {
  const char* key = "Singleplayer";
  EXPECT_EQ(tr(key), key);  // English: the very same pointer

  setLanguage(LanguageChinese);
  // Every key finds its own row, including ones with quotes, leading spaces and double spaces.
  for (std::size_t i = 0; i < translationCount(); ++i) {
    EXPECT_EQ(tr(translationKey(i)), translationText(i)) << translationKey(i);
  }
  EXPECT_STRNE(tr("Delete \"%s\" forever?"), "Delete \"%s\" forever?");
  EXPECT_STREQ(tr(" (flying)"), "（飞行中）");
  EXPECT_STREQ(tr("play.example.com or 1.2.3.4:27632"), "play.example.com 或 1.2.3.4:27632");

  // Non-keys come back untouched: chat lines, mod block names, near misses of real keys.
  for (const char* text : {"hello everyone", "mymod:marble", "singleplayer", "Singleplayer ",
                           "(flying)", "%s - seed %u", ""}) {
    EXPECT_EQ(tr(text), text) << text;
  }
  EXPECT_STREQ(tr(static_cast<const char*>(nullptr)), "");

  setLanguage(LanguageEnglish);
  EXPECT_EQ(tr(key), key);
}

TEST_F(TranslationsTest, StringVariant) {
  EXPECT_EQ(tr(std::string("Quit to Menu")), "Quit to Menu");
  setLanguage(LanguageChinese);
  EXPECT_EQ(tr(std::string("Quit to Menu")), "返回主菜单");
  EXPECT_EQ(tr(std::string("a chat line")), "a chat line");
  // The whole string is the key: a NUL inside must not let a prefix match.
  const std::string withNul("grass\0x", 7);
  EXPECT_EQ(tr(withNul), withNul);
}

TEST_F(TranslationsTest, OnlyOneSelectsChinese) {
  EXPECT_EQ(language(), LanguageEnglish);
  for (int value : {2, -1, 1000, 0}) {
    setLanguage(LanguageChinese);
    setLanguage(value);
    EXPECT_EQ(language(), LanguageEnglish) << value;
    EXPECT_STREQ(tr("Singleplayer"), "Singleplayer") << value;
  }
  setLanguage(1);
  EXPECT_EQ(language(), LanguageChinese);
}

TEST_F(TranslationsTest, PlaceholderSignature) {
  const struct {
    const char* format;
    const char* signature;
  } cases[] = {
      {"no placeholders", ""},
      {"100%% sure", ""},
      {"%%d", ""},
      {"%%%d", "i"},
      {"%5.2f", "f"},
      {"%-3d", "i"},
      {"%+#08.3e %G %a", "fff"},
      {"%lld %hhu %hx %lu", "iiii"},
      {"%zu %jd %td %Lf %qd", "iiifi"},
      {"%02d:%02d", "ii"},
      {"%s  -  seed %u", "si"},
      {"%s  %d / %d  (%.0f blocks away)", "siif"},
      {"%c %p %ls", "cps"},
      {"%*d %.*f", "iiif"},
      {"50%", "?"},
      {"%d and %5.", "i?"},
      {"%ll", "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(placeholderSignature(c.format), c.signature) << c.format;
  }
  EXPECT_EQ(placeholderSignature(nullptr), "");
  // Swapped arguments are caught even though the same conversions appear.
  EXPECT_NE(placeholderSignature("%s %d"), placeholderSignature("%d %s"));
}

TEST_F(TranslationsTest, TranslatedHostMessageFormatsSafely) {
  setLanguage(LanguageChinese);
  const char* format = tr("Hosting \"%s\" on UDP %u");
  ASSERT_STRNE(format, "Hosting \"%s\" on UDP %u");
  char buffer[256];
  // A table format is never a literal; the placeholder test is what vouches for it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(buffer, sizeof buffer, format, "Test", 27632u);
#pragma GCC diagnostic pop
  const std::string result(buffer);
  EXPECT_NE(result.find("Test"), std::string::npos) << result;
  EXPECT_NE(result.find("27632"), std::string::npos) << result;
}
