#pragma once
// The UI fonts: the library's built-in font for English, WQY MicroHei for Chinese with
// the Latin range, every glyph of the translation table and the common simplified
// Chinese characters.

#include <string>

#include <imgui.h>

inline constexpr const char* kChineseFontPath = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
inline constexpr float kChineseFontSize = 16.0f;

// The glyph ranges of the Chinese font (zero-terminated pairs).
ImVector<ImWchar> chineseGlyphRanges();

// Clears `atlas` and fills it for `language` (0 English, 1 Chinese), then builds it;
// `chineseRanges` must outlive the build. A Chinese font that is missing or does not load
// gives the default font and one line on standard error. True when the Chinese font loaded.
bool buildUiFonts(ImFontAtlas& atlas, int language, const ImVector<ImWchar>& chineseRanges,
                  const std::string& chinesePath = kChineseFontPath);
