#pragma once
// The parts of host and client sync that need no Game record: the list of other players
// and the road of block changes between a World and the wire. The frame loop's sync
// step builds on these.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/net_types.h"
#include "world/world.h"

// Another player as this game knows them, in arrival order.
struct RemotePlayer {
  uint32_t id = 0;
  std::string name;
  float targetX = 0, targetY = 0, targetZ = 0;  // last reported eye position
  float shownX = 0, shownY = 0, shownZ = 0;     // eased towards the target when drawn
  float yaw = 0, pitch = 0;                     // radians
  uint8_t gameMode = 0;
  int hitPoints = 20;
  bool hasState = false;  // false until the first PlayerState
  // Host: this player's chat lines in the current second and those dropped beyond 5.
  double chatSecondStart = 0;
  int chatLines = 0;
  int chatDropped = 0;
};

// The player with `id`, appended when missing. A new record without a name is called
// "Player <id>"; a non-empty `name` always replaces the stored one.
RemotePlayer& findOrCreateRemotePlayer(std::vector<RemotePlayer>& players, uint32_t id,
                                       const std::string& name = {});
// Removes the player with `id`; false when there was none.
bool removeRemotePlayer(std::vector<RemotePlayer>& players, uint32_t id);
// Takes a PlayerState event's position, angles, mode and hit points; the first state also
// moves the drawn position there at once.
void applyRemoteState(RemotePlayer& player, const NetEvent& state);

// Every entry of the world's edit record, with its fluid level or 255 when none is stored.
std::vector<BlockChange> editRecordChanges(const World& world);
// Writes each change with setBlockWithLevel, in order. Returns how many were written.
size_t applyBlockChanges(World& world, const std::vector<BlockChange>& changes);
