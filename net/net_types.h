#pragma once
// The records that travel between a host and its clients, and the events a NetSession
// hands to the game. The bytes of each message are described in net/net_wire.cpp.

#include <cstdint>
#include <string>
#include <vector>

#include "world/world.h"

enum class NetMessageType : uint8_t {
  Connect = 1,
  Welcome = 2,
  Reject = 3,
  Ready = 4,
  BlockBatch = 5,
  EditRequest = 6,
  PlayerState = 7,
  TimeWeather = 8,
  MobList = 9,
  DropList = 10,
  PlayerJoined = 11,
  PlayerLeft = 12,
  Chat = 13,
  PickupGranted = 14,
  AttackMob = 15,
  PickupRequest = 16,
  Disconnect = 17,
  Ping = 18,
  Pong = 19,
  // Only the header, sent to acknowledge promptly; peers that do not know it ignore it
  // and still read its acknowledgement.
  Ack = 20,
};

// One block change on the wire: position, block id and fluid level (255 = none).
using BlockChange = CapturedChange;

// A player's reported state. Hit points are clamped to 0..255 when sent.
struct NetPlayerState {
  uint32_t playerId = 0;
  float x = 0, y = 0, z = 0;  // eye position
  float yaw = 0, pitch = 0;   // radians
  uint8_t gameMode = 0;
  int hitPoints = 20;
  bool flying = false;
  bool valid = false;  // false until a state was received
};

inline constexpr uint8_t kMobFlagMoving = 1;
inline constexpr uint8_t kMobFlagDamageFlash = 2;

// One creature as the host reports it. Hit points are clamped to 0..127 when sent.
struct NetMob {
  uint32_t id = 0;
  float x = 0, y = 0, z = 0;
  float yaw = 0;  // displayed yaw
  uint8_t type = 0;
  int hitPoints = 0;
  uint8_t flags = 0;  // kMobFlag*
  bool operator==(const NetMob&) const = default;
};

// One dropped item as the host reports it. Counts above 65535 are sent as 65535.
struct NetDrop {
  uint32_t id = 0;
  float x = 0, y = 0, z = 0;
  uint16_t itemId = 0;
  uint32_t count = 0;
  float age = 0;
  bool operator==(const NetDrop&) const = default;
};

// What the host tells a newcomer first.
struct NetWelcome {
  uint32_t playerId = 0;
  uint32_t seed = 0;
  float spawnX = 0, spawnY = 0, spawnZ = 0;
  float timeOfDay = 0;
  uint8_t weather = 0;
  std::string hostName;
};

enum class NetEventKind : uint8_t {
  PeerJoined = 0,      // host: playerId, name; answer with Welcome (see PeerConfirmed)
  PeerLeft = 1,        // host: playerId
  Welcome = 2,         // client: playerId, seed, x/y/z (spawn), timeOfDay, weather, name
  Ready = 3,           // client
  Rejected = 4,        // client: text (the reason)
  PlayerState = 5,     // both: playerId, x/y/z, yaw, pitch, gameMode, hitPoints, flying
  PlayerJoined = 6,    // client: playerId, name
  PlayerLeft = 7,      // client: playerId
  EditRequest = 8,     // host: playerId, block*, editGameMode
  BlockBatch = 9,      // client: changes
  MobList = 10,        // client: mobs
  DropList = 11,       // client: drops
  TimeWeather = 12,    // client: timeOfDay, weather
  Chat = 13,           // both: name, text (host: also playerId)
  PickupGranted = 14,  // client: dropId, itemId, count
  AttackMob = 15,      // host: playerId, mobId
  PickupRequest = 16,  // host: playerId, dropId
  Disconnected = 17,   // client: text (the reason)
  // host: playerId, name. The peer of an earlier PeerJoined acknowledged its Welcome and
  // so is a player now, under this name (unique among the players).
  PeerConfirmed = 18,
};

// One thing that happened on the connection, with the fields its kind uses.
struct NetEvent {
  NetEventKind kind = NetEventKind::PeerJoined;
  uint32_t playerId = 0;
  uint32_t seed = 0;
  std::string name;
  std::string text;
  float x = 0, y = 0, z = 0;
  float yaw = 0, pitch = 0;
  uint8_t gameMode = 0;
  int hitPoints = 0;
  bool flying = false;
  float timeOfDay = 0;
  uint8_t weather = 0;
  int32_t blockX = 0, blockY = 0, blockZ = 0;
  uint16_t blockId = 0;
  uint8_t editGameMode = 0;
  std::vector<BlockChange> changes;
  std::vector<NetMob> mobs;
  std::vector<NetDrop> drops;
  uint32_t dropId = 0;  // PickupGranted carries it as a signed 32-bit value
  uint16_t itemId = 0;
  uint16_t count = 0;
  uint32_t mobId = 0;
};
