// The head-up display: crosshair, target outline, hotbar, hearts, damage flash, mining
// progress, mob health bars and name tags. Everything but the hotbar window is drawn on
// the background list, under every window.

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "game/inventory.h"
#include "game/mobs.h"
#include "ui/screens.h"
#include "ui/ui_widgets.h"
#include "world/block_registry.h"

namespace {

constexpr float kSlotSize = 44.0f;
constexpr float kSlotGap = 3.0f;

void crosshair(ImDrawList* list, ImVec2 centre) {
  const float h = 8.0f;
  for (int pass = 0; pass < 2; ++pass) {
    const ImU32 colour = pass == 0 ? rgba8(0, 0, 0, 160) : rgba8(255, 255, 255, 220);
    const float width = pass == 0 ? 3.0f : 1.5f;
    list->AddLine(ImVec2(centre.x - h, centre.y), ImVec2(centre.x + h, centre.y), colour, width);
    list->AddLine(ImVec2(centre.x, centre.y - h), ImVec2(centre.x, centre.y + h), colour, width);
  }
}

// The 12 edges of the unit cube at `cell`; an edge with a corner behind the camera is
// left out.
void cubeOutline(ImDrawList* list, const glm::mat4& camera, ImVec2 display, glm::ivec3 cell,
                 ImU32 colour, bool shadow) {
  ImVec2 corners[8];
  bool visible[8];
  for (int i = 0; i < 8; ++i) {
    const glm::vec3 p(cell.x + (i & 1), cell.y + ((i >> 1) & 1), cell.z + ((i >> 2) & 1));
    visible[i] = projectToDisplay(camera, p, display, corners[i]);
  }
  static constexpr int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                        {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (int pass = shadow ? 0 : 1; pass < 2; ++pass) {
    for (const auto& edge : kEdges) {
      if (!visible[edge[0]] || !visible[edge[1]]) continue;
      list->AddLine(corners[edge[0]], corners[edge[1]], pass == 0 ? rgba8(0, 0, 0, 200) : colour,
                    pass == 0 ? 3.5f : 1.5f);
    }
  }
}

void targetOutline(ImDrawList* list, const Game& game, const glm::mat4& camera, ImVec2 display) {
  if (!game.target.hit || !game.world) return;
  cubeOutline(list, camera, display, game.target.cell, rgba8(255, 255, 255, 230), true);
  const glm::ivec3 place = game.target.place;
  const BlockId there = game.world->getBlock(place.x, place.y, place.z);
  if (there == kBlockAir || blockDef(there).fluid) {
    cubeOutline(list, camera, display, place, rgba8(120, 200, 255, 190), true);
  }
}

void hotbar(const Game& game, ImVec2 display) {
  const float width = kHotbarSlots * kSlotSize + (kHotbarSlots - 1) * kSlotGap;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y - 30.0f), ImGuiCond_Always,
                          ImVec2(0.5f, 1.0f));
  ImGui::SetNextWindowBgAlpha(0.45f);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(6, 6));
  ImGui::Begin("##hotbar", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoInputs |
                   ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  recordWindow("window:hotbar");
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::Dummy(ImVec2(width, kSlotSize));
  ImDrawList* list = ImGui::GetWindowDrawList();
  const bool creative = game.player.gameMode == GameModeCreative;
  for (int i = 0; i < kHotbarSlots; ++i) {
    const ImVec2 min(origin.x + i * (kSlotSize + kSlotGap), origin.y);
    const ImVec2 max(min.x + kSlotSize, min.y + kSlotSize);
    list->AddRectFilled(min, max, rgba8(20, 22, 28, 190), 2.0f);
    if (i == game.inventory.items.selected) {
      list->AddRect(min, max, rgba8(255, 255, 255, 240), 2.0f, 0, 2.5f);
    } else {
      list->AddRect(min, max, rgba8(0, 0, 0, 180), 2.0f, 0, 1.0f);
    }
    const ItemStack& stack = game.inventory.items.slots[i];
    const ImVec2 iconMin(min.x + 3, min.y + 3), iconMax(max.x - 3, max.y - 3);
    if (!stack.empty()) {
      drawBlockIcon(list, game, stack.item, iconMin, iconMax);
      drawStackCount(list, max, stack.count);
    } else if (creative) {
      drawBlockIcon(list, game, creativePaletteBlock(i), iconMin, iconMax);
    }
  }
  ImGui::End();
  ImGui::PopStyleVar();
}

void heart(ImDrawList* list, const Game& game, ImVec2 min, int layer, float part) {
  const ImVec2 max(min.x + 20.0f * part, min.y + 20.0f);
  const ImTextureID texture = layerTexture(game, layer);
  if (texture != nullptr) {
    list->AddImage(texture, min, max, ImVec2(0, 0), ImVec2(part, 1));
  } else {
    const bool full = layer == blocks().findTexture("heart_full");
    list->AddRectFilled(min, max, full ? rgba8(210, 40, 40, 255) : rgba8(60, 20, 20, 255));
  }
}

void hearts(ImDrawList* list, const Game& game, ImVec2 display) {
  const int full = blocks().findTexture("heart_full");
  const int empty = blocks().findTexture("heart_empty");
  const int hp = std::clamp(game.player.hitPoints, 0, 20);
  for (int i = 0; i < 10; ++i) {
    const ImVec2 min(display.x * 0.5f - 109.0f + 22.0f * i, display.y - 98.0f);
    if (hp >= 2 * i + 2) {
      heart(list, game, min, full, 1.0f);
    } else {
      heart(list, game, min, empty, 1.0f);
      if (hp == 2 * i + 1) heart(list, game, min, full, 0.5f);
    }
  }
}

void miningBar(ImDrawList* list, const Game& game, ImVec2 centre) {
  const float progress = std::clamp(game.mining.progress, 0.0f, 1.0f);
  if (game.mining.cell.x == kNoMiningCell || progress <= 0.0f) return;
  const ImVec2 min(centre.x - 28.0f, centre.y + 16.0f - 2.5f);
  const ImVec2 max(min.x + 56.0f, min.y + 5.0f);
  list->AddRectFilled(min, max, rgba8(0, 0, 0, 170));
  list->AddRectFilled(min, ImVec2(min.x + 56.0f * progress, max.y), rgba8(235, 235, 235, 235));
}

void mobHealthBars(ImDrawList* list, const Game& game, const glm::mat4& camera, ImVec2 display) {
  for (const Mob& mob : game.entities.mobs) {
    const int most = mobTypeInfo(mob.type).hitPoints;
    if (mob.hitPoints <= 0 || mob.hitPoints >= most) continue;
    if (glm::length(mob.position - game.player.position) > 32.0f) continue;
    ImVec2 at;
    if (!projectToDisplay(camera, mob.position + glm::vec3(0, 0.75f, 0), display, at)) continue;
    const ImVec2 min(at.x - 17.0f, at.y - 2.0f), max(at.x + 17.0f, at.y + 2.0f);
    list->AddRectFilled(min, max, rgba8(0, 0, 0, 170));
    const float fill = 34.0f * static_cast<float>(mob.hitPoints) / static_cast<float>(most);
    list->AddRectFilled(min, ImVec2(min.x + fill, max.y), rgba8(220, 50, 50, 235));
  }
}

void nameTags(ImDrawList* list, const Game& game, const glm::mat4& camera, ImVec2 display) {
  for (const RemotePlayer& player : game.entities.remotePlayers) {
    if (!player.hasState) continue;
    ImVec2 at;
    glm::vec2 ndc;
    const glm::vec3 head(player.shownX, player.shownY + 0.32f, player.shownZ);
    if (!projectToDisplay(camera, head, display, at, &ndc)) continue;
    if (std::fabs(ndc.x) > 1.2f || std::fabs(ndc.y) > 1.2f) continue;
    const ImVec2 size = ImGui::CalcTextSize(player.name.c_str());
    const ImVec2 min(at.x - size.x * 0.5f - 5.0f, at.y - size.y - 10.0f);
    const ImVec2 max(at.x + size.x * 0.5f + 5.0f, at.y);
    list->AddRectFilled(min, max, rgba8(8, 10, 14, 150), 4.0f);
    list->AddText(ImVec2(min.x + 5.0f, min.y + 5.0f), rgba8(255, 255, 255, 240),
                  player.name.c_str());
  }
}

}  // namespace

bool projectToDisplay(const glm::mat4& camera, glm::vec3 point, ImVec2 display, ImVec2& out,
                      glm::vec2* ndc) {
  const glm::vec4 clip = camera * glm::vec4(point, 1.0f);
  if (clip.w < 0.0001f) return false;
  const glm::vec2 n(clip.x / clip.w, clip.y / clip.w);
  if (ndc != nullptr) *ndc = n;
  out = ImVec2((n.x * 0.5f + 0.5f) * display.x, (n.y * 0.5f + 0.5f) * display.y);
  return true;
}

void drawHud(const Game& game, const glm::mat4& camera) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  const ImVec2 centre(display.x * 0.5f, display.y * 0.5f);
  ImDrawList* list = ImGui::GetBackgroundDrawList();
  const bool spectator = game.player.gameMode == GameModeSpectator;
  mobHealthBars(list, game, camera, display);
  nameTags(list, game, camera, display);
  if (!spectator) {
    targetOutline(list, game, camera, display);
    crosshair(list, centre);
    hotbar(game, display);
  }
  if (game.player.gameMode == GameModeSurvival) hearts(list, game, display);
  miningBar(list, game, centre);
  const float flash = game.player.damageFlash;
  if (flash > 0.0f) {
    const int alpha = static_cast<int>(255.0f * 0.35f * std::clamp(2.0f * flash, 0.0f, 1.0f));
    ImGui::GetBackgroundDrawList()->AddRectFilled(ImVec2(0, 0), display, rgba8(200, 20, 20, alpha));
  }
}
