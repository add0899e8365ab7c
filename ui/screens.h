#pragma once
// The game's screens, drawn with ImGui between UiContext::beginFrame and endFrame. They
// read the game and return what the player chose; only settings, the menu's fields and
// the inventory screen's stacks are changed directly.

#include <imgui.h>

#include <glm/glm.hpp>

#include "app/screen_actions.h"
#include "game/game.h"

// The bottom band of the display that the hotbar and the hearts take while playing; the
// pause menu stays above it.
inline constexpr float kHudReserve = 98.0f;

// The main menu on its current page.
MenuAction drawMainMenu(Game& game);
// The pause menu with its settings.
PauseAction drawPauseMenu(Game& game);
// The death screen over a dimmed display.
DeathAction drawDeathScreen(Game& game);
// The survival inventory: clicks move stacks through the cursor stack.
void drawInventoryScreen(Game& game);

// Crosshair, target outline, hotbar, hearts, damage flash, mining progress, mob health
// bars and name tags, for the camera matrix `camera`.
void drawHud(const Game& game, const glm::mat4& camera);
// Rain streaks or snow flakes in screen space at program time game.clock.
void drawWeather(const Game& game);
// The minimap panel at the top right, when it is switched on.
void drawMinimap(const Game& game);
// The message log and, while open, the chat input.
void drawChat(const Game& game);
// The F3 overlay.
void drawDebugOverlay(const Game& game);

// Where a world point lands on the display; false behind the camera. `ndc` gets the
// normalised device coordinates.
bool projectToDisplay(const glm::mat4& camera, glm::vec3 point, ImVec2 display, ImVec2& out,
                      glm::vec2* ndc = nullptr);
// The facing names by yaw in degrees: "East", "South", "West" or "North".
const char* facingName(float yawDegrees);
