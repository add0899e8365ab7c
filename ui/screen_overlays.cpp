// The message log with the chat input, and the F3 debug overlay.

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "game/lifecycle.h"
#include "lang/translations.h"
#include "platform/version.h"
#include "ui/screens.h"
#include "ui/ui_fonts.h"
#include "ui/ui_widgets.h"
#include "world/block_registry.h"

namespace {

constexpr std::size_t kChatLines = 10;
constexpr float kChatLineStep = 23.0f;

// How visible a log line is while the chat is closed: fully for 8 s, then fading out
// until 12 s.
float lineAlpha(double age) {
  return std::clamp(1.0f - (static_cast<float>(age) - 8.0f) * 0.25f, 0.0f, 1.0f);
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

ImU32 lineColour(const std::string& text, float alpha) {
  const int a = static_cast<int>(255.0f * alpha);
  if (startsWith(text, "/")) return rgba8(150, 200, 255, a);
  if (startsWith(text, tr("You: ")) || startsWith(text, "You: ")) return rgba8(170, 232, 160, a);
  return rgba8(240, 240, 240, a);
}

std::string heldText(const Game& game) {
  const ItemStack& stack = game.inventory.items.selectedStack();
  const bool survival = game.player.gameMode == GameModeSurvival;
  if (!stack.empty()) {
    std::string text = tr(blockDef(stack.item).name);
    if (survival) text += "  x" + std::to_string(stack.count);
    return trf("Held   %s", text.c_str());
  }
  if (game.player.gameMode == GameModeCreative) {
    return trf("Held   %s",
               tr(blockDef(creativePaletteBlock(game.inventory.items.selected)).name.c_str()));
  }
  return trf("Held   %s", tr("empty"));
}

void line(const std::string& text) {
  ImGui::TextUnformatted(text.c_str());
}

}  // namespace

const char* facingName(float yawDegrees) {
  static const char* const kNames[4] = {"East", "South", "West", "North"};
  float yaw = std::fmod(yawDegrees, 360.0f);
  if (yaw < 0.0f) yaw += 360.0f;
  const int index = static_cast<int>(std::floor((yaw + 45.0f) / 90.0f)) % 4;
  return kNames[index];
}

void drawChat(const Game& game) {
  const ChatState& chat = game.chat;
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImDrawList* list = ImGui::GetBackgroundDrawList();
  ImFont* font = fontForSize(*ImGui::GetIO().Fonts, kChatFontSize);
  if (font == nullptr) font = ImGui::GetFont();
  const float inputTop = display.y - 140.0f;
  if (chat.open) {
    const float width = std::min(680.0f, display.x - 20.0f);
    const ImVec2 min(10.0f, inputTop), max(10.0f + width, inputTop + 28.0f);
    list->AddRectFilled(min, max, rgba8(0, 0, 0, 170), 4.0f);
    const double frac = game.clock - std::floor(game.clock);
    std::string text = chat.input;
    if (frac < 0.55) text += "_";
    const ImVec2 at(min.x + 6.0f, min.y + 5.0f);
    if (chat.input.empty() && chat.talking) {
      list->AddText(font, kChatFontSize, at, rgba8(150, 150, 150, 220), tr("Say something..."));
      if (frac < 0.55) list->AddText(font, kChatFontSize, at, rgba8(255, 255, 255, 255), "_");
    } else {
      list->AddText(font, kChatFontSize, at, rgba8(255, 255, 255, 255), text.c_str());
    }
  }
  const std::size_t count = std::min(kChatLines, chat.log.size());
  float y = inputTop - 8.0f - kChatLineStep;
  for (std::size_t k = 0; k < count; ++k, y -= kChatLineStep) {
    const LogMessage& message = chat.log[chat.log.size() - 1 - k];
    const float alpha = chat.open ? 1.0f : lineAlpha(game.clock - message.time);
    if (alpha < 0.01f) continue;
    const ImVec2 size = font->CalcTextSizeA(kChatFontSize, FLT_MAX, 0.0f, message.text.c_str());
    list->AddRectFilled(ImVec2(10.0f, y - 2.0f), ImVec2(22.0f + size.x, y + 21.0f),
                        rgba8(0, 0, 0, static_cast<int>(110 * alpha)), 4.0f);
    list->AddText(font, kChatFontSize, ImVec2(16.0f, y), lineColour(message.text, alpha),
                  message.text.c_str());
  }
}

void drawDebugOverlay(const Game& game) {
  const RendererStats stats = game.renderer ? game.renderer->stats() : RendererStats{};
  const Player& player = game.player;
  const glm::vec3 p = player.position;
  const int bx = static_cast<int>(std::floor(p.x)), by = static_cast<int>(std::floor(p.y)),
            bz = static_cast<int>(std::floor(p.z));
  ImGui::SetNextWindowPos(ImVec2(10, 10));
  ImGui::SetNextWindowBgAlpha(0.62f);
  ImGui::Begin("##debug", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                   ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav);
  line(trf("Orvane %s", kVersionText));
  const float fps = game.frame.framesPerSecond;
  line(
      trf("%d FPS  (%.2f ms)", static_cast<int>(std::lround(fps)), fps > 0 ? 1000.0f / fps : 0.0f));
  if (stats.refreshRate > 0) line(trf("Screen refresh %d Hz", stats.refreshRate));
  ImGui::Separator();
  line(trf("XYZ    %.2f / %.2f / %.2f", p.x, p.y, p.z));
  line(trf("Chunk  %d / %d / %d", floorDiv16(bx), floorDiv16(by), floorDiv16(bz)));
  line(trf("Block  %d / %d / %d", bx, by, bz));
  line(trf("Facing %s   yaw %.1f  pitch %.1f", tr(facingName(player.yaw)), player.yaw,
           player.pitch));
  const double hours = std::fmod(24.0 * game.environment.timeOfDay + 6.0, 24.0);
  const int h = static_cast<int>(std::floor(hours));
  line(trf("Time   %02d:%02d", h, static_cast<int>(std::floor((hours - h) * 60.0))));
  ImGui::Separator();
  if (game.target.hit && game.world) {
    const glm::ivec3 c = game.target.cell;
    const BlockId id = game.world->getBlock(c.x, c.y, c.z);
    line(trf("Target %s  (%d %d %d)", tr(blockDef(id).name.c_str()), c.x, c.y, c.z));
  } else {
    line(tr("Target -"));
  }
  line(heldText(game));
  ImGui::Separator();
  line(trf("Seed %u", game.seed));
  line(trf("Draws %d / %d chunks   %d tracked", stats.drawnChunks,
           static_cast<int>(stats.chunkMeshes),
           static_cast<int>(game.meshScheduler.meshedCount())));
  line(trf("Triangles %zu   Particles %zu", static_cast<size_t>(stats.triangles),
           game.entities.particles.size()));
  line(trf("Mobs %zu   Drops %zu", game.entities.mobs.size(), game.entities.drops.size()));
  if (game.net.role != NetOffline) {
    line(trf("Net   %s   %d ms   %d remote", tr(game.net.role == NetHost ? "host" : "client"),
             game.net.session ? game.net.session->roundTripMs() : 0,
             static_cast<int>(game.entities.remotePlayers.size())));
  }
  if (!game.worldName.empty()) line(trf("World %s", game.worldName.c_str()));
  const bool flying = player.gameMode == GameModeCreative && player.flying;
  line(trf("Mode %s%s  HP %d/20", tr(gameModeName(player.gameMode)), flying ? tr(" (flying)") : "",
           player.hitPoints));
  ImGui::Separator();
  line(trf("GPU %s", stats.gpuName.c_str()));
  line(trf("Vulkan %u.%u.%u", (stats.apiVersion >> 22) & 0x7Fu, (stats.apiVersion >> 12) & 0x3FFu,
           stats.apiVersion & 0xFFFu));
  line(trf("Viewport %d x %d", static_cast<int>(stats.width), static_cast<int>(stats.height)));
  line(trf("Render distance %d chunks, F4 spectator, / commands",
           game.meshScheduler.renderDistance()));
  ImGui::End();
}
