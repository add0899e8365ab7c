// The survival inventory screen: three rows of storage above the hotbar row; a click
// picks up, puts down, swaps or merges through the cursor stack, which follows the mouse.

#include <imgui.h>

#include <string>

#include "game/inventory.h"
#include "lang/translations.h"
#include "ui/screens.h"
#include "ui/ui_widgets.h"

namespace {

constexpr float kSlotSize = 44.0f;

void slotButton(Game& game, int index) {
  ImGui::PushID(index);
  ImGui::InvisibleButton("##slot", ImVec2(kSlotSize, kSlotSize));
  recordWidget("slot:" + std::to_string(index));
  const bool clicked = ImGui::IsItemClicked(ImGuiMouseButton_Left);
  const bool hovered = ImGui::IsItemHovered();
  ImGui::PopID();
  const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
  ImDrawList* list = ImGui::GetWindowDrawList();
  list->AddRectFilled(min, max, rgba8(22, 24, 30, 235));
  if (index == game.inventory.items.selected) {
    list->AddRect(min, max, rgba8(255, 255, 255, 230), 0.0f, 0, 2.0f);
  } else {
    list->AddRect(min, max, rgba8(92, 96, 108, 200), 0.0f, 0, 1.0f);
  }
  if (hovered) list->AddRect(min, max, rgba8(255, 255, 255, 130), 0.0f, 0, 1.0f);
  ItemStack& stack = game.inventory.items.slots[index];
  if (!stack.empty()) {
    drawBlockIcon(list, game, stack.item, ImVec2(min.x + 3, min.y + 3),
                  ImVec2(max.x - 3, max.y - 3));
    drawStackCount(list, max, stack.count);
  }
  if (clicked) clickInventorySlot(stack, game.inventory.cursor);
}

void slotRow(Game& game, int first) {
  for (int i = 0; i < kHotbarSlots; ++i) {
    if (i > 0) ImGui::SameLine(0.0f, 4.0f);
    slotButton(game, first + i);
  }
}

}  // namespace

void drawInventoryScreen(Game& game) {
  dimDisplay(130);
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always,
                          ImVec2(0.5f, 0.5f));
  ImGui::Begin("##inventory", nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_AlwaysAutoResize);
  titleText("Inventory", 1.55f);
  ImGui::TextUnformatted(tr("Click a stack to pick it up, click another slot to place it."));
  for (int row = 0; row < 3; ++row) slotRow(game, kHotbarSlots * (row + 1));
  ImGui::Separator();
  slotRow(game, 0);
  ImGui::TextDisabled("%s", tr("Hotbar is the bottom row. E or Esc closes."));
  ImGui::End();

  const ItemStack& cursor = game.inventory.cursor;
  if (!cursor.empty()) {
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    ImDrawList* list = ImGui::GetForegroundDrawList();
    const ImVec2 max(mouse.x + 40, mouse.y + 40);
    drawBlockIcon(list, game, cursor.item, ImVec2(mouse.x + 6, mouse.y + 6), max);
    drawStackCount(list, max, cursor.count);
  }
}
