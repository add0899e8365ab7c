#include "game/interaction.h"

// Sections: view ray | creature picking | mouse actions | particles

#include <algorithm>
#include <cmath>
#include <limits>

#include "game/lifecycle.h"
#include "game/random.h"
#include "mods/mod_manager.h"

namespace {

constexpr float kAttackCooldown = 0.45f;
constexpr float kMobFlash = 0.25f;

// Entry distance of the ray into the box [lo, hi] (0 when it starts inside), or -1.
float slabEntry(glm::vec3 eye, glm::vec3 d, glm::vec3 lo, glm::vec3 hi) {
  float tNear = -std::numeric_limits<float>::infinity();
  float tFar = std::numeric_limits<float>::infinity();
  for (int axis = 0; axis < 3; ++axis) {
    if (d[axis] == 0.0f) {
      if (eye[axis] < lo[axis] || eye[axis] > hi[axis]) return -1.0f;
      continue;
    }
    float t0 = (lo[axis] - eye[axis]) / d[axis];
    float t1 = (hi[axis] - eye[axis]) / d[axis];
    if (t0 > t1) std::swap(t0, t1);
    tNear = std::max(tNear, t0);
    tFar = std::min(tFar, t1);
    if (tNear > tFar) return -1.0f;
  }
  if (tFar < 0.0f) return -1.0f;
  return std::max(tNear, 0.0f);
}

bool modsDecide(Game& game) {
  return game.net.role != NetClient && game.mods.enabled() && game.mods.modCount() > 0;
}

void forgetMining(Game& game) {
  game.mining.cell = glm::ivec3(kNoMiningCell);
  game.mining.progress = 0.0f;
}

void attackMob(Game& game, size_t index, glm::vec3 direction) {
  Mob& mob = game.entities.mobs[index];
  if (game.net.role == NetClient) {
    if (game.net.session) game.net.session->sendAttackMob(static_cast<uint32_t>(mob.id));
    mob.damageFlash = kMobFlash;
  } else {
    mob.hitPoints -= 1;
    mob.damageFlash = kMobFlash;
    mob.fleeTimer = 4.0f;
    mob.velocity += direction * 5.0f;
    mob.velocity.y = 3.5f;
    if (mob.hitPoints <= 0) game.entities.mobs.erase(game.entities.mobs.begin() + index);
  }
  game.timers.attackCooldown = kAttackCooldown;
  playGameSound(game, SoundPlayerHurt);
}

void placeBlock(Game& game) {
  Player& player = game.player;
  World& world = *game.world;
  const glm::ivec3 cell = game.target.place;
  const ItemStack& stack = game.inventory.items.selectedStack();
  BlockId item = stack.empty() ? 0 : stack.item;
  if (item == 0 && player.gameMode == GameModeCreative) {
    item = creativePaletteBlock(game.inventory.items.selected);
  }
  if (!insideWorld(cell.x, cell.y, cell.z)) return;
  const BlockId current = world.getBlock(cell.x, cell.y, cell.z);
  if (current != kBlockAir && !blockDef(current).fluid) return;
  if (bodyOverlapsCell(player.position, cell.x, cell.y, cell.z)) return;
  if (item == 0) {
    if (player.gameMode == GameModeSurvival) addMessage(game, "Selected slot is empty");
    return;
  }
  if (modsDecide(game) && !game.mods.fireBlockPlace(cell.x, cell.y, cell.z, blockDef(item).id,
                                                    game.net.localId, game.net.playerName)) {
    return;
  }
  world.setBlock(cell.x, cell.y, cell.z, item);
  remeshChangedSections(game);
  if (game.net.role == NetClient && game.net.session) {
    game.net.session->sendEditRequest(cell.x, cell.y, cell.z, item, player.gameMode);
  }
  playGameSound(game, SoundBlockPlaced);
  if (player.gameMode == GameModeSurvival) game.inventory.items.consumeSelected(1);
}

void tradeOrPlace(Game& game, glm::vec3 direction) {
  if (aimedMob(game, direction, true) >= 0) {
    const TradeResult result = tradeWithVillager(game.inventory.items, game.player.gameMode);
    addMessage(game, tradeMessage(result));
    if (result == TradeResult::Traded) playGameSound(game, SoundBlockPlaced);
    return;
  }
  if (game.target.hit) placeBlock(game);
}

}  // namespace

// --- View ray --------------------------------------------------------------------------

Target castTarget(const World& world, glm::vec3 eye, glm::vec3 direction, float reach) {
  Target target;
  const glm::vec3 d = glm::normalize(direction);
  glm::ivec3 cell(static_cast<int>(std::floor(eye.x)), static_cast<int>(std::floor(eye.y)),
                  static_cast<int>(std::floor(eye.z)));
  glm::ivec3 step(0);
  glm::vec3 tMax(std::numeric_limits<float>::infinity());
  glm::vec3 tDelta(std::numeric_limits<float>::infinity());
  for (int axis = 0; axis < 3; ++axis) {
    if (d[axis] > 0.0f) {
      step[axis] = 1;
      tMax[axis] = (static_cast<float>(cell[axis]) + 1.0f - eye[axis]) / d[axis];
      tDelta[axis] = 1.0f / d[axis];
    } else if (d[axis] < 0.0f) {
      step[axis] = -1;
      tMax[axis] = (eye[axis] - static_cast<float>(cell[axis])) / -d[axis];
      tDelta[axis] = 1.0f / -d[axis];
    }
  }
  glm::ivec3 previous = cell;
  for (;;) {
    if (blockDef(world.getBlock(cell.x, cell.y, cell.z)).solid) {
      target.hit = true;
      target.cell = cell;
      target.place = previous;
      return target;
    }
    int axis = 2;
    if (tMax.x < tMax.y && tMax.x < tMax.z) {
      axis = 0;
    } else if (tMax.y < tMax.z) {
      axis = 1;
    }
    if (!std::isfinite(tMax[axis]) || tMax[axis] > reach) return target;
    previous = cell;
    cell[axis] += step[axis];
    tMax[axis] += tDelta[axis];
  }
}

// --- Creature picking ------------------------------------------------------------------

float rayMobDistance(glm::vec3 eye, glm::vec3 direction, const Mob& mob) {
  const glm::vec3 half(kMobHalfSize);
  return slabEntry(eye, direction, mob.position - half, mob.position + half);
}

int aimedMob(const Game& game, glm::vec3 direction, bool villagersOnly) {
  const glm::vec3 eye = game.player.position;
  const glm::vec3 d = glm::normalize(direction);
  int best = -1;
  float bestDistance = kReach;
  for (size_t i = 0; i < game.entities.mobs.size(); ++i) {
    const Mob& mob = game.entities.mobs[i];
    if (villagersOnly && mob.type != MobVillager) continue;
    const float t = rayMobDistance(eye, d, mob);
    if (t >= 0.0f && t < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = t;
    }
  }
  if (best < 0 || !game.target.hit) return best;
  const glm::vec3 lo(game.target.cell);
  const float blockDistance = slabEntry(eye, d, lo, lo + glm::vec3(1.0f));
  return blockDistance >= 0.0f && bestDistance > blockDistance ? -1 : best;
}

// --- Mouse actions ---------------------------------------------------------------------

bool breakBlock(Game& game, glm::ivec3 cell) {
  World& world = *game.world;
  const BlockId block = world.getBlock(cell.x, cell.y, cell.z);
  if (modsDecide(game) && !game.mods.fireBlockBreak(cell.x, cell.y, cell.z, blockDef(block).id,
                                                    game.net.localId, game.net.playerName)) {
    return false;
  }
  spawnBreakParticles(game, cell, block);
  world.setBlock(cell.x, cell.y, cell.z, kBlockAir);
  remeshChangedSections(game);
  if (game.net.role == NetClient) {
    if (game.net.session) {
      game.net.session->sendEditRequest(cell.x, cell.y, cell.z, kBlockAir, game.player.gameMode);
    }
  } else if (game.player.gameMode == GameModeSurvival && blockDef(block).drop != 0) {
    spawnDrop(game.entities.drops, glm::vec3(cell) + glm::vec3(0.5f), blockDef(block).drop, 1);
    assignEntityIds(game);
  }
  playGameSound(game, SoundBlockBroken);
  return true;
}

void performMouseActions(Game& game, const MouseButtons& buttons, float dt) {
  const bool leftEdge = buttons.left && !game.input.leftButton;
  const bool rightEdge = buttons.right && !game.input.rightButton;
  game.timers.attackCooldown = std::max(0.0f, game.timers.attackCooldown - dt);
  const glm::vec3 direction = glm::normalize(facingDirection(game.player));
  const int mob = aimedMob(game, direction, false);

  if (leftEdge && mob >= 0 && game.timers.attackCooldown <= 0.0f) {
    attackMob(game, static_cast<size_t>(mob), direction);
  }
  if (game.player.gameMode == GameModeSurvival) {
    if (buttons.left && game.target.hit && mob < 0) {
      if (game.mining.cell != game.target.cell) {
        game.mining.cell = game.target.cell;
        game.mining.progress = 0.0f;
      }
      const glm::ivec3 cell = game.target.cell;
      const float hardness = blockDef(game.world->getBlock(cell.x, cell.y, cell.z)).hardness;
      if (hardness > 0.0f) {
        game.mining.progress += dt / hardness;
        if (game.mining.progress >= 1.0f) {
          breakBlock(game, cell);
          forgetMining(game);
        }
      }
    } else {
      forgetMining(game);
    }
  } else if (leftEdge && game.target.hit && mob < 0) {
    breakBlock(game, game.target.cell);
  }
  if (rightEdge) tradeOrPlace(game, direction);
}

// --- Particles -------------------------------------------------------------------------

void spawnBreakParticles(Game& game, glm::ivec3 cell, BlockId block) {
  const BlockDef& def = blockDef(block);
  if (!def.opaque) return;
  uint32_t& state = game.entities.particleRandom;
  const glm::vec3 centre = glm::vec3(cell) + glm::vec3(0.5f);
  for (int i = 0; i < 10; ++i) {
    Particle p;
    for (int axis = 0; axis < 3; ++axis) {
      const float u = static_cast<float>(xorshift32(state) % 100u) / 100.0f;
      p.position[axis] = centre[axis] + (u - 0.5f) * 0.8f;
    }
    const float vx = static_cast<float>(xorshift32(state) % 200u) / 100.0f;
    const float w = static_cast<float>(xorshift32(state) % 200u) / 100.0f;
    const float vz = static_cast<float>(xorshift32(state) % 200u) / 100.0f;
    p.velocity = {2.0f * (vx - 1.0f), 2.0f * (w + 1.5f), 2.0f * (vz - 1.0f)};
    p.life = p.initialLife = 0.55f;
    p.size = 0.08f + 0.012f * static_cast<float>(xorshift32(state) % 5u);
    p.layer = def.textureTop;
    game.entities.particles.push_back(p);
  }
}

void updateParticles(std::vector<Particle>& particles, float dt) {
  for (Particle& p : particles) {
    p.velocity.y -= 20.0f * dt;
    p.position += p.velocity * dt;
    p.life -= dt;
  }
  std::erase_if(particles, [](const Particle& p) { return p.life <= 0.0f; });
}
