#include "ui/ui_fonts.h"

#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <cstring>
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

ImVector<ImWchar> titleGlyphRanges() {
  ImFontAtlas atlas;
  ImFontGlyphRangesBuilder builder;
  builder.AddRanges(atlas.GetGlyphRangesDefault());
  for (const char* title : {"Orvane", "You died", "Inventory", "Paused", "Connecting"}) {
    for (std::size_t i = 0; i < translationCount(); ++i) {
      if (std::strcmp(translationKey(i), title) == 0) builder.AddText(translationText(i));
    }
  }
  ImVector<ImWchar> ranges;
  builder.BuildRanges(&ranges);
  return ranges;
}

namespace {

// The built-in font rasterised at `pixels`.
ImFont* addDefaultFont(ImFontAtlas& atlas, float pixels) {
  ImFontConfig config;
  config.SizePixels = pixels;
  return atlas.AddFontDefault(&config);
}

ImFont* addFileFont(ImFontAtlas& atlas, const std::string& path, float pixels,
                    const ImWchar* ranges) {
  ImFontConfig config;
  config.OversampleH = 1;
  config.PixelSnapH = true;
  return atlas.AddFontFromFileTTF(path.c_str(), pixels, &config, ranges);
}

}  // namespace

bool buildUiFonts(ImFontAtlas& atlas, int language, const ImVector<ImWchar>& chineseRanges,
                  const ImVector<ImWchar>& titleRanges, const std::string& chinesePath) {
  atlas.Clear();
  std::error_code error;
  const bool haveFile = std::filesystem::is_regular_file(chinesePath, error);
  bool loaded = false;
  if (language == LanguageChinese) {
    if (haveFile) loaded = addFileFont(atlas, chinesePath, kChineseFontSize, chineseRanges.Data);
    if (!loaded)
      std::fprintf(stderr, "ui: Chinese font not available (%s), using the default font\n",
                   chinesePath.c_str());
  }
  if (loaded) {
    addFileFont(atlas, chinesePath, kChatFontSize, chineseRanges.Data);
  } else {
    atlas.AddFontDefault();
    // The language combo names Chinese in Chinese: borrow those two glyphs when we can.
    static const ImWchar kLanguageName[] = {0x4E2D, 0x4E2D, 0x6587, 0x6587, 0};
    if (language != LanguageChinese && haveFile) {
      ImFontConfig merge;
      merge.MergeMode = true;
      merge.OversampleH = 1;
      atlas.AddFontFromFileTTF(chinesePath.c_str(), 13.0f, &merge, kLanguageName);
    }
    addDefaultFont(atlas, kChatFontSize);
  }
  // Titles: the Chinese font's Latin and title glyphs read well at large sizes in both
  // languages; without it, the built-in font drawn at the title's size.
  const float body = loaded ? kChineseFontSize : kDefaultFontSize;
  for (float scale : kTitleScales) {
    ImFont* title = nullptr;
    if (haveFile && (loaded || language != LanguageChinese)) {
      title = addFileFont(atlas, chinesePath, body * scale, titleRanges.Data);
    }
    if (title == nullptr) addDefaultFont(atlas, body * scale);
  }
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
  return loaded;
}

ImFont* fontForSize(const ImFontAtlas& atlas, float pixels) {
  ImFont* best = nullptr;
  for (ImFont* font : atlas.Fonts) {
    if (best == nullptr ||
        std::fabs(font->FontSize - pixels) < std::fabs(best->FontSize - pixels)) {
      best = font;
    }
  }
  return best;
}
