#include "app/windowed_start.h"

#include <cstdio>

#include "app/banner.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"
#include "game/net_sync.h"
#include "game/models.h"
#include "platform/program_folder.h"

bool startWindowedGame(WindowedGame& windowed, GLFWwindow* window, bool vsync) {
  Game& game = windowed.game;
  refreshWorldList(game);
  game.mods.loadMods(dataFolder("mods"), game.modContext.get());
  if (!windowed.renderer.init(window, vsync)) return false;
  game.renderer = &windowed.renderer;
  registerEntityModels(windowed.renderer);
  synthesiseSounds(windowed.sounds);
  printBanner(stdout);
  return true;
}

void stopWindowedGame(WindowedGame& windowed) {
  Game& game = windowed.game;
  closeConnection(game);
  game.mods.unloadMods();
  game.meshScheduler.stop();
  game.renderer = &game.noRenderer;
  windowed.renderer.shutdown();
}
