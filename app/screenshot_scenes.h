#pragma once
// The scripted scenes of "--screenshot": where the camera stands and what state the game
// is put in. A scene name is one or more words joined by '+' (or ',', ' '): the first
// picks the camera set-up, and every word that names a modifier applies it, in the
// modifiers' fixed order ("survival" is both a camera set-up and a modifier).

#include <string>

#include <glm/glm.hpp>

#include "game/environment.h"
#include "game/game.h"

// The menu scenes: "main", "worlds" and "multiplayer".
bool isMenuScene(const std::string& scene);

struct SceneCamera {
  glm::vec3 eye{0.0f};
  glm::vec3 target{0.0f};
};

// Starts the "Screenshot" world and sets the scene up. The player's eye, yaw and pitch
// are put on the camera, so the game's own camera matrix shows the scene.
SceneCamera setUpScene(Game& game, const std::string& scene);

// Whether the scene name holds `word` ("relanguage": the interface language flips
// between the first and second frame, as a player switching it in the settings would).
bool sceneHasWord(const std::string& scene, const char* word);

// The debug overlay shows in every in-game scene except "inventory" and "village".
bool sceneShowsDebugOverlay(const std::string& scene);

// The scenes' lighting: daylight 0.9 and fog at 128; at night ("night": midnight) and in
// wet weather, 0.9 of the world's own daylight, as dark against the scenes' day as the
// game's night and rain are against its noon.
Lighting sceneLighting(const Game& game, const std::string& scene);

// A scripted mining progress without a cell mines the block under the crosshair, however
// far away it is, so that the bar shows.
void aimScriptedMining(Game& game);

// Yaw and pitch (degrees) that look from `eye` at `target`.
void lookAt(Player& player, glm::vec3 eye, glm::vec3 target);
