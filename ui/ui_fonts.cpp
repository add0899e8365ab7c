#include "ui/ui_fonts.h"

#include <imgui.h>

#include <cstdio>
#include <filesystem>

#include "lang/translations.h"

// Latin, the common characters, and every Chinese text of the table (some of it lies
// outside the common set).
ImVector<ImWchar> chineseGlyphRanges() {
  ImFontAtlas atlas;
  ImFontGlyphRangesBuilder builder;
  builder.AddRanges(atlas.GetGlyphRangesDefault());
  builder.AddRanges(atlas.GetGlyphRangesChineseSimplifiedCommon());
  for (std::size_t i = 0; i < translationCount(); ++i) builder.AddText(translationText(i));
  builder.AddText("中文");
  ImVector<ImWchar> ranges;
  builder.BuildRanges(&ranges);
  return ranges;
}

bool buildUiFonts(ImFontAtlas& atlas, int language, const ImVector<ImWchar>& chineseRanges,
                  const std::string& chinesePath) {
  atlas.Clear();
  bool loaded = false;
  if (language == LanguageChinese) {
    std::error_code error;
    if (std::filesystem::is_regular_file(chinesePath, error)) {
      ImFontConfig config;
      config.OversampleH = 1;
      config.PixelSnapH = true;
      loaded = atlas.AddFontFromFileTTF(chinesePath.c_str(), kChineseFontSize, &config,
                                        chineseRanges.Data) != nullptr;
    }
    if (!loaded)
      std::fprintf(stderr, "ui: Chinese font not available (%s), using the default font\n",
                   chinesePath.c_str());
  }
  if (!loaded) {
    atlas.AddFontDefault();
    // The language combo names Chinese in Chinese: borrow those two glyphs when we can.
    static const ImWchar kLanguageName[] = {0x4E2D, 0x4E2D, 0x6587, 0x6587, 0};
    std::error_code error;
    if (language != LanguageChinese && std::filesystem::is_regular_file(chinesePath, error)) {
      ImFontConfig merge;
      merge.MergeMode = true;
      merge.OversampleH = 1;
      atlas.AddFontFromFileTTF(chinesePath.c_str(), 13.0f, &merge, kLanguageName);
    }
  }
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
  return loaded;
}
