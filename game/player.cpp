#include "game/player.h"

#include "game/collision.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kWalkSpeed = 5.5f, kWalkSprintSpeed = 8.5f;
constexpr float kSwimSpeed = 3.0f, kSwimSprintSpeed = 4.5f;
constexpr float kGravity = 28.0f, kJumpVelocity = 8.5f;
constexpr float kSinkAcceleration = 8.0f, kSinkLimit = -4.0f, kSwimUpVelocity = 10.0f;
constexpr float kFlySpeed = 16.0f, kFlySprintSpeed = 40.0f;
constexpr float kSpectatorSpeed = 22.0f, kSpectatorSprintSpeed = 45.0f;
constexpr float kSubStep = 0.02f;
constexpr float kSafeFall = 3.5f;

int cellOf(float v) {
  return static_cast<int>(std::floor(v));
}

BlockId blockAt(const World& world, float x, float y, float z) {
  return world.getBlock(cellOf(x), cellOf(y), cellOf(z));
}

glm::vec3 normalisedOrZero(glm::vec3 v) {
  const float length = glm::length(v);
  return length > 0.0f ? v / length : glm::vec3(0.0f);
}

}  // namespace

bool bodyBlocked(const World& world, glm::vec3 eye) {
  return boxHitsSolid(world, {eye.x - kBodyHalfWidth, eye.y - kEyeHeight, eye.z - kBodyHalfWidth},
                      {eye.x + kBodyHalfWidth, eye.y + kBodyHeadroom, eye.z + kBodyHalfWidth});
}

bool bodyOverlapsCell(glm::vec3 eye, int x, int y, int z) {
  const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
  return eye.x - kBodyHalfWidth < fx + 1.0f && eye.x + kBodyHalfWidth > fx &&
         eye.y - kEyeHeight < fy + 1.0f && eye.y + kBodyHeadroom > fy &&
         eye.z - kBodyHalfWidth < fz + 1.0f && eye.z + kBodyHalfWidth > fz;
}

void look(Player& player, float dx, float dy) {
  player.yaw += dx * player.mouseSensitivity;
  player.pitch = std::clamp(player.pitch - dy * player.mouseSensitivity, -89.0f, 89.0f);
}

glm::vec3 facingDirection(const Player& player) {
  const float yaw = glm::radians(player.yaw), pitch = glm::radians(player.pitch);
  return {std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch)};
}

int stepPlayer(Player& player, const World& world, float dt, const MovementInput& input) {
  player.damageFlash = std::max(0.0f, player.damageFlash - dt);
  glm::vec3& p = player.position;
  glm::vec3& v = player.velocity;

  if (player.gameMode == GameModeSpectator) {
    v = normalisedOrZero(input.wish) * (input.sprint ? kSpectatorSprintSpeed : kSpectatorSpeed);
    p += v * dt;
    player.onGround = false;
    player.fallDistance = 0.0f;
    return 0;
  }

  const bool wasOnGround = player.onGround;
  if (player.gameMode == GameModeSurvival || !player.flying) {
    const bool inWater = blockAt(world, p.x, p.y + 0.15f, p.z) == kBlockWater ||
                         blockAt(world, p.x, p.y - 0.2f, p.z) == kBlockWater ||
                         blockAt(world, p.x, p.y - 1.0f, p.z) == kBlockWater;
    const float speed = inWater ? (input.sprint ? kSwimSprintSpeed : kSwimSpeed)
                                : (input.sprint ? kWalkSprintSpeed : kWalkSpeed);
    glm::vec2 horizontal(input.wish.x, input.wish.z);
    const float length = glm::length(horizontal);
    if (length > 0.0f) horizontal /= length;
    v.x = horizontal.x * speed;
    v.z = horizontal.y * speed;
    if (inWater) {
      v.y = std::max(v.y - kSinkAcceleration * dt, kSinkLimit);
      if (input.jump) v.y = std::max(v.y, kSwimUpVelocity);
    } else {
      v.y -= kGravity * dt;
      if (input.jump && wasOnGround) v.y = kJumpVelocity;
    }
  } else {
    v = normalisedOrZero(input.wish) * (input.sprint ? kFlySprintSpeed : kFlySpeed);
  }

  const BlockId feet = blockAt(world, p.x, p.y - 0.9f, p.z);
  player.onGround = false;
  auto blocked = [&](glm::vec3 at) { return bodyBlocked(world, at); };
  bool down = false;
  moveAxisInSteps(p, 0, v.x * dt, kSubStep, blocked);
  moveAxisInSteps(p, 2, v.z * dt, kSubStep, blocked);
  if (moveAxisInSteps(p, 1, v.y * dt, kSubStep, blocked, &down)) {
    v.y = 0.0f;
    if (down) player.onGround = true;
  }

  if (player.gameMode != GameModeSurvival || feet == kBlockWater) {
    player.fallDistance = 0.0f;
    return 0;
  }
  if (!player.onGround) {
    if (v.y < 0.0f) player.fallDistance += -v.y * dt;
    return 0;
  }
  // A fast landing step may start above the water and end in it: water at the feet
  // after the move breaks the fall as well.
  int damage = 0;
  if (!wasOnGround && player.fallDistance > kSafeFall &&
      blockAt(world, p.x, p.y - 0.9f, p.z) != kBlockWater) {
    damage = static_cast<int>(player.fallDistance - 3.0f);
  }
  player.fallDistance = 0.0f;
  return damage;
}
