#pragma once
// The mods' door into the running game. While the host runs a mod for a joined player
// (an event that player's action raised, or a host command the player typed), the calls
// that act on "the player" act on that player: a message is a chat line sent to that
// player only, a gift goes to that player's inventory as a pick-up grant, and a teleport
// is refused (a player's position belongs to its own game). On the dedicated server,
// outside such calls, there is no player: gifts and teleports are refused and
// player_position answers nil.

#include "game/game.h"
#include "mods/mod_context.h"

class GameModContext : public ModContext {
 public:
  explicit GameModContext(Game& game) : game_(game) {}
  bool getBlock(int32_t x, int32_t y, int32_t z, std::string& id) override;
  bool setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) override;
  void message(const std::string& text) override;
  bool give(const std::string& id, int32_t count) override;
  glm::vec3 playerPosition() override;
  bool teleport(glm::vec3 position) override;
  bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) override;
  bool isHost() override;
  // Prints "[mod] <text>" to standard output.
  void log(const std::string& text) override;
  void setEventPlayer(uint32_t playerId, const std::string& name) override;
  bool hasPlayer() override;
  // A chat line here and, on a host, for every joined player.
  void broadcast(const std::string& text) override;
  void notice(const char* format, const std::string& modName) override;
  bool isBuiltinCommand(const std::string& word) override;

 private:
  // The joined player the running call acts for, or nullptr for this game's own player.
  const RemotePlayer* remotePlayer() const;

  Game& game_;
  uint32_t eventPlayerId_ = 0;
};

// Host: a chat line "/word arguments" from the joined player `playerId` that names a
// command a mod registered for the host runs here for that player, and its reply goes
// to that player only. False when the line is no such command (it is then a chat line).
bool runJoinedPlayerModCommand(Game& game, uint32_t playerId, const std::string& playerName,
                               const std::string& line);
