#include "net/game_sync.h"

#include <algorithm>
#include <cstdio>

#include "lang/translations.h"

RemotePlayer& findOrCreateRemotePlayer(std::vector<RemotePlayer>& players, uint32_t id,
                                       const std::string& name) {
  auto it = std::find_if(players.begin(), players.end(),
                         [&](const RemotePlayer& p) { return p.id == id; });
  if (it == players.end()) {
    RemotePlayer fresh;
    fresh.id = id;
    if (name.empty()) {
      char text[64];
      std::snprintf(text, sizeof text, tr("Player %d"), static_cast<int>(id));
      fresh.name = text;
    }
    players.push_back(std::move(fresh));
    it = players.end() - 1;
  }
  if (!name.empty()) it->name = name;
  return *it;
}

bool removeRemotePlayer(std::vector<RemotePlayer>& players, uint32_t id) {
  return std::erase_if(players, [&](const RemotePlayer& p) { return p.id == id; }) > 0;
}

void applyRemoteState(RemotePlayer& player, const NetEvent& state) {
  player.targetX = state.x;
  player.targetY = state.y;
  player.targetZ = state.z;
  player.yaw = state.yaw;
  player.pitch = state.pitch;
  player.gameMode = state.gameMode;
  player.hitPoints = state.hitPoints;
  if (!player.hasState) {
    player.shownX = state.x;
    player.shownY = state.y;
    player.shownZ = state.z;
    player.hasState = true;
  }
}

std::vector<BlockChange> editRecordChanges(const World& world) {
  const WorldEdits& edits = world.edits();
  std::vector<BlockChange> changes;
  changes.reserve(edits.blocks.size());
  for (const auto& [key, id] : edits.blocks) {
    const BlockPos p = unpackBlockKey(key);
    const uint8_t* level = edits.levels.lookup(key);
    changes.push_back({p.x, p.y, p.z, id, level != nullptr ? *level : kNoLevel});
  }
  return changes;
}

size_t applyBlockChanges(World& world, const std::vector<BlockChange>& changes) {
  for (const BlockChange& c : changes) world.setBlockWithLevel(c.x, c.y, c.z, c.id, c.level);
  return changes.size();
}
