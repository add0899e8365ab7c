// "--nettest": a host and a client in this process join over the loopback address; the
// client downloads a world record of 12000 changes and asks for one edit.

#include <cstdio>

#include "app/headless_modes.h"
#include "net/loopback_join.h"

int runNetTest() {
  const LoopbackJoinResult r = runLoopbackJoin();
  if (!r.hostError.empty()) {
    std::printf("nettest: host failed: %s\n", r.hostError.c_str());
    return 1;
  }
  if (!r.clientError.empty()) {
    std::printf("nettest: client failed: %s\n", r.clientError.c_str());
    return 1;
  }
  const int failures = r.passed() ? 0 : 1;
  std::printf(
      "nettest: joined=%d welcomed=%d ready=%d edits=%zu/%zu editRequest=%d world=%d "
      "failures=%d\n",
      r.joined ? 1 : 0, r.welcomed ? 1 : 0, r.ready ? 1 : 0, r.editsReceived, r.editsExpected,
      r.editRequest ? 1 : 0, r.world ? 1 : 0, failures);
  return failures;
}
