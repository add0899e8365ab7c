// Line breaking of the screens' notes, measured in cells: one per Latin character, two
// per Chinese character.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/text_wrap.h"

namespace {

float cells(std::string_view text) {
  float width = 0;
  for (unsigned char c : text) {
    if (c < 0x80) width += 1;
    if (c >= 0xE0) width += 2;  // lead byte of a three-byte (Chinese) character
  }
  return width;
}

std::vector<std::string> wrap(const char* text, float width) {
  return wrapLines(text, width, cells);
}

TEST(TextWrap, FileNamesStayWholeInBothLanguages) {
  const char* english =
      "Drop .mod.orvac mods and .rp.orvac packs into the opened folders, then restart.";
  const char* chinese = "将 .mod.orvac 模组和 .rp.orvac 资源包放入打开的文件夹，然后重新启动游戏。";
  for (const char* text : {english, chinese}) {
    for (float width = 10; width <= 40; width += 1) {
      const auto lines = wrap(text, width);
      int mod = 0, rp = 0;
      for (const std::string& line : lines) {
        EXPECT_LE(cells(line), width) << line;
        EXPECT_NE(line.front(), ' ');
        EXPECT_NE(line.back(), ' ');
        mod += line.find(".mod.orvac") != std::string::npos;
        rp += line.find(".rp.orvac") != std::string::npos;
      }
      EXPECT_EQ(mod, 1) << text << " at " << width;
      EXPECT_EQ(rp, 1) << text << " at " << width;
    }
  }
  // Chinese breaks between characters, never before its comma or full stop.
  EXPECT_EQ(wrap("资源包放入打开的文件夹，然后", 22),
            (std::vector<std::string>{"资源包放入打开的文件", "夹，然后"}));
  EXPECT_EQ(wrap("一二三。", 6), (std::vector<std::string>{"一二", "三。"}));
}

TEST(TextWrap, SpacesBreakAndLongWordsStandAlone) {
  EXPECT_EQ(wrap("aa bb cc", 5), (std::vector<std::string>{"aa bb", "cc"}));
  EXPECT_EQ(wrap("  leading   and trailing  ", 100),
            (std::vector<std::string>{"leading   and trailing"}));
  EXPECT_EQ(wrap("a averyveryverylongword b", 6),
            (std::vector<std::string>{"a", "averyveryverylongword", "b"}));
  EXPECT_TRUE(wrap("", 10).empty());
  EXPECT_TRUE(wrap("   ", 10).empty());
}

}  // namespace
