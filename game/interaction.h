#pragma once
// What the player points at and what the mouse buttons do to it: the view ray through
// the block grid, picking creatures, attacks, timed and instant breaking, placing,
// trading and the particles of a broken block.

#include <glm/glm.hpp>

#include "game/game.h"

// The first solid cell along the ray within `reach`, and the cell visited before it.
Target castTarget(const World& world, glm::vec3 eye, glm::vec3 direction, float reach);

// Entry distance of the ray into a mob's cube (0 when starting inside), or a negative
// value when it misses.
float rayMobDistance(glm::vec3 eye, glm::vec3 direction, const Mob& mob);

// Index of the nearest mob (villagers only when asked) the ray enters within the reach
// and not beyond the targeted block; -1 when none.
int aimedMob(const Game& game, glm::vec3 direction, bool villagersOnly);

// Button states of this pass.
struct MouseButtons {
  bool left = false, right = false;
};

// Attacks, breaking, trading and placing for one pass; the buttons' previous states
// come from the game's input memory.
void performMouseActions(Game& game, const MouseButtons& buttons, float dt);

// Breaks the block at `cell` as the local player (mods asked, particles, drop, sound);
// false when a mod refused.
bool breakBlock(Game& game, glm::ivec3 cell);

// Ten particles of the block's top texture around the cell's centre (opaque blocks).
void spawnBreakParticles(Game& game, glm::ivec3 cell, BlockId block);
// Moves, ages and removes particles.
void updateParticles(std::vector<Particle>& particles, float dt);
