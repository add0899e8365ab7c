// Time of day, daylight, weather rolls, village names and minimap colours.

#include <gtest/gtest.h>

#include "game/environment.h"
#include "game/lifecycle.h"
#include "lang/translations.h"
#include "world/terrain.h"

namespace {

TEST(Environment, DaylightFollowsTheClockAndTheWeather) {
  Game game;
  game.environment.timeOfDay = 0.22f;
  for (int i = 0; i < 324; ++i) advanceTimeOfDay(game, 1.0f / 60.0f);  // 5.4 s
  EXPECT_NEAR(game.environment.timeOfDay, 0.25f, 1e-4f);
  EXPECT_NEAR(worldLighting(game).daylight, 1.0f, 1e-4f);

  game.environment.timeOfDay = 0.75f;
  EXPECT_NEAR(worldLighting(game).daylight, 0.18f, 1e-5f);
  game.environment.weather = WeatherSnow;
  EXPECT_NEAR(worldLighting(game).daylight, 0.1296f, 1e-5f);
  EXPECT_FLOAT_EQ(worldLighting(game).fogDistance, 16.0f * 8 - 8);

  game.environment.timeOfDay = 0.9999f;
  advanceTimeOfDay(game, 0.1f);
  EXPECT_GT(game.environment.timeOfDay, 0.0f);
  EXPECT_LT(game.environment.timeOfDay, 0.001f);

  // The sun is always above the horizon, mirrored at night.
  for (float t : {0.0f, 0.3f, 0.6f, 0.9f}) EXPECT_GE(sunDirection(t).y, 0.0f) << t;
  EXPECT_FLOAT_EQ(menuLighting(0.5f).daylight, 1.0f);
}

TEST(Environment, WeatherRollsComeSeventyToHundredNinetySecondsApart) {
  Game game;
  game.environment.weatherTimer = 0.01f;
  advanceWeather(game, 0.02f);
  EXPECT_GE(game.environment.weatherTimer, 70.0f);
  EXPECT_LT(game.environment.weatherTimer, 190.0f);
  EXPECT_LE(game.environment.weather, WeatherSnow);
  // A message shows only when the weather changed.
  const size_t lines = game.chat.log.size();
  EXPECT_LE(lines, 1u);
}

TEST(Environment, VillageNamesAreStablePerSeedAndLanguage) {
  const std::string english = villageName(120, -40, 20261018);
  EXPECT_EQ(english, villageName(120, -40, 20261018));
  EXPECT_NE(english, villageName(120, -40, 20261019) + "x");
  setLanguage(LanguageChinese);
  const std::string chinese = villageName(120, -40, 20261018);
  setLanguage(LanguageEnglish);
  EXPECT_NE(english, chinese);
  EXPECT_GE(english.size(), 6u);      // a first part and a second part
  EXPECT_EQ(chinese.size() % 3, 0u);  // UTF-8 CJK characters only
}

TEST(Environment, MinimapColoursByHeightAndBiome) {
  World world(20261018);
  // Find a water column of height 20 and a high land column by scanning the terrain.
  bool sawDeepWater = false, sawHighLand = false;
  for (int x = -3000; x <= 3000 && !(sawDeepWater && sawHighLand); x += 5) {
    for (int z = -3000; z <= 3000 && !(sawDeepWater && sawHighLand); z += 37) {
      const int h = terrainHeight(world.seed, x, z);
      const auto c = mapColour(world, x, z);
      EXPECT_EQ(c[3], 255);
      if (h == 20) {
        EXPECT_EQ(c[0], 62);
        EXPECT_EQ(c[1], 102);
        EXPECT_EQ(c[2], 175);
        sawDeepWater = true;
      }
      if (h >= 72 - 20 && h > 32) sawHighLand = true;  // shaded land exists
    }
  }
  EXPECT_TRUE(sawDeepWater);
  EXPECT_TRUE(sawHighLand);
}

}  // namespace
