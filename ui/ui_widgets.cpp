#include "ui/ui_widgets.h"

#include <algorithm>
#include <cfloat>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lang/translations.h"
#include "platform/open_folder.h"
#include "platform/program_folder.h"
#include "ui/text_wrap.h"
#include "ui/ui_context.h"
#include "ui/ui_fonts.h"
#include "world/block_registry.h"

namespace {

// "<translation>###<english>": the id comes from the English text alone, so it stays
// the same in both languages.
std::string labelFor(const char* english) {
  return std::string(tr(english)) + "###" + english;
}

// Longest prefix of `text` within `bytes` that does not split a UTF-8 sequence.
std::size_t utf8Prefix(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text.size();
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return end;
}

// Lets only the digits 0-9 into a field.
int digitsOnly(ImGuiInputTextCallbackData* data) {
  return data->EventChar >= '0' && data->EventChar <= '9' ? 0 : 1;
}

}  // namespace

std::string trf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, tr(format), copy);
  va_end(copy);
  std::string text;
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), tr(format), args);
    text.assign(big.data(), static_cast<std::size_t>(n));
  }
  va_end(args);
  return text;
}

void recordWidget(const std::string& key) {
  UiContext* ui = currentUiContext();
  if (ui == nullptr || !ui->recordWidgets) return;
  ui->widgets[key] = WidgetRect{ImGui::GetItemRectMin(), ImGui::GetItemRectMax()};
}

void recordWindow(const std::string& key) {
  UiContext* ui = currentUiContext();
  if (ui == nullptr || !ui->recordWidgets) return;
  const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
  ui->widgets[key] = WidgetRect{pos, ImVec2(pos.x + size.x, pos.y + size.y)};
}

void beginMenuWindow(const char* id, float width, float maxHeight) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always,
                          ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSizeConstraints(ImVec2(width, 0.0f), ImVec2(width, maxHeight));
  ImGui::Begin(id, nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_AlwaysAutoResize);
}

void titleText(const char* english, float scale) {
  const ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
  ImFont* body = atlas.Fonts.empty() ? nullptr : atlas.Fonts[0];
  ImFont* title = body != nullptr ? fontForSize(atlas, body->FontSize * scale) : nullptr;
  if (title == nullptr) {
    ImGui::SetWindowFontScale(scale);
    ImGui::TextUnformatted(tr(english));
    ImGui::SetWindowFontScale(1.0f);
    return;
  }
  ImGui::PushFont(title);
  ImGui::TextUnformatted(tr(english));
  ImGui::PopFont();
}

bool wideButton(const char* english, float height, bool enabled) {
  ImGui::BeginDisabled(!enabled);
  const bool clicked = ImGui::Button(labelFor(english).c_str(), ImVec2(-FLT_MIN, height));
  ImGui::EndDisabled();
  recordWidget(english);
  return clicked && enabled;
}

bool smallButton(const char* english, float width, float height) {
  const bool clicked = ImGui::Button(labelFor(english).c_str(), ImVec2(width, height));
  recordWidget(english);
  return clicked;
}

bool textField(const char* key, const char* hint, std::string& value, std::size_t capacity,
               float width, ImGuiInputTextFlags flags) {
  char buffer[256];
  capacity = std::min(capacity, sizeof buffer);
  const std::size_t length = utf8Prefix(value, capacity - 1);
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
  if (length != value.size()) value.resize(length);
  ImGui::SetNextItemWidth(width < 0.0f ? -FLT_MIN : width);
  const std::string id = std::string("##") + key;
  ImGuiInputTextCallback filter = nullptr;
  if (flags & ImGuiInputTextFlags_CharsDecimal) {
    flags = (flags & ~ImGuiInputTextFlags_CharsDecimal) | ImGuiInputTextFlags_CallbackCharFilter;
    filter = digitsOnly;
  }
  const bool changed =
      ImGui::InputTextWithHint(id.c_str(), hint ? tr(hint) : "", buffer, capacity, flags, filter);
  recordWidget(key);
  if (changed) value.assign(buffer);
  return changed;
}

void wrappedText(const std::string& text, bool disabled) {
  const float width = ImGui::GetContentRegionAvail().x;
  const auto measure = [](std::string_view s) {
    return ImGui::CalcTextSize(s.data(), s.data() + s.size()).x;
  };
  for (const std::string& line : wrapLines(text, width, measure)) {
    if (disabled) {
      ImGui::TextDisabled("%s", line.c_str());
    } else {
      ImGui::TextUnformatted(line.c_str());
    }
  }
}

void languageCombo() {
  const char* names[] = {"English", "中文"};
  int current = language() == LanguageChinese ? 1 : 0;
  ImGui::SetNextItemWidth(160.0f);
  if (ImGui::Combo(labelFor("Language").c_str(), &current, names, 2)) setLanguage(current);
  recordWidget("Language");
}

void folderButtons(float height) {
  if (wideButton("Open Mods Folder", height)) openFolder(dataFolder("mods"));
  if (wideButton("Open Resource Packs Folder", height)) openFolder(dataFolder("resourcepacks"));
  wrappedText(
      tr("Drop .mod.orvac mods and .rp.orvac packs into the opened folders, then restart."));
}

ImTextureID layerTexture(const Game& game, int layer) {
  return game.renderer != nullptr ? game.renderer->uiTextureForLayer(layer) : nullptr;
}

void drawBlockIcon(ImDrawList* list, const Game& game, BlockId block, ImVec2 min, ImVec2 max) {
  if (block == 0) return;
  const ImTextureID texture = layerTexture(game, blockDef(block).textureSide);
  if (texture != nullptr) {
    list->AddImage(texture, min, max);
  } else {
    list->AddRectFilled(min, max, rgba8(120, 120, 120, 255));
  }
}

void drawStackCount(ImDrawList* list, ImVec2 slotMax, int count) {
  if (count <= 1) return;
  char text[16];
  std::snprintf(text, sizeof text, "%d", count);
  const ImVec2 size = ImGui::CalcTextSize(text);
  const ImVec2 at(slotMax.x - size.x - 3.0f, slotMax.y - size.y - 2.0f);
  list->AddText(ImVec2(at.x + 1.0f, at.y + 1.0f), rgba8(0, 0, 0, 220), text);
  list->AddText(at, rgba8(255, 255, 255, 255), text);
}

// The dim is an ordinary window, created in front of the overlays that were drawn before
// it (a window that never comes to the front would be created behind them), and behind
// the screen's own window, which follows it.
void dimDisplay(int alpha) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(display);
  ImGui::SetNextWindowBgAlpha(0.0f);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
  ImGui::Begin("##dim", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoInputs |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                   ImGuiWindowFlags_NoNav);
  // The window clips its contents to the inside of its padding; the dim reaches the edges.
  ImDrawList* list = ImGui::GetWindowDrawList();
  list->PushClipRect(ImVec2(0, 0), display, false);
  list->AddRectFilled(ImVec2(0, 0), display, rgba8(0, 0, 0, alpha));
  list->PopClipRect();
  ImGui::End();
  ImGui::PopStyleVar();
}
