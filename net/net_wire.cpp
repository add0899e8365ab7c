// The datagram protocol, version 2 (kProtocolVersion), UDP/IPv4, default port 27632.
//
// Every integer and float is little-endian; floats are IEEE 754 single precision. A str16
// is a u16 byte length followed by that many bytes (no terminator); writers cut the text
// to its first 200 bytes. One datagram is a 19-byte header and at most 1181 payload bytes
// (1200 in all); a longer payload is never sent. Receivers read into 1264 bytes.
//
// Header:
//   offset 0   4 bytes  magic "OVNP"
//   offset 4   u8       protocol version, 2
//   offset 5   u8       message type (below)
//   offset 6   u8       flags: bit 0 set for a reliable message (exactly when the sequence
//                       number is not 0); other bits 0
//   offset 7   u32      sequence number; 0 for an unreliable message
//   offset 11  u32      acknowledgement: the highest sequence number received in order
//                       from this peer, 0 when none
//   offset 15  u32      reserved, written 0, ignored
// Datagrams of 18 bytes or less, with another magic or another version are ignored.
//
// Reliability (net_session.cpp): each end numbers its reliable messages 1, 2, 3, ... per
// peer and keeps them until an acknowledgement of at least that number arrives in any
// datagram from the peer; unacknowledged messages are resent unchanged every 0.32 s, at
// most 12 times. Receivers handle reliable messages in sequence order, holding early
// ones and dropping repeats. Queued messages wait while 128 are unacknowledged.
// Acknowledgements ride on every datagram. A receiver that has handled reliable data and
// sent nothing back for 20 ms (or owes acknowledgements for 64 messages) sends Ack, a
// bare header; peers that predate it ignore the type but still take its acknowledgement.
//
// A conversation: the client's first reliable message is Connect (sequence 1); a host
// hears an unknown address only through it. The host answers Reject ("Client and host
// versions do not match", "Mod lists do not match", and, keeping nothing about the
// sender, "The host is full" beyond 32 players or "You are banned from this server") or
// Welcome. Only once a datagram from the client acknowledges the Welcome (any client
// does, with its next Ping or Ack) does the rest follow: the world record as
// BlockBatches, PlayerJoined for everyone present and Ready. Until then the host sends
// that address at most ten times the bytes it received from it, and 2 KiB in all. A name
// already taken by a player is given the lowest free number ("Alice2"). The
// client sends Ping every 0.2 s and the host answers with Pong. A host drops a client
// after 15 s of silence, a client gives up after 12 s; whoever leaves sends Disconnect
// "Disconnected" three times.
//
// Messages (C = client, H = host; rel = reliable, unrel = unreliable):
//   1  Connect        C->H rel    u32 version (2), u32 mod-list hash, str16 player name
//   2  Welcome        H->C rel    u32 player id, u32 world seed, f32 spawn x, f32 spawn y,
//                                 f32 spawn z, f32 time of day, u8 weather, str16 host name
//   3  Reject         H->C rel    str16 reason
//   4  Ready          H->C rel    (empty)
//   5  BlockBatch     H->C rel    u16 count (at most 512; senders use 64), then count
//                                 entries of 15 bytes: i32 x, i32 y, i32 z, u16 block id,
//                                 u8 fluid level (255 = none)
//   6  EditRequest    C->H rel    i32 x, i32 y, i32 z, u16 block id (0 = break),
//                                 u8 game mode of the acting player
//   7  PlayerState    both unrel  u32 player id, f32 x, f32 y, f32 z (eye), f32 yaw,
//                                 f32 pitch (radians), u8 game mode, u8 hit points,
//                                 u8 flying (0 or 1)
//   8  TimeWeather    H->C unrel  f32 time of day, u8 weather
//   9  MobList        H->C unrel  u8 count (at most 40), then count entries of 23 bytes:
//                                 u32 mob id, f32 x, f32 y, f32 z, f32 yaw, u8 type,
//                                 u8 hit points (0..127), u8 flags (bit 0 moving,
//                                 bit 1 damage flash)
//   10 DropList       H->C unrel  u8 count (at most 40), then count entries of 24 bytes:
//                                 u32 drop id, f32 x, f32 y, f32 z, u16 item id,
//                                 u16 count (65535 when larger), f32 age
//   11 PlayerJoined   H->C rel    u32 player id, str16 name
//   12 PlayerLeft     H->C rel    u32 player id
//   13 Chat           C->H rel    str16 text
//                     H->C rel    str16 sender name, str16 text
//   14 PickupGranted  H->C rel    i32 drop id, u16 item id, u16 count
//   15 AttackMob      C->H rel    u32 mob id
//   16 PickupRequest  C->H rel    u32 drop id
//   17 Disconnect     both rel    str16 reason
//   18 Ping           C->H unrel  u32 ping id
//   19 Pong           H->C unrel  the 4 bytes of the Ping payload
//   20 Ack            both unrel  (empty)
//
// A message whose payload is too short for its fields, whose list count is above its
// limit, or that carries a float that is not finite is ignored whole, and so is a type
// the receiving end never gets. From a known peer such a message still counts for the
// reliability layer first: a reliable one takes its sequence number and is acknowledged
// like any other, because its sender would otherwise resend the same bytes until it gave
// up. A stranger becomes a peer only through a complete, reliable Connect. Bytes after
// the last field are ignored. Chat texts longer than 200 bytes are cut on receipt too.
//
// Sections of this file:
//   1. Field writer and reader
//   2. Reading the payloads each end receives
//   3. The header
//   4. Payload encoders
//   5. decodeMessage

#include "net/net_wire.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_io.h"

namespace {

constexpr uint8_t kMagic[4] = {'O', 'V', 'N', 'P'};

// --- 1. Field writer and reader ---

// The protocol's conventions on top of the shared codec: texts travel as str16 (cut to
// kMaxTextBytes when written), and a float that is not finite counts as a failed read.
class Writer : public ByteWriter {
 public:
  using ByteWriter::ByteWriter;
  void str16(const std::string& s) {
    const size_t n = std::min(s.size(), kMaxTextBytes);
    u16(static_cast<uint16_t>(n));
    bytes(s.data(), n);
  }
};

class Reader : public ByteReader {
 public:
  using ByteReader::ByteReader;
  float f32() {
    const float v = ByteReader::f32();
    if (std::isfinite(v)) return v;
    fail();
    return 0;
  }
  std::string str16() {
    const size_t n = u16();
    const uint8_t* text = bytes(n);
    return text ? std::string(reinterpret_cast<const char*>(text), n) : std::string();
  }
};

// --- 2. Reading the payloads each end receives ---

uint8_t clampByte(int v, int hi) {
  return static_cast<uint8_t>(std::clamp(v, 0, hi));
}

void readPlayerState(Reader& r, NetEvent& e) {
  e.playerId = r.u32();
  e.x = r.f32();
  e.y = r.f32();
  e.z = r.f32();
  e.yaw = r.f32();
  e.pitch = r.f32();
  e.gameMode = r.u8();
  e.hitPoints = r.u8();
  e.flying = r.u8() != 0;
}

// Host side: the types a client sends.
bool decodeForHost(NetMessageType type, Reader& r, DecodedMessage& m) {
  NetEvent& e = m.event;
  switch (type) {
    case NetMessageType::Connect:
      m.version = r.u32();
      m.modListHash = r.u32();
      e.name = r.str16();
      return true;
    case NetMessageType::EditRequest:
      e.kind = NetEventKind::EditRequest;
      e.blockX = r.i32();
      e.blockY = r.i32();
      e.blockZ = r.i32();
      e.blockId = r.u16();
      e.editGameMode = r.u8();
      return true;
    case NetMessageType::PlayerState:
      e.kind = NetEventKind::PlayerState;
      readPlayerState(r, e);
      return true;
    case NetMessageType::Chat:
      e.kind = NetEventKind::Chat;
      e.text = r.str16().substr(0, kMaxTextBytes);  // as a sender of ours would have cut it
      return true;
    case NetMessageType::AttackMob:
      e.kind = NetEventKind::AttackMob;
      e.mobId = r.u32();
      return true;
    case NetMessageType::PickupRequest:
      e.kind = NetEventKind::PickupRequest;
      e.dropId = r.u32();
      return true;
    case NetMessageType::Disconnect:
      e.text = r.str16();
      return true;
    case NetMessageType::Ping:
      m.pingId = r.u32();
      return true;
    default:
      return false;
  }
}

bool readBlockBatch(Reader& r, std::vector<BlockChange>& out) {
  const size_t count = r.u16();
  if (count > kMaxBatchEntries || r.remaining() < count * kBlockChangeBytes) return false;
  out.resize(count);
  for (BlockChange& c : out) {
    c.x = r.i32();
    c.y = r.i32();
    c.z = r.i32();
    c.id = r.u16();
    c.level = r.u8();
  }
  return true;
}

bool readMobList(Reader& r, std::vector<NetMob>& out) {
  const size_t count = r.u8();
  if (count > kMaxListEntries || r.remaining() < count * kMobEntryBytes) return false;
  out.resize(count);
  for (NetMob& m : out) {
    m.id = r.u32();
    m.x = r.f32();
    m.y = r.f32();
    m.z = r.f32();
    m.yaw = r.f32();
    m.type = r.u8();
    m.hitPoints = r.u8();
    m.flags = r.u8();
  }
  return true;
}

bool readDropList(Reader& r, std::vector<NetDrop>& out) {
  const size_t count = r.u8();
  if (count > kMaxListEntries || r.remaining() < count * kDropEntryBytes) return false;
  out.resize(count);
  for (NetDrop& d : out) {
    d.id = r.u32();
    d.x = r.f32();
    d.y = r.f32();
    d.z = r.f32();
    d.itemId = r.u16();
    d.count = r.u16();
    d.age = r.f32();
  }
  return true;
}

// Client side: the types a host sends.
bool decodeForClient(NetMessageType type, Reader& r, DecodedMessage& m) {
  NetEvent& e = m.event;
  switch (type) {
    case NetMessageType::Welcome:
      e.kind = NetEventKind::Welcome;
      e.playerId = r.u32();
      e.seed = r.u32();
      e.x = r.f32();
      e.y = r.f32();
      e.z = r.f32();
      e.timeOfDay = r.f32();
      e.weather = r.u8();
      e.name = r.str16();
      return true;
    case NetMessageType::Reject:
      e.kind = NetEventKind::Rejected;
      e.text = r.str16();
      return true;
    case NetMessageType::Ready:
      e.kind = NetEventKind::Ready;
      return true;
    case NetMessageType::BlockBatch:
      e.kind = NetEventKind::BlockBatch;
      return readBlockBatch(r, e.changes);
    case NetMessageType::PlayerState:
      e.kind = NetEventKind::PlayerState;
      readPlayerState(r, e);
      return true;
    case NetMessageType::TimeWeather:
      e.kind = NetEventKind::TimeWeather;
      e.timeOfDay = r.f32();
      e.weather = r.u8();
      return true;
    case NetMessageType::MobList:
      e.kind = NetEventKind::MobList;
      return readMobList(r, e.mobs);
    case NetMessageType::DropList:
      e.kind = NetEventKind::DropList;
      return readDropList(r, e.drops);
    case NetMessageType::PlayerJoined:
      e.kind = NetEventKind::PlayerJoined;
      e.playerId = r.u32();
      e.name = r.str16();
      return true;
    case NetMessageType::PlayerLeft:
      e.kind = NetEventKind::PlayerLeft;
      e.playerId = r.u32();
      return true;
    case NetMessageType::Chat:
      e.kind = NetEventKind::Chat;
      e.name = r.str16();
      e.text = r.str16().substr(0, kMaxTextBytes);
      return true;
    case NetMessageType::PickupGranted:
      e.kind = NetEventKind::PickupGranted;
      e.dropId = r.u32();
      e.itemId = r.u16();
      e.count = r.u16();
      return true;
    case NetMessageType::Disconnect:
      e.kind = NetEventKind::Disconnected;
      e.text = r.str16();
      return true;
    case NetMessageType::Pong:
      m.pingId = r.u32();
      return true;
    default:
      return false;
  }
}

}  // namespace

// --- 3. The header ---

void writeHeader(std::vector<uint8_t>& out, NetMessageType type, uint32_t sequence, uint32_t ack) {
  out.insert(out.end(), kMagic, kMagic + 4);
  out.push_back(kProtocolVersion);
  out.push_back(static_cast<uint8_t>(type));
  out.push_back(sequence != 0 ? kFlagReliable : 0);
  for (uint32_t v : {sequence, ack, 0u}) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
}

std::optional<DatagramHeader> readHeader(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes || std::memcmp(data, kMagic, 4) != 0 || data[4] != kProtocolVersion) {
    return std::nullopt;
  }
  Reader r(data + 5, kHeaderBytes - 5);
  DatagramHeader h;
  h.type = r.u8();
  h.reliable = (r.u8() & kFlagReliable) != 0;
  h.sequence = r.u32();
  h.ack = r.u32();
  return h;
}

// --- 4. Payload encoders ---

std::vector<uint8_t> encodeConnect(uint32_t version, uint32_t modListHash,
                                   const std::string& name) {
  Writer w(10 + name.size());
  w.u32(version);
  w.u32(modListHash);
  w.str16(name);
  return w.take();
}

std::vector<uint8_t> encodeWelcome(const NetWelcome& m) {
  Writer w(27 + m.hostName.size());
  w.u32(m.playerId);
  w.u32(m.seed);
  w.f32(m.spawnX);
  w.f32(m.spawnY);
  w.f32(m.spawnZ);
  w.f32(m.timeOfDay);
  w.u8(m.weather);
  w.str16(m.hostName);
  return w.take();
}

std::vector<uint8_t> encodeText(const std::string& text) {
  Writer w(2 + text.size());
  w.str16(text);
  return w.take();
}

std::vector<uint8_t> encodeBlockBatch(const BlockChange* changes, size_t count) {
  count = std::min<size_t>(count, 0xFFFF);
  Writer w(2 + count * kBlockChangeBytes);
  w.u16(static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) {
    w.i32(changes[i].x);
    w.i32(changes[i].y);
    w.i32(changes[i].z);
    w.u16(changes[i].id);
    w.u8(changes[i].level);
  }
  return w.take();
}

std::vector<uint8_t> encodeEditRequest(int32_t x, int32_t y, int32_t z, uint16_t blockId,
                                       uint8_t gameMode) {
  Writer w(15);
  w.i32(x);
  w.i32(y);
  w.i32(z);
  w.u16(blockId);
  w.u8(gameMode);
  return w.take();
}

std::vector<uint8_t> encodePlayerState(const NetPlayerState& s) {
  Writer w(27);
  w.u32(s.playerId);
  w.f32(s.x);
  w.f32(s.y);
  w.f32(s.z);
  w.f32(s.yaw);
  w.f32(s.pitch);
  w.u8(s.gameMode);
  w.u8(clampByte(s.hitPoints, 255));
  w.u8(s.flying ? 1 : 0);
  return w.take();
}

std::vector<uint8_t> encodeTimeWeather(float timeOfDay, uint8_t weather) {
  Writer w(5);
  w.f32(timeOfDay);
  w.u8(weather);
  return w.take();
}

std::vector<uint8_t> encodeMobList(const std::vector<NetMob>& mobs) {
  const size_t count = std::min(mobs.size(), kMaxListEntries);
  Writer w(1 + count * kMobEntryBytes);
  w.u8(static_cast<uint8_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const NetMob& m = mobs[i];
    w.u32(m.id);
    w.f32(m.x);
    w.f32(m.y);
    w.f32(m.z);
    w.f32(m.yaw);
    w.u8(m.type);
    w.u8(clampByte(m.hitPoints, 127));
    w.u8(m.flags);
  }
  return w.take();
}

std::vector<uint8_t> encodeDropList(const std::vector<NetDrop>& drops) {
  const size_t count = std::min(drops.size(), kMaxListEntries);
  Writer w(1 + count * kDropEntryBytes);
  w.u8(static_cast<uint8_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const NetDrop& d = drops[i];
    w.u32(d.id);
    w.f32(d.x);
    w.f32(d.y);
    w.f32(d.z);
    w.u16(d.itemId);
    w.u16(static_cast<uint16_t>(std::min<uint32_t>(d.count, 0xFFFF)));
    w.f32(d.age);
  }
  return w.take();
}

std::vector<uint8_t> encodePlayerJoined(uint32_t playerId, const std::string& name) {
  Writer w(6 + name.size());
  w.u32(playerId);
  w.str16(name);
  return w.take();
}

std::vector<uint8_t> encodeId(uint32_t id) {
  Writer w(4);
  w.u32(id);
  return w.take();
}

std::vector<uint8_t> encodeHostChat(const std::string& sender, const std::string& text) {
  Writer w(4 + sender.size() + text.size());
  w.str16(sender);
  w.str16(text);
  return w.take();
}

std::vector<uint8_t> encodePickupGranted(int32_t dropId, uint16_t itemId, uint16_t count) {
  Writer w(8);
  w.i32(dropId);
  w.u16(itemId);
  w.u16(count);
  return w.take();
}

// --- 5. decodeMessage ---

std::optional<DecodedMessage> decodeMessage(NetReceiver receiver, uint8_t type,
                                            const uint8_t* payload, size_t size) {
  DecodedMessage m;
  m.type = static_cast<NetMessageType>(type);
  Reader r(payload, size);
  const bool known =
      receiver == NetReceiver::Host ? decodeForHost(m.type, r, m) : decodeForClient(m.type, r, m);
  if (!known || !r.ok()) return std::nullopt;
  return m;
}
