#pragma once
// The world-core, persistence and gameplay self test ("--selftest"). Each area of the
// game registers its checks from its own file with a SelfTestArea object; the runner
// builds one world from the test seed and runs every area over it in order.

#include <cstddef>

class World;

inline constexpr unsigned kTestSeed = 20261018;

struct SelfTestRun {
  World& world;
  size_t vertices = 0;  // meshing checks add what they built
  size_t indices = 0;
  int failures = 0;

  // Counts a failed check and prints "FAIL: <description>". Returns `ok`.
  bool check(bool ok, const char* description);
};

using SelfTestFn = void (*)(SelfTestRun&);

// Registers an area at static-initialisation time. Areas run in ascending `order`.
struct SelfTestArea {
  SelfTestArea(int order, const char* name, SelfTestFn run);
};

// Runs every registered area over a fresh world of the test seed, prints the summary
// line and returns the exit status (1 when any check failed).
int runSelfTest();
