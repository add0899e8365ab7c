#pragma once
// One pass of the game: a function of the Game, what the window saw, the clock, the
// renderer and the screens. The interactive window, the scripted modes and the tests
// all drive this same pass.

#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "app/input.h"
#include "app/screen_actions.h"
#include "game/game.h"
#include "render/renderer.h"

// What a pass did, for its driver.
struct PassResult {
  bool minimised = false;  // skipped the simulation: wait for a window event
  bool quit = false;       // the window should close
};

// Runs one pass at game clock `now` (seconds). The events in `input` are used up;
// held keys and buttons stay.
PassResult runFramePass(Game& game, InputRecord& input, double now, Renderer& renderer,
                        Screens& screens);

// The camera matrix for the eye, the view direction and the current field of view.
glm::mat4 cameraMatrix(const Game& game, float aspect);

// What the renderer draws besides the chunks: drops, mobs and remote players; particles.
std::vector<EntityInstance> entityInstances(const Game& game);
std::vector<EntityInstance> particleInstances(const std::vector<Particle>& particles);

// The description a screenshot carries: the world, seed, position, time, weather and mode
// in a game, the menu's page outside one.
std::string captureDescription(const Game& game, const std::string& software);

// The simulation steps alone (hotbar keys to the mesh scheduler), as the pass runs them
// while playing; for benchmarks and tests that drive the world without drawing.
void simulate(Game& game, const InputRecord& input, float dt);

// Two of those steps that a host without a player runs too: the mods' tick clock (an
// event every 0.05 s) and the creatures and dropped items (moved here, or only eased on
// a client).
void tickMods(Game& game, float dt);
void advanceCreatures(Game& game, float dt);

// What a host's world does without its own player's steps: time, weather, fluids, the
// mods' tick, creatures and drops. Runs while a hosting player is paused, dead, chatting
// or in the inventory, and in every pass of the dedicated server.
void advanceHostWorld(Game& game, float dt);
