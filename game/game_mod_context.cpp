#include "game/game_mod_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "game/commands.h"
#include "game/lifecycle.h"
#include "mods/script_api.h"
#include "net/net_wire.h"

namespace {

// An item id a mod may give or drop: a registered block other than air.
BlockId itemFromId(const std::string& id) {
  const BlockId item = findBlock(id);
  return item == kNoBlock || item == kBlockAir ? kNoBlock : item;
}

// A chat line for one joined player, sent in the host's name.
void sendChatTo(Game& game, uint32_t playerId, const std::string& text) {
  if (!game.net.session) return;
  game.net.session->sendMessage(playerId, NetMessageType::Chat,
                                encodeHostChat(game.net.playerName, text), true);
}

}  // namespace

bool GameModContext::getBlock(int32_t x, int32_t y, int32_t z, std::string& id) {
  if (!game_.world || !insideWorld(x, y, z)) return false;
  id = blockDef(game_.world->getBlock(x, y, z)).id;
  return true;
}

bool GameModContext::setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) {
  const BlockId block = findBlock(id);
  if (!game_.world || block == kNoBlock || !insideWorld(x, y, z)) return false;
  game_.world->setBlock(x, y, z, block);
  return true;
}

void GameModContext::message(const std::string& text) {
  if (const RemotePlayer* player = remotePlayer()) {
    std::printf("[mod] to %s: %s\n", player->name.c_str(), escapeModText(text).c_str());
    std::fflush(stdout);
    sendChatTo(game_, player->id, text);
    return;
  }
  addMessage(game_, text);
}

bool GameModContext::give(const std::string& id, int32_t count) {
  const BlockId item = itemFromId(id);
  if (item == kNoBlock || count < 1) return false;
  if (const RemotePlayer* player = remotePlayer()) {
    if (count > 65535 || !game_.net.session) return false;
    game_.net.session->sendPickupGranted(player->id, 0, item, static_cast<uint16_t>(count));
    return true;
  }
  if (game_.net.dedicated) return false;
  return game_.inventory.items.add(item, count);
}

glm::vec3 GameModContext::playerPosition() {
  if (const RemotePlayer* player = remotePlayer()) {
    return {player->targetX, player->targetY, player->targetZ};
  }
  return game_.player.position;
}

bool GameModContext::teleport(glm::vec3 position) {
  if (remotePlayer() != nullptr || game_.net.dedicated) return false;
  // A NaN or infinite target would leave the player nowhere; it is ignored.
  if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z)) {
    return false;
  }
  teleportPlayer(game_, position, 2);
  return true;
}

bool GameModContext::spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id,
                               int32_t count) {
  const BlockId item = itemFromId(id);
  if (item == kNoBlock || count < 1) return false;
  ::spawnDrop(game_.entities.drops, glm::vec3(x, y, z) + glm::vec3(0.5f), item, count);
  assignEntityIds(game_);
  return true;
}

bool GameModContext::isHost() {
  return game_.net.role != NetClient;
}

void GameModContext::log(const std::string& text) {
  std::printf("[mod] %s\n", text.c_str());
  std::fflush(stdout);
}

void GameModContext::setEventPlayer(uint32_t playerId, const std::string&) {
  eventPlayerId_ = playerId;
}

bool GameModContext::hasPlayer() {
  return remotePlayer() != nullptr || !game_.net.dedicated;
}

void GameModContext::broadcast(const std::string& text) {
  addMessage(game_, text);
  if (game_.net.role == NetHost && game_.net.session) {
    game_.net.session->broadcastChat(game_.net.playerName, text, 0);
  }
}

void GameModContext::notice(const char* format, const std::string& modName) {
  addMessagef(game_, format, modName.c_str());
}

bool GameModContext::isBuiltinCommand(const std::string& word) {
  return isBuiltinCommandWord(word);
}

const RemotePlayer* GameModContext::remotePlayer() const {
  if (game_.net.role != NetHost || eventPlayerId_ == 0 || eventPlayerId_ == game_.net.localId) {
    return nullptr;
  }
  const auto& players = game_.entities.remotePlayers;
  const auto it = std::find_if(players.begin(), players.end(),
                               [&](const RemotePlayer& p) { return p.id == eventPlayerId_; });
  return it == players.end() ? nullptr : &*it;
}

bool runJoinedPlayerModCommand(Game& game, uint32_t playerId, const std::string& playerName,
                               const std::string& line) {
  if (line.size() < 2 || line.front() != '/') return false;
  const size_t wordEnd = line.find_first_of(" \t", 1);
  const std::string word =
      toLowerAscii(line.substr(1, wordEnd == std::string::npos ? std::string::npos : wordEnd - 1));
  if (!game.mods.isHostCommand(word)) return false;
  std::string arguments;
  if (wordEnd != std::string::npos) {
    const size_t start = line.find_first_not_of(" \t", wordEnd);
    if (start != std::string::npos) arguments = line.substr(start);
  }
  std::printf("[mod] %s ran /%s\n", escapeModText(playerName).c_str(), escapeModText(word).c_str());
  std::fflush(stdout);
  std::string reply;
  game.mods.runModCommand(word, arguments, playerName, reply, playerId);
  if (!reply.empty()) sendChatTo(game, playerId, reply);
  return true;
}
