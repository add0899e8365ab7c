#include "game/mobs.h"

#include <algorithm>
#include <cmath>

#include "game/collision.h"
#include "game/random.h"
#include "world/village.h"

namespace {

constexpr MobTypeInfo kTypes[3] = {
    {3, 1.3f, 65, 1.5f},   // slime
    {2, 1.7f, 65, 1.5f},   // pig
    {4, 1.05f, 45, 2.0f},  // villager
};

constexpr float kPi = 3.14159265358979f;
constexpr float kGravity = 28.0f, kHopVelocity = 7.0f, kFleeSpeedFactor = 1.7f;
constexpr float kSubStep = 0.05f;

Mob newMob(glm::vec3 position, uint8_t type, float heading, float timer) {
  Mob m;
  m.position = position;
  m.home = position;
  m.type = type;
  m.hitPoints = kTypes[type].hitPoints;
  m.heading = heading;
  m.displayedYaw = heading;
  m.decisionTimer = timer;
  return m;
}

bool moveAxis(const World& world, glm::vec3& p, int axis, float distance) {
  return moveAxisInSteps(p, axis, distance, kSubStep,
                         [&](glm::vec3 at) { return mobBlocked(world, at); });
}

glm::vec2 flat(glm::vec3 v) {
  return {v.x, v.z};
}

void wander(Mob& m) {
  if (m.decisionTimer > 0.0f) return;
  const MobTypeInfo& info = kTypes[m.type];
  const uint32_t x1 = nextAiRandom(), x2 = nextAiRandom(), x3 = nextAiRandom();
  m.decisionTimer = static_cast<float>(x1 % 3000) / 1000.0f + info.wanderBaseTime;
  m.moving = static_cast<int>(x2 % 100) < info.wanderChance;
  m.heading = static_cast<float>(x3 % 62832) / 10000.0f;
}

// Chooses what the mob does this frame; a direction to walk in when it has one.
bool decide(Mob& m, const std::vector<MobTarget>& players, glm::vec2& direction) {
  const MobTarget* nearest = nullptr;
  float best = 0.0f;
  for (const MobTarget& p : players) {
    const glm::vec3 d = p.eye - m.position;
    const float dist = glm::dot(d, d);
    if (nearest == nullptr || dist < best) nearest = &p, best = dist;
  }

  if (m.fleeTimer > 0.0f) {
    m.moving = 1;
    direction = flat(m.position) - (nearest ? flat(nearest->eye) : flat(m.position));
    return true;
  }
  if (m.type == MobVillager) {
    const glm::vec2 toHome = flat(m.home) - flat(m.position);
    if (glm::length(toHome) > 8.0f) {
      m.moving = 1;
      direction = toHome;
      return true;
    }
    wander(m);
    return false;
  }
  if (m.type == MobPig) {
    wander(m);
    return false;
  }

  // Slime: close in on the nearest survival player, then hold a standoff around it.
  const MobTarget* prey = nullptr;
  float preyDist = 0.0f;
  for (const MobTarget& p : players) {
    if (p.gameMode != 1) continue;
    const glm::vec3 d = p.eye - m.position;
    const float dist = glm::dot(d, d);
    if (prey == nullptr || dist < preyDist) prey = &p, preyDist = dist;
  }
  bool inRange = false;
  float v = 0.0f;
  glm::vec2 toPrey(0.0f);
  if (prey != nullptr) {
    toPrey = flat(prey->eye) - flat(m.position);
    v = glm::length(toPrey);
    inRange = v < 10.0f && std::fabs(prey->eye.y - m.position.y) < 6.0f;
  }
  if (!inRange) {
    m.approach = 0;
  } else if (v > 2.25f) {
    m.approach = 1;
  } else if (v < 1.25f) {
    m.approach = 0;
  }
  if (m.approach) {
    m.moving = 1;
    direction = toPrey;
    return true;
  }
  if (inRange && v > 0.0001f) {
    if (m.decisionTimer <= 0.0f) {
      const uint32_t x1 = nextAiRandom(), x2 = nextAiRandom();
      m.decisionTimer = static_cast<float>(x1 % 4000) / 1000.0f + 4.0f;
      m.circleDirection = (x2 & 1u) ? 1.0f : -1.0f;
    }
    m.moving = 1;
    const glm::vec2 u = toPrey / v;
    const glm::vec2 side(-u.y, u.x);
    const float c = std::clamp((v - 1.1f) * 1.5f, -1.0f, 1.0f);
    direction = c * u + m.circleDirection * side;
    return true;
  }
  wander(m);
  return false;
}

}  // namespace

const MobTypeInfo& mobTypeInfo(uint8_t type) {
  return kTypes[type < 3 ? type : 0];
}

bool mobBlocked(const World& world, glm::vec3 c) {
  return boxHitsSolid(world, c - glm::vec3(kMobHalfSize), c + glm::vec3(kMobHalfSize));
}

std::vector<Mob> spawnMobsAround(World& world, uint32_t seed, int count, glm::vec3 centre) {
  std::vector<Mob> mobs;
  uint32_t a = seed ^ 0xA5A5A5A5u;
  const int baseX = static_cast<int>(centre.x), baseZ = static_cast<int>(centre.z);
  auto placeAt = [&](int dx, int dz, glm::vec3& position) {
    if (std::abs(dx) <= 3 && std::abs(dz) <= 3) return false;
    const int x = dx + baseX, z = dz + baseZ;
    const int h = surfaceHeight(world, x, z);
    if (h <= 30) return false;
    world.ensureColumn(floorDiv16(x), floorDiv16(z));
    const BlockId top = world.getBlock(x, h, z);
    if (top != kBlockGrass && top != kBlockDirt && top != kBlockSand) return false;
    position = {x + 0.5f, h + 1.4f, z + 0.5f};
    return !mobBlocked(world, position);
  };
  for (int attempt = 0; attempt < count * 10 && static_cast<int>(mobs.size()) < count; ++attempt) {
    const int dx = static_cast<int>((lcg1(a) >> 8) % 41) - 20;
    const uint32_t e = lcg2(a);
    const int dz = static_cast<int>((e >> 8) % 41) - 20;
    glm::vec3 position;
    if (!placeAt(dx, dz, position)) {
      a = e;
      continue;
    }
    const uint32_t r = lcg3(a);
    const uint8_t type = (r & 0x30000u) == 0 ? MobPig : MobSlime;
    mobs.push_back(newMob(position, type, static_cast<float>(r % 6283) / 1000.0f,
                          static_cast<float>(r % 3000) / 1000.0f + 0.5f));
    a = r;
  }
  return mobs;
}

std::vector<Mob> spawnVillagers(World& world, uint32_t seed, glm::vec3 centre, float radius) {
  std::vector<Mob> mobs;
  uint32_t a = seed ^ 0xC0FFEEu;
  for (const Village& village : villagesNear(world, centre.x, centre.z, radius)) {
    uint32_t e = lcg1(a);
    const uint32_t n = (e >> 8) % 3 + 3;
    for (uint32_t v = 0; v < n; ++v) {
      for (int attempt = 0; attempt < 16; ++attempt) {
        const int x = static_cast<int>((lcg1(e) >> 8) % 15) + village.x - 7;
        a = lcg2(e);
        const int z = static_cast<int>((a >> 8) % 15) + village.z - 7;
        world.ensureColumn(floorDiv16(x), floorDiv16(z));
        const int h = surfaceHeight(world, x, z);
        const glm::vec3 position(x + 0.5f, h + 1.4f, z + 0.5f);
        if (blockDef(world.getBlock(x, h, z)).solid && !mobBlocked(world, position)) {
          a = lcg3(e);
          mobs.push_back(newMob(position, MobVillager, static_cast<float>(a % 6283) / 1000.0f,
                                static_cast<float>(a % 2000) / 1000.0f));
          break;
        }
        e = a;
      }
      e = a;
    }
  }
  return mobs;
}

void updateMobs(const World& world, std::vector<Mob>& mobs, float dt,
                const std::vector<MobTarget>& players) {
  for (Mob& m : mobs) {
    m.decisionTimer -= dt;
    m.damageFlash = std::max(0.0f, m.damageFlash - dt);
    m.fleeTimer = std::max(0.0f, m.fleeTimer - dt);
    m.spareTimer = std::max(0.0f, m.spareTimer - dt);
    m.animationTime += dt;

    float turn = m.heading - m.displayedYaw;
    while (turn > kPi) turn -= 2.0f * kPi;
    while (turn < -kPi) turn += 2.0f * kPi;
    m.displayedYaw += std::min(10.0f * dt, 1.0f) * turn;

    const bool fleeing = m.fleeTimer > 0.0f;
    glm::vec2 direction(0.0f);
    if (decide(m, players, direction)) m.heading = std::atan2(direction.y, direction.x);

    const float speed =
        m.moving ? kTypes[m.type].walkSpeed * (fleeing ? kFleeSpeedFactor : 1.0f) : 0.0f;
    m.velocity.x = std::cos(m.heading) * speed;
    m.velocity.z = std::sin(m.heading) * speed;
    m.velocity.y -= kGravity * dt;
    m.onGround = 0;

    const bool blockedX = moveAxis(world, m.position, 0, m.velocity.x * dt);
    const bool blockedZ = moveAxis(world, m.position, 2, m.velocity.z * dt);
    const bool blockedY = moveAxis(world, m.position, 1, m.velocity.y * dt);
    if (blockedY && m.velocity.y < 0.0f) {
      m.onGround = 1;
      m.velocity.y = 0.0f;
    }
    if ((blockedX || blockedZ) && m.onGround) m.velocity.y = kHopVelocity;

    if (m.position.y < -5.0f) {
      m.position.y = 40.0f;
      m.velocity = glm::vec3(0.0f);
    }
  }
}
