#pragma once
// The local player's body: an axis-aligned box 0.6 wide and 1.8 tall whose position is
// the eye, 1.62 above the feet. One step per frame moves it against the block grid
// (walking, swimming, creative flight or spectator flight) and reports fall damage.

#include <cstdint>

#include <glm/glm.hpp>

#include "world/world.h"

enum GameMode : uint8_t { GameModeCreative = 0, GameModeSurvival = 1, GameModeSpectator = 2 };

inline constexpr float kEyeHeight = 1.62f;
inline constexpr float kBodyHalfWidth = 0.3f;
inline constexpr float kBodyHeadroom = 0.18f;  // from the eye to the top of the box

struct Player {
  glm::vec3 position{0.0f};            // the eye
  glm::vec3 velocity{0.0f};            // blocks per second
  float yaw = -90.0f, pitch = -12.0f;  // degrees; pitch within [-89, 89]
  float mouseSensitivity = 0.12f;      // degrees per pixel
  bool flying = false;
  bool onGround = false;
  uint8_t gameMode = GameModeCreative;
  int hitPoints = 20;
  float fallDistance = 0.0f;  // blocks fallen since last on the ground
  float damageFlash = 0.0f;   // seconds left
};

// What the keys ask for this frame.
struct MovementInput {
  glm::vec3 wish{0.0f};  // not normalised
  bool jump = false;
  bool sprint = false;
};

// Advances the body by dt seconds; returns the fall damage to apply (0 when none).
int stepPlayer(Player& player, const World& world, float dt, const MovementInput& input);

// Whether the body box with its eye at `eye` touches a cell holding a solid block.
bool bodyBlocked(const World& world, glm::vec3 eye);

// Whether the body box overlaps the unit cube of cell (x, y, z) with positive volume.
bool bodyOverlapsCell(glm::vec3 eye, int x, int y, int z);

// Mouse look: yaw follows dx, pitch follows -dy, pitch clamped to [-89, 89].
void look(Player& player, float dx, float dy);

// The unit vector the player faces.
glm::vec3 facingDirection(const Player& player);
