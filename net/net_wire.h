#pragma once
// Bytes of the datagram protocol: the header, and the payload of every message type,
// written and read. The layout is described at the top of net_wire.cpp.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/net_types.h"

inline constexpr uint8_t kProtocolVersion = 2;
inline constexpr size_t kHeaderBytes = 19;
inline constexpr size_t kMaxPayloadBytes = 1181;
inline constexpr size_t kMaxDatagramBytes = kHeaderBytes + kMaxPayloadBytes;  // 1200
inline constexpr size_t kReceiveBufferBytes = 1264;
inline constexpr uint8_t kFlagReliable = 1;
// Texts are cut to this many bytes when written.
inline constexpr size_t kMaxTextBytes = 200;
// Receivers refuse block batches with more entries, and mob or drop lists with more.
inline constexpr size_t kMaxBatchEntries = 512;
inline constexpr size_t kMaxListEntries = 40;
// Senders cut block changes into batches of this many entries.
inline constexpr size_t kBatchEntriesPerMessage = 64;
inline constexpr size_t kBlockChangeBytes = 15;
inline constexpr size_t kMobEntryBytes = 23;
inline constexpr size_t kDropEntryBytes = 24;

struct DatagramHeader {
  uint8_t type = 0;
  bool reliable = false;
  uint32_t sequence = 0;
  uint32_t ack = 0;
};

// Appends a header: reliable exactly when `sequence` is not 0.
void writeHeader(std::vector<uint8_t>& out, NetMessageType type, uint32_t sequence, uint32_t ack);
// The header of a datagram, or nullopt when it is 18 bytes or shorter or carries another
// magic or protocol version.
std::optional<DatagramHeader> readHeader(const uint8_t* data, size_t size);

// --- Payloads, one encoder per layout ---
std::vector<uint8_t> encodeConnect(uint32_t version, uint32_t modListHash, const std::string& name);
std::vector<uint8_t> encodeWelcome(const NetWelcome& welcome);
// A lone str16: Reject and Disconnect reasons, and a client's chat line.
std::vector<uint8_t> encodeText(const std::string& text);
std::vector<uint8_t> encodeBlockBatch(const BlockChange* changes, size_t count);
std::vector<uint8_t> encodeEditRequest(int32_t x, int32_t y, int32_t z, uint16_t blockId,
                                       uint8_t gameMode);
std::vector<uint8_t> encodePlayerState(const NetPlayerState& state);
std::vector<uint8_t> encodeTimeWeather(float timeOfDay, uint8_t weather);
std::vector<uint8_t> encodeMobList(const std::vector<NetMob>& mobs);
std::vector<uint8_t> encodeDropList(const std::vector<NetDrop>& drops);
std::vector<uint8_t> encodePlayerJoined(uint32_t playerId, const std::string& name);
// A lone u32: PlayerLeft, AttackMob, PickupRequest, Ping and Pong.
std::vector<uint8_t> encodeId(uint32_t id);
std::vector<uint8_t> encodeHostChat(const std::string& sender, const std::string& text);
std::vector<uint8_t> encodePickupGranted(int32_t dropId, uint16_t itemId, uint16_t count);

// Which end reads the message: each end accepts only the types sent its way.
enum class NetReceiver { Host, Client };

// A payload read completely, with its event filled in as far as the payload goes (the
// session adds what only it knows, such as the sender's player id on the host).
struct DecodedMessage {
  NetMessageType type = NetMessageType::Connect;
  NetEvent event;
  uint32_t version = 0;      // Connect
  uint32_t modListHash = 0;  // Connect
  uint32_t pingId = 0;       // Ping, Pong
};

// Reads the payload of a message of `type` sent to `receiver`. nullopt for a type that
// end never receives, a payload too short for its fields, a list count above its limit
// or a float that is not finite. Bytes after the last field are ignored.
std::optional<DecodedMessage> decodeMessage(NetReceiver receiver, uint8_t type,
                                            const uint8_t* payload, size_t size);
