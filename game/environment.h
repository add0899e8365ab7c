#pragma once
// The player's surroundings: time of day and daylight, the weather rolls, the village
// messages with their generated names, and the minimap's colour grid.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <glm/glm.hpp>

#include "game/game.h"
#include "world/village.h"

// What the renderer is handed each frame.
struct Lighting {
  float daylight = 1.0f;
  float fogDistance = 128.0f;
  glm::vec3 sunDirection{0.0f, 1.0f, 0.0f};
};

// A full day lasts 180 s.
void advanceTimeOfDay(Game& game, float dt);
// Refreshes the grid every 0.45 s (a new world starts the timer at 999).
void advanceMinimap(Game& game, float dt);
void refreshMinimap(Game& game);
// Every 0.5 s: "Leaving %s" and "Entered %s" as the player crosses village borders.
void checkVillages(Game& game, float dt);
// Rolls the weather when its timer runs out; announces a change.
void advanceWeather(Game& game, float dt);

// The lighting while a world is shown.
Lighting worldLighting(const Game& game);
// The lighting of the main menu.
Lighting menuLighting(float timeOfDay);
glm::vec3 sunDirection(float timeOfDay);

// The village nearest to the eye (horizontally, to its centre cell's middle) among those
// within `radius` blocks of the eye's column; the first on ties.
std::optional<Village> nearestVillage(const World& world, glm::vec3 eye, float radius);

// The village's name in the current interface language.
std::string villageName(int32_t x, int32_t z, uint32_t seed);
// The minimap colour (RGBA) of column (x, z).
std::array<uint8_t, 4> mapColour(const World& world, int x, int z);
