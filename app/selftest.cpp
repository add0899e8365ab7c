#include "app/selftest.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "world/world.h"

namespace {

struct AreaEntry {
  int order;
  const char* name;
  SelfTestFn run;
};

std::vector<AreaEntry>& areas() {
  static std::vector<AreaEntry> list;
  return list;
}

}  // namespace

SelfTestArea::SelfTestArea(int order, const char* name, SelfTestFn run) {
  areas().push_back({order, name, run});
}

bool SelfTestRun::check(bool ok, const char* description) {
  if (!ok) {
    ++failures;
    std::printf("FAIL: %s\n", description);
  }
  return ok;
}

int runSelfTest() {
  World world(kTestSeed);
  SelfTestRun run{world};
  std::vector<AreaEntry> ordered = areas();
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const AreaEntry& a, const AreaEntry& b) { return a.order < b.order; });
  for (const AreaEntry& area : ordered) area.run(run);
  std::printf("selftest: chunks=%d vertices=%zu indices=%zu failures=%d\n",
              static_cast<int>(world.loadedChunkCount()), run.vertices, run.indices, run.failures);
  std::fflush(stdout);
  return run.failures > 0 ? 1 : 0;
}
