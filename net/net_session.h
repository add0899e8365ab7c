#pragma once
// NetSession: the one network endpoint of a running game, either the host of a shared
// world or a client that joined one. It speaks the datagram protocol of net_wire.cpp
// over a non-blocking UDP socket, with its own reliability layer (sequence numbers,
// cumulative acknowledgements, timed resends), a handshake that checks the protocol
// version and the mod list, keep-alive pings, time-outs and an orderly leave. It knows
// nothing of worlds or players: received messages become NetEvents that the game takes
// once per frame, and it offers one send operation per message type. Main thread only;
// nothing waits.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/net_types.h"
#include "net/net_wire.h"
#include "platform/udp_socket.h"

// Monotonic seconds. Tests pass a clock of their own to step time by hand.
using NetClock = std::function<double()>;
double steadySeconds();

inline constexpr uint32_t kConnectVersion = 2;
inline constexpr size_t kSendWindow = 128;      // unacknowledged datagrams per peer
inline constexpr double kResendSeconds = 0.32;  // between transmissions of one message
inline constexpr int kMaxResends = 12;
inline constexpr double kPingSeconds = 0.2;
inline constexpr double kHostSilenceSeconds = 15;
inline constexpr double kClientSilenceSeconds = 12;
inline constexpr int kMaxReadsPerUpdate = 512;
// Reliable messages this far or farther ahead of the next expected one are dropped
// instead of held (the sender resends them), which bounds what one peer can make us keep.
inline constexpr uint32_t kHeldWindow = 1024;
// Reliable data that arrived is acknowledged by the next datagram to its sender; when
// nothing goes that way for this long, or this many messages wait for it, a header-only
// Ack goes out instead, so a download is paced by the link and not by the pings.
inline constexpr double kAckDelaySeconds = 0.02;
inline constexpr uint32_t kAckBacklog = kSendWindow / 2;
// Players a host keeps at most; a Connect beyond them is refused ("The host is full").
inline constexpr size_t kDefaultMaxPeers = 32;
// A newcomer is unproven until a datagram from it acknowledges its Welcome: nothing but
// the Welcome (and Pong, Ack or Reject) goes to its address before, and then at most
// ten times the bytes that came from there and 2 KiB in all, so a Connect with a forged
// source address cannot turn the host against a stranger. Unproven peers hold no player
// slot: at most 256 are kept (a further one pushes out the oldest), each for 5 s.
inline constexpr size_t kMaxUnprovenPeers = 256;
inline constexpr double kUnprovenSeconds = 5.0;
inline constexpr size_t kUnprovenReplyFactor = 10;
inline constexpr size_t kUnprovenReplyBytes = 2048;
// A player name is at most this many bytes, a number appended to make it unique included.
inline constexpr size_t kMaxPlayerNameBytes = 20;

// A reliable datagram waiting for its acknowledgement.
struct NetUnacked {
  uint32_t sequence = 0;
  std::vector<uint8_t> bytes;  // the whole datagram, resent unchanged
  double sentAt = 0;           // last transmission
  int resends = 0;
};

// A reliable message waiting for room in the send window.
struct NetQueued {
  NetMessageType type = NetMessageType::Connect;
  std::vector<uint8_t> payload;
};

// The other end of the connection: one per client on the host, the host on a client.
struct NetPeer {
  Ipv4Endpoint address;
  uint32_t playerId = 0;  // host side: 0 until accepted
  std::string name;       // host side: the accepted player name
  bool welcomed = false;  // only welcomed, proven peers receive broadcasts
  // Host side: the peer acknowledged its Welcome, so it receives at its address.
  bool proven = false;
  uint32_t welcomeSeq = 0;  // the Welcome's sequence number, 0 before it went out
  double admittedAt = 0;    // when its Connect arrived
  size_t bytesIn = 0;       // received from the address while unproven
  size_t bytesOut = 0;      // sent to it while unproven
  int roundTripMs = 0;      // smoothed round trip to this peer, 0 before a sample
  uint32_t nextSendSeq = 1;
  uint32_t nextRecvSeq = 1;
  std::deque<NetUnacked> unacked;  // ascending sequence numbers
  std::deque<NetQueued> queue;
  // Arrived ahead of order; nullopt for an unusable payload, which still takes its turn.
  std::map<uint32_t, std::optional<DecodedMessage>> held;
  NetPlayerState lastState;
  bool closed = false;  // removed by the next update
  double lastHeard = 0;
  double lastPing = 0;      // client: the last ping sent to the host
  uint32_t ackSent = 0;     // the acknowledgement the latest datagram to the peer carried
  double ackDueSince = -1;  // when unacknowledged reliable data arrived; -1 none
};

// Keeps bytes 32..126, at most 20 of them, trims spaces at both ends; "Player" when
// nothing is left.
std::string sanitizePlayerName(const std::string& text);
// `name` when `taken` says it is free, else the name with the lowest number from 2 on
// appended that is free, the name cut so that both fit in 20 bytes ("Alice2").
std::string uniquePlayerName(const std::string& name,
                             const std::function<bool(const std::string&)>& taken);

// Who may not join: player names (compared without case) and IPv4 addresses.
struct NetBans {
  std::vector<std::string> names;
  std::vector<uint32_t> addresses;
  bool bansName(const std::string& name) const;
  bool bansAddress(uint32_t address) const;
};

// The reason a banned player's Connect is refused with, and a banned player kicked with.
inline constexpr const char* kBannedReason = "You are banned from this server";

class NetSession {
 public:
  explicit NetSession(NetClock clock = steadySeconds);
  ~NetSession();
  NetSession(const NetSession&) = delete;
  NetSession& operator=(const NetSession&) = delete;

  // Shuts down, then hosts on `port` of every local IPv4 address. False with a
  // translated `error` ("Could not create UDP socket", "Port %u is already in use");
  // the session then stays idle.
  bool startHost(uint16_t port, std::string& error);
  // Shuts down, then joins the host at `server` as `playerName` (sanitised): Connect
  // goes out at once; the outcome arrives later as events. False only when no socket
  // can be opened.
  bool connect(const Ipv4Endpoint& server, const std::string& playerName, std::string& error);
  // When active, says goodbye (Disconnect "Disconnected", three times) to every peer or
  // the host; then closes the socket and returns to idle.
  void shutdown();
  // Host: tells the accepted peer `playerId` it was disconnected with `reason` and drops
  // it at the next update (which raises PeerLeft). False when there is no such peer.
  bool kick(uint32_t playerId, const std::string& reason);
  // Once per frame: reads up to 512 datagrams, drops silent peers, pings, resends.
  // Does nothing when idle.
  void update();
  // The pending events in arrival order; the list is left empty.
  std::vector<NetEvent> takeEvents();

  // --- Host sends: to the accepted peer with `playerId`; no such peer sends nothing ---
  // Also marks the peer welcomed.
  void sendWelcome(uint32_t playerId, uint32_t seed, float spawnX, float spawnY, float spawnZ,
                   float timeOfDay, uint8_t weather, const std::string& hostName);
  // Queues the changes as BlockBatch messages of at most 64 entries, in list order.
  void sendBlockBatches(uint32_t playerId, const std::vector<BlockChange>& changes);
  void sendReady(uint32_t playerId);
  void sendPlayerJoined(uint32_t toPlayerId, uint32_t aboutPlayerId, const std::string& name);
  void sendPickupGranted(uint32_t playerId, int32_t dropId, uint16_t itemId, uint16_t count);
  // Both send nothing when the list has more than 40 entries.
  void sendMobList(uint32_t playerId, const std::vector<NetMob>& mobs);
  void sendDropList(uint32_t playerId, const std::vector<NetDrop>& drops);

  // --- Host broadcasts: to every accepted, welcomed peer that is not closed ---
  void broadcastChat(const std::string& name, const std::string& text, uint32_t exceptPlayerId);
  void broadcastPlayerJoined(uint32_t playerId, const std::string& name, uint32_t exceptPlayerId);
  void broadcastPlayerLeft(uint32_t playerId);
  // Skips the peer whose id is the state's player id.
  void broadcastPlayerState(const NetPlayerState& state);
  // The same, only to the players for whom `wanted(player id)` holds.
  void broadcastPlayerState(const NetPlayerState& state,
                            const std::function<bool(uint32_t)>& wanted);
  void broadcastTimeWeather(float timeOfDay, uint8_t weather);
  void broadcastBlockChanges(const std::vector<BlockChange>& changes);
  std::vector<uint32_t> welcomedPlayerIds() const;

  // --- Client sends: the state directly and unreliably, the rest through the queue ---
  void sendPlayerState(const NetPlayerState& state);
  void sendEditRequest(int32_t x, int32_t y, int32_t z, uint16_t blockId, uint8_t gameMode);
  void sendChat(const std::string& text);
  void sendAttackMob(uint32_t mobId);
  void sendPickupRequest(uint32_t dropId);

  bool active() const { return active_; }
  bool isHost() const { return isHost_; }
  // 1 on the host, the id from Welcome on a client, 0 when idle or not yet welcomed.
  uint32_t ownId() const { return ownId_; }
  // Smoothed round-trip time in milliseconds, 0 before the first sample.
  int roundTripMs() const { return roundTripMs_; }
  uint32_t modListHash() const { return modListHash_; }
  // Set once the mods are loaded; clients send it and the host compares it.
  void setModListHash(uint32_t hash) { modListHash_ = hash; }
  const std::vector<NetPeer>& peers() const { return peers_; }
  const NetPeer& server() const { return server_; }
  // The bound UDP port, 0 without a socket (a client's port exists after its first send).
  uint16_t localPort() const { return socket_.localPort(); }
  // The most players a host keeps; a Connect beyond them gets Reject "The host is full".
  void setMaxPeers(size_t count) { maxPeers_ = count; }
  size_t maxPeers() const { return maxPeers_; }
  // The host's own player name, which no joining player may take.
  void setHostPlayerName(const std::string& name) { hostPlayerName_ = name; }
  // Connects from these names and addresses get Reject "You are banned from this server".
  void setBans(NetBans bans) { bans_ = std::move(bans); }
  const NetBans& bans() const { return bans_; }

  // Sends any message (tools and tests): to the accepted peer `playerId` on the host, to
  // the host on a client. Payloads over 1181 bytes are dropped unnumbered.
  void sendMessage(uint32_t playerId, NetMessageType type, const std::vector<uint8_t>& payload,
                   bool reliable);
  // Handles one datagram as if `update` had just read it from `from`.
  void receiveDatagram(const uint8_t* data, size_t size, const Ipv4Endpoint& from);

 private:
  void resetToIdle();
  void sendReliable(NetPeer& peer, NetMessageType type, const std::vector<uint8_t>& payload);
  void sendUnreliable(NetPeer& peer, NetMessageType type, const std::vector<uint8_t>& payload);
  // The acknowledgement for the peer's reliable messages handled so far.
  static uint32_t currentAck(const NetPeer& peer);
  void noteSent(NetPeer& peer);
  void acknowledgePromptly(NetPeer& peer, double now);
  void refuseStranger(const Ipv4Endpoint& from, const char* reason);
  // A stranger's complete Connect: refused, or a fresh unproven peer; nullptr if refused.
  NetPeer* admitStranger(const Ipv4Endpoint& from, const DecodedMessage& connect, size_t size);
  // The peer acknowledged its Welcome: it becomes a player (PeerConfirmed) or is refused.
  void confirmPeer(NetPeer& peer);
  bool nameTaken(const std::string& name, const NetPeer& asking) const;
  size_t provenPeerCount() const;
  // Sends bytes to a peer, within the allowance of an unproven one.
  void transmit(NetPeer& peer, const std::vector<uint8_t>& bytes);
  // A reliable message from the game: sent now, or queued while the peer is unproven.
  void sendDirect(NetPeer& peer, NetMessageType type, const std::vector<uint8_t>& payload);
  void sendQueued(NetPeer& peer, NetMessageType type, std::vector<uint8_t> payload);
  void flushQueue(NetPeer& peer);
  // Resends what is due; false when a message ran out of resends.
  bool resendDue(NetPeer& peer, double now);
  void acknowledge(NetPeer& peer, uint32_t ack, double now);
  void addRoundTripSample(double ms);
  void processDatagram(NetPeer& peer, const DatagramHeader& header,
                       std::optional<DecodedMessage> message);
  void handle(NetPeer& peer, std::optional<DecodedMessage> message);
  void handleOnHost(NetPeer& peer, DecodedMessage message);
  void handleOnClient(DecodedMessage message);
  void failClient(const std::string& reason);
  void updateHostPeers(double now);
  void updateClient(double now);
  NetPeer* acceptedPeer(uint32_t playerId);
  template <class Fn>
  void forEachBroadcastPeer(Fn fn);

  NetClock clock_;
  UdpSocket socket_;
  bool active_ = false;
  bool isHost_ = false;
  Ipv4Endpoint serverAddress_;
  NetPeer server_;
  std::vector<NetPeer> peers_;
  uint32_t nextPlayerId_ = 2;
  uint32_t ownId_ = 0;
  int roundTripMs_ = 0;
  double pingSentAt_ = 0;
  uint32_t pingId_ = 0;
  uint32_t pingCounter_ = 0;
  uint32_t modListHash_ = 0;
  std::vector<NetEvent> events_;
  std::vector<uint8_t> scratch_;  // datagram being built for an unreliable send
  size_t maxPeers_ = kDefaultMaxPeers;
  std::string hostPlayerName_;
  NetBans bans_;
};
