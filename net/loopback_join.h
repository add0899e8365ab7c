#pragma once
// The loop-back join: a host and a client in one process talk over 127.0.0.1. The host
// welcomes the client, streams a world record of many block changes into the client's
// own World and says Ready; the client then asks for one edit. "--nettest" runs it and
// the benchmarks time it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/net_session.h"

struct LoopbackJoinOptions {
  uint16_t port = 27891;  // 0: any free port
  size_t changes = 12000;
  int maxPasses = 1500;
  bool sleepEachPass = true;  // 1 ms after every pass, as a frame would
  NetClock clock = steadySeconds;
};

struct LoopbackJoinResult {
  std::string hostError;    // non-empty: the host did not start
  std::string clientError;  // non-empty: the client did not start
  bool joined = false;      // the host saw the client join
  bool welcomed = false;    // the client got Welcome with the expected seed and spawn
  bool ready = false;
  bool editRequest = false;  // the host received the client's edit request
  bool world = false;        // the last change reads back from the client's world
  size_t editsReceived = 0;
  size_t editsExpected = 0;
  int passes = 0;

  bool passed() const {
    return hostError.empty() && clientError.empty() && joined && welcomed && ready && editRequest &&
           world && editsReceived == editsExpected;
  }
};

// Runs the join; never throws. Entry i of the changes is (i, 20, 2i), block 3, no level.
LoopbackJoinResult runLoopbackJoin(const LoopbackJoinOptions& options = {});
