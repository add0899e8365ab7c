#include "game/environment.h"

#include <algorithm>
#include <cmath>

#include "game/lifecycle.h"
#include "lang/translations.h"
#include "world/terrain.h"
#include "world/village.h"

namespace {

constexpr float kDayLength = 180.0f;  // seconds
constexpr float kMinimapPeriod = 0.45f;
constexpr float kVillageCheckPeriod = 0.5f;
constexpr float kPi = 3.14159265f;

const char* const kFirstPartEnglish[8] = {"Oak",   "Stone", "Moss", "Raven",
                                          "Brook", "Ash",   "Fern", "Gale"};
const char* const kSecondPartEnglish[8] = {"vale",  "ford",  "holm",  "wick",
                                           "brook", "stead", "field", "hollow"};
const char* const kFirstPartChinese[8] = {"橡木", "石头", "苔藓", "乌鸦",
                                          "溪水", "白蜡", "蕨草", "疾风"};
const char* const kSecondPartChinese[8] = {"谷", "渡", "岛", "镇", "溪", "庄", "原", "堡"};

}  // namespace

void advanceTimeOfDay(Game& game, float dt) {
  float& time = game.environment.timeOfDay;
  time += dt / kDayLength;
  if (time >= 1.0f) time -= 1.0f;
}

void advanceMinimap(Game& game, float dt) {
  game.timers.minimap += dt;
  if (game.timers.minimap > kMinimapPeriod) {
    refreshMinimap(game);
    game.timers.minimap = 0.0f;
  }
}

void refreshMinimap(Game& game) {
  if (!game.world) return;
  const int px = static_cast<int>(std::floor(game.player.position.x));
  const int pz = static_cast<int>(std::floor(game.player.position.z));
  game.minimap.originX = px - 64;
  game.minimap.originZ = pz - 64;
  for (int i = 0; i < kMinimapSize; ++i) {
    for (int j = 0; j < kMinimapSize; ++j) {
      const auto colour = mapColour(*game.world, px - 64 + 2 * j, pz - 64 + 2 * i);
      std::copy(colour.begin(), colour.end(), &game.minimap.colours[(i * kMinimapSize + j) * 4]);
    }
  }
}

std::array<uint8_t, 4> mapColour(const World& world, int x, int z) {
  const int h = terrainHeight(world.seed, x, z);
  if (h < 30) {
    const int t = std::clamp(30 - h, 0, 12);
    return {static_cast<uint8_t>(42 + 2 * t), static_cast<uint8_t>(82 + 2 * t),
            static_cast<uint8_t>(145 + 3 * t), 255};
  }
  float base[3] = {205, 190, 140};
  if (h > 32) {
    switch (mapBiome(world, x, z)) {
      case BiomeForest:
        base[0] = 68, base[1] = 118, base[2] = 54;
        break;
      case BiomeDesert:
        base[0] = 210, base[1] = 192, base[2] = 136;
        break;
      case BiomeSnow:
        base[0] = 228, base[1] = 236, base[2] = 244;
        break;
      default:
        base[0] = 92, base[1] = 150, base[2] = 70;
        break;
    }
  }
  const float shade = 0.76f + 0.34f * std::clamp(h / 72.0f, 0.0f, 1.0f);
  std::array<uint8_t, 4> out{0, 0, 0, 255};
  for (int c = 0; c < 3; ++c) {
    out[c] = static_cast<uint8_t>(std::clamp(base[c] * shade, 0.0f, 255.0f));
  }
  return out;
}

void checkVillages(Game& game, float dt) {
  VillageTracking& tracking = game.village;
  tracking.checkTimer += dt;
  if (tracking.checkTimer <= kVillageCheckPeriod || !game.world) return;
  tracking.checkTimer = 0.0f;

  const float x = game.player.position.x, z = game.player.position.z;
  const float columnX = std::floor(x), columnZ = std::floor(z);
  const std::vector<Village> nearby = villagesNear(*game.world, columnX, columnZ, 24.0f);
  int inside = -1;
  for (size_t i = 0; i < nearby.size(); ++i) {
    const float dx = nearby[i].x + 0.5f - x, dz = nearby[i].z + 0.5f - z;
    if (static_cast<float>(nearby[i].radius * nearby[i].radius) >= dx * dx + dz * dz) {
      inside = static_cast<int>(i);
      break;
    }
  }
  const bool wasInside = tracking.index >= 0;
  const bool sameVillage =
      inside >= 0 && wasInside && nearby[inside].x == tracking.x && nearby[inside].z == tracking.z;
  if (wasInside && !sameVillage) {
    addMessagef(game, "Leaving %s", villageName(tracking.x, tracking.z, game.seed).c_str());
    tracking.index = -1;
  }
  if (inside >= 0 && !sameVillage) {
    tracking.index = inside;
    tracking.x = nearby[inside].x;
    tracking.z = nearby[inside].z;
    addMessagef(game, "Entered %s", villageName(tracking.x, tracking.z, game.seed).c_str());
  }
}

void advanceWeather(Game& game, float dt) {
  Environment& env = game.environment;
  env.weatherTimer -= dt;
  if (env.weatherTimer > 0.0f) return;
  env.weatherTimer = 70.0f + static_cast<float>(clockRandom() % 120u);
  const uint32_t roll = clockRandom() % 100u;
  const uint8_t weather = roll < 55 ? WeatherClear : roll < 85 ? WeatherRain : WeatherSnow;
  if (weather == env.weather) return;
  env.weather = weather;
  addMessage(game, weather == WeatherClear  ? "The sky clears"
                   : weather == WeatherRain ? "It starts to rain"
                                            : "It starts to snow");
}

glm::vec3 sunDirection(float timeOfDay) {
  const float a = 2.0f * kPi * timeOfDay;
  float c = std::cos(a), s = std::sin(a);
  if (s < 0.08f) c = -c, s = -s;
  return glm::normalize(glm::vec3(c, s, 0.35f));
}

Lighting worldLighting(const Game& game) {
  const float s = std::sin(2.0f * kPi * game.environment.timeOfDay);
  float daylight = std::clamp(0.18f + 0.82f * (0.5f * s + 0.5f), 0.18f, 1.0f);
  if (game.environment.weather != WeatherClear) daylight *= 0.72f;
  return {daylight, 16.0f * game.settings.renderDistance - 8.0f,
          sunDirection(game.environment.timeOfDay)};
}

Lighting menuLighting(float timeOfDay) {
  return {1.0f, 128.0f, sunDirection(timeOfDay)};
}

std::optional<Village> nearestVillage(const World& world, glm::vec3 eye, float radius) {
  std::optional<Village> nearest;
  float nearestDistance = 0.0f;
  for (const Village& village : villagesNear(world, std::floor(eye.x), std::floor(eye.z), radius)) {
    const float dx = static_cast<float>(village.x) + 0.5f - eye.x;
    const float dz = static_cast<float>(village.z) + 0.5f - eye.z;
    const float distance = std::sqrt(dx * dx + dz * dz);
    if (!nearest || distance < nearestDistance) {
      nearest = village;
      nearestDistance = distance;
    }
  }
  return nearest;
}

std::string villageName(int32_t x, int32_t z, uint32_t seed) {
  uint32_t a = static_cast<uint32_t>(z) * 0xD8163841u ^ (seed ^ 0x9A11u) * 0xCB1AB31Fu ^
               static_cast<uint32_t>(x) * 0x8DA6B343u;
  a ^= a >> 13;
  a *= 0x85EBCA6Bu;
  const uint32_t first = (a ^ (a >> 16)) & 7u;
  const uint32_t second = ((a >> 8) ^ (a >> 24)) & 7u;
  if (language() == LanguageChinese) {
    return std::string(kFirstPartChinese[first]) + kSecondPartChinese[second];
  }
  return std::string(kFirstPartEnglish[first]) + kSecondPartEnglish[second];
}
