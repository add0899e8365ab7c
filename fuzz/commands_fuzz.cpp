// Arbitrary chat lines run as commands in one running game: nothing may crash, and the
// game must stay within its bounds (finite position, settings in range, stacks of at most
// 64, a log of at most 40 lines).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "game/commands.h"
#include "game/lifecycle.h"

namespace {

Game& sharedGame() {
  static std::unique_ptr<Game> game = [] {
    auto g = std::make_unique<Game>();
    g->savesFolder = "/nonexistent/orvane-fuzz";  // /save fails and says so
    newGame(*g, 20261018, "Fuzz");
    return g;
  }();
  return *game;
}

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Game& game = sharedGame();
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('\n', start), text.size());
    runCommand(game, text.substr(start, end - start));
    start = end + 1;
  }
  const glm::vec3 p = game.player.position;
  check(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  check(game.chat.log.size() <= kMessageLogLimit && game.chat.history.size() <= kHistoryLimit);
  check(game.environment.timeOfDay >= 0.0f && game.environment.timeOfDay <= 1.0f);
  check(game.settings.fieldOfView >= 55.0f && game.settings.fieldOfView <= 100.0f);
  check(game.settings.renderDistance >= 4 && game.settings.renderDistance <= 16);
  for (const ItemStack& slot : game.inventory.items.slots)
    check(slot.count >= 0 && slot.count <= 64);
  // Keep one long run small: far columns go, crowds are thinned.
  game.world->unloadColumnsBeyond(floorDiv16(static_cast<int>(p.x)),
                                  floorDiv16(static_cast<int>(p.z)), 4);
  if (game.entities.mobs.size() > 200) game.entities.mobs.clear();
  return 0;
}
