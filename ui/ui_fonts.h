#pragma once
// The UI fonts: the library's built-in font for English, WQY MicroHei for Chinese with
// the Latin range, every glyph of the translation table and the common simplified
// Chinese characters. Text drawn larger than the body (titles, chat) gets fonts built at
// its own size rather than a scaled body font, which would be blurry.

#include <string>

#include <imgui.h>

inline constexpr const char* kChineseFontPath = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
inline constexpr float kChineseFontSize = 16.0f;
// The body size of the built-in font.
inline constexpr float kDefaultFontSize = 13.0f;
// The chat's size in pixels, whatever the language.
inline constexpr float kChatFontSize = 18.0f;
// Title scales relative to the body font: main title, "You died", "Inventory", "Paused"
// and "Connecting".
inline constexpr float kTitleScales[] = {2.1f, 1.7f, 1.55f, 1.5f};

// The glyph ranges of the Chinese font (zero-terminated pairs).
ImVector<ImWchar> chineseGlyphRanges();
// The glyph ranges of the title fonts: Latin and the titles' Chinese characters.
ImVector<ImWchar> titleGlyphRanges();

// Clears `atlas` and fills it for `language` (0 English, 1 Chinese), then builds it:
// the body font first (atlas.Fonts[0]), then the chat font, then one title font per
// entry of kTitleScales. The ranges must outlive the build. A Chinese font that is missing
// or does not load gives the built-in font at every size and one line on standard error.
// True when the Chinese font loaded.
bool buildUiFonts(ImFontAtlas& atlas, int language, const ImVector<ImWchar>& chineseRanges,
                  const ImVector<ImWchar>& titleRanges,
                  const std::string& chinesePath = kChineseFontPath);

// The font of `atlas` built closest to `pixels` tall, or null for an empty atlas.
ImFont* fontForSize(const ImFontAtlas& atlas, float pixels);
