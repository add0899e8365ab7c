#pragma once
// The first steps of a pass: what the window saw becomes the game's actions. Mouse look
// and hotbar scrolling, then the keys and the typed text replayed in the order they
// happened, so a key tapped between two slow frames still acts once, and the key that
// opened the chat types nothing into it.

#include "app/input.h"
#include "game/game.h"
#include "game/interaction.h"

// Playing with the chat and the inventory closed: the keys steer the player.
bool playingFree(const Game& game);

// Cursor and scroll events, then every key press and typed character in order (key
// actions, chat typing and its keys, hotbar keys), then the held Backspace's repeat.
void handleInput(Game& game, const InputRecord& input, float dt);

// The buttons for the pass's mouse actions: a button pressed since the previous pass
// counts as pressed (and as a new press) even when it was let go again before the pass.
MouseButtons passButtons(Game& game, const InputRecord& input);
