// How many peers a host keeps, and how promptly a receiver acknowledges what it got.

#include "net/net_session.h"
#include "net_test_support.h"

namespace {

TEST(NetCapacity, HostRefusesPeersBeyondItsLimitAndKeepsNothingAboutThem) {
  ManualClock clock;
  NetSession host(clock.fn());
  std::string error;
  ASSERT_TRUE(host.startHost(0, error)) << error;
  const Ipv4Endpoint hostAddress{kIpv4Loopback, host.localPort()};

  // 32 strangers join: welcomed, and each acknowledges its Welcome. The 33rd is refused.
  for (uint16_t i = 0; i < 32; ++i) {
    const Ipv4Endpoint from{0x0A000001, static_cast<uint16_t>(1000 + i)};
    const auto bytes = datagram(1, 1, 0, connectPayload("P" + std::to_string(i)));
    host.receiveDatagram(bytes.data(), bytes.size(), from);
    host.sendWelcome(2u + i, 1, 0, 0, 0, 0, 0, "H");
    const auto ack = datagram(20, 0, 1);
    host.receiveDatagram(ack.data(), ack.size(), from);
  }
  EXPECT_EQ(host.welcomedPlayerIds().size(), 32u);
  RawPeer late;
  late.send(hostAddress, datagram(1, 1, 0, connectPayload("Late")));
  settle({&host});
  const std::optional<RawDatagram> answer = late.receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type, 3);  // Reject
  EXPECT_EQ(answer->seq, 1u);
  EXPECT_EQ(answer->ack, 1u);
  EXPECT_EQ(answer->payload, Bytes().str("The host is full").b);
  EXPECT_EQ(host.peers().size(), 32u);
  EXPECT_EQ(host.takeEvents().size(), 64u);  // PeerJoined and PeerConfirmed for each

  // A flood of Connects from distinct ports, once a slot is free, leaves the host's state
  // bounded: newcomers that have not acknowledged anything hold no slot, at most 256.
  ASSERT_TRUE(host.kick(2, "Kicked"));
  host.update();
  for (uint32_t i = 0; i < 10000; ++i) {
    const auto bytes = datagram(1, 1, 0, connectPayload("Flood"));
    host.receiveDatagram(bytes.data(), bytes.size(),
                         {0x0A000002 + (i >> 16), static_cast<uint16_t>(i & 0xFFFF)});
  }
  EXPECT_EQ(host.peers().size(), 31u + kMaxUnprovenPeers);
  EXPECT_EQ(host.welcomedPlayerIds().size(), 31u);
  host.shutdown();
}

TEST(NetCapacity, ReceiverAcknowledgesWithoutWaitingForItsPing) {
  ManualClock clock;
  NetSession client(clock.fn());
  RawPeer host;
  std::string error;
  ASSERT_TRUE(client.connect(host.endpoint(), "Quick", error)) << error;
  ASSERT_TRUE(host.receive());  // Connect
  const Ipv4Endpoint clientAddress{kIpv4Loopback, client.localPort()};
  client.update();  // its first ping goes out now; the next is 0.2 s away
  host.receiveAll();

  // Three reliable batches arrive; nothing goes back before 20 ms have passed.
  const auto batch = Bytes().u16(1).u32(1).u32(2).u32(3).u16(4).u8(255).b;
  for (uint32_t s = 1; s <= 3; ++s) host.send(clientAddress, datagram(5, s, 1, batch));
  clock.now += 0.001;
  settle({&client}, 10);
  std::vector<RawDatagram> early = host.receiveAll();
  for (const RawDatagram& d : early) EXPECT_NE(d.type, 20) << "acknowledged before its time";

  clock.now += 0.025;  // past the delay, still before the next ping is due
  client.update();
  std::vector<RawDatagram> later = host.receiveAll();
  ASSERT_FALSE(later.empty());
  EXPECT_EQ(later.back().type, 20);  // a bare Ack
  EXPECT_EQ(later.back().seq, 0u);
  EXPECT_EQ(later.back().ack, 3u);
  EXPECT_TRUE(later.back().payload.empty());

  // Owing 64 messages acknowledges at once, without the delay.
  for (uint32_t s = 4; s < 4 + kAckBacklog; ++s) host.send(clientAddress, datagram(5, s, 1, batch));
  settle({&client}, 10);
  bool acked = false;
  for (const RawDatagram& d : host.receiveAll()) acked = acked || d.ack == 3 + kAckBacklog;
  EXPECT_TRUE(acked);
  client.shutdown();
}

}  // namespace
