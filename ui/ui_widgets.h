#pragma once
// Building blocks shared by the screens: centred menu windows, full-width buttons with
// stable ids across languages, text fields with fixed capacities, translated printf,
// block icons and stack counts.

#include <imgui.h>

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <string>

#include "game/game.h"

// Colour from 0-255 components.
constexpr ImU32 rgba8(int r, int g, int b, int a) {
  return IM_COL32(r, g, b, a);
}

// The translated `format` filled printf-style.
std::string trf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Remembers the last item's rectangle under `key` when the context records widgets.
void recordWidget(const std::string& key);

// Remembers the current window's rectangle under `key` when the context records widgets.
void recordWindow(const std::string& key);

// A centred, auto-sized window of fixed width without title bar, resize, move or
// collapse, at most `maxHeight` tall (its contents scroll beyond). Always pair with
// ImGui::End().
void beginMenuWindow(const char* id, float width, float maxHeight = FLT_MAX);
// A title line drawn at `scale` times the font size.
void titleText(const char* english, float scale);
// A button spanning the window's width, labelled with the translation of `english`;
// true when clicked (never while disabled).
bool wideButton(const char* english, float height, bool enabled = true);
// A button of fixed width labelled with the translation of `english`.
bool smallButton(const char* english, float width, float height);
// A single-line text field editing `value`, which never grows beyond capacity - 1 bytes.
// `key` names the field (for its id); `hint` is shown while it is empty; width < 0
// spans the window; ImGuiInputTextFlags_CharsDecimal admits the digits 0-9 only. True
// when the text changed.
bool textField(const char* key, const char* hint, std::string& value, std::size_t capacity,
               float width = -1.0f, ImGuiInputTextFlags flags = 0);
// The "Language" combo: English or Chinese; choosing sets the interface language.
void languageCombo();
// The folder buttons and their hint; the buttons open "mods" and "resourcepacks".
void folderButtons(float height);

// `text` (already translated) wrapped to the window's width at spaces and beside Chinese
// characters, greyed out when `disabled`.
void wrappedText(const std::string& text, bool disabled = true);

// Covers the display with black of `alpha`, under the windows that follow.
void dimDisplay(int alpha);

// The UI texture of a block texture layer, or null when the renderer has none.
ImTextureID layerTexture(const Game& game, int layer);
// A block's icon (its side texture) filling [min, max]; a plain square without textures.
void drawBlockIcon(ImDrawList* list, const Game& game, BlockId block, ImVec2 min, ImVec2 max);
// A stack count at the bottom right of a slot, with a one-pixel dark shadow.
void drawStackCount(ImDrawList* list, ImVec2 slotMax, int count);
