#include "net/loopback_join.h"

#include <thread>

#include "net/game_sync.h"
#include "world/world.h"

namespace {

constexpr uint32_t kClientSeed = 4242;
constexpr float kSpawnX = 10, kSpawnY = 30, kSpawnZ = 10;

std::vector<BlockChange> testChanges(size_t count) {
  std::vector<BlockChange> changes(count);
  for (size_t i = 0; i < count; ++i) {
    const auto n = static_cast<int32_t>(i);
    changes[i] = {n, 20, 2 * n, kBlockStone, kNoLevel};
  }
  return changes;
}

}  // namespace

LoopbackJoinResult runLoopbackJoin(const LoopbackJoinOptions& options) {
  LoopbackJoinResult result;
  result.editsExpected = options.changes;

  NetSession host(options.clock);
  if (!host.startHost(options.port, result.hostError)) return result;
  NetSession client(options.clock);
  if (!client.connect({kIpv4Loopback, host.localPort()}, "Tester", result.clientError)) {
    return result;
  }

  const std::vector<BlockChange> changes = testChanges(options.changes);
  World clientWorld(kClientSeed);
  bool editSent = false;
  for (int pass = 0; pass < options.maxPasses; ++pass) {
    result.passes = pass + 1;
    host.update();
    client.update();
    for (const NetEvent& e : host.takeEvents()) {
      if (e.kind == NetEventKind::PeerJoined) {
        host.sendWelcome(e.playerId, kClientSeed, kSpawnX, kSpawnY, kSpawnZ, 0.4f, 1, "HostTest");
        host.sendBlockBatches(e.playerId, changes);
        host.sendReady(e.playerId);
        result.joined = true;
      } else if (e.kind == NetEventKind::EditRequest) {
        result.editRequest = true;
      }
    }
    for (const NetEvent& e : client.takeEvents()) {
      if (e.kind == NetEventKind::Welcome) {
        result.welcomed = result.welcomed || (e.seed == kClientSeed && e.x == kSpawnX &&
                                              e.y == kSpawnY && e.z == kSpawnZ);
      } else if (e.kind == NetEventKind::BlockBatch) {
        result.editsReceived += applyBlockChanges(clientWorld, e.changes);
      } else if (e.kind == NetEventKind::Ready) {
        result.ready = true;
      }
    }
    if (result.welcomed && result.ready && !editSent) {
      client.sendEditRequest(12, 31, 12, kBlockPlanks, 1);
      editSent = true;
    }
    if (result.joined && result.welcomed && result.ready && result.editRequest &&
        result.editsReceived >= result.editsExpected) {
      break;
    }
    if (options.sleepEachPass) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  if (!changes.empty()) {
    const BlockChange& last = changes.back();
    clientWorld.ensureColumn(floorDiv16(last.x), floorDiv16(last.z));
    result.world = clientWorld.getBlock(last.x, last.y, last.z) == last.id;
  }
  client.shutdown();
  host.shutdown();
  return result;
}
