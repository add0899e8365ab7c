#pragma once
// What the menus and the pause and death screens asked for in a pass, and carrying it
// out: starting, loading, saving and leaving games.

#include "game/game.h"

enum class MenuAction {
  None,
  CreateAndPlay,
  PlaySelected,
  DeleteConfirmed,
  HostSelected,
  HostNew,
  Join,
  CancelConnecting,
  Quit
};
enum class PauseAction { None, Resume, Save, SaveAndQuit, QuitToDesktop };
enum class DeathAction { None, Respawn, QuitToMenu };

struct ScreenActions {
  MenuAction menu = MenuAction::None;
  PauseAction pause = PauseAction::None;
  DeathAction death = DeathAction::None;
};

// The screens a pass draws; the interactive game draws the real menus, headless drivers
// pass a stand-in that answers scripted actions.
class Screens {
 public:
  virtual ~Screens() = default;
  // Draws the screens for the game's state and returns what the player chose.
  virtual ScreenActions draw(Game& game) = 0;
};

// Draws nothing and chooses nothing.
class NoScreens : public Screens {
 public:
  ScreenActions draw(Game&) override { return {}; }
};

void performMenuAction(Game& game, MenuAction action);
void performPauseAction(Game& game, PauseAction action);
void performDeathAction(Game& game, DeathAction action);
