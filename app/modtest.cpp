// "--modtest": writes three real mod packages into the folder "modtest" of the working
// folder, loads them against a TestModContext, checks the scripting interface, the event
// dispatch and the instruction budget, then removes the folder again.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/headless_modes.h"
#include "mods/mod_context.h"
#include "mods/mod_manager.h"
#include "mods/modtest_packages.h"
#include "world/block_registry.h"

namespace {

struct ModTestRun {
  int failures = 0;

  bool check(bool ok, const char* description) {
    if (!ok) {
      ++failures;
      std::printf("FAIL: %s\n", description);
    }
    return ok;
  }
};

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool hasMessage(const TestModContext& context, const std::string& text) {
  for (const std::string& message : context.messages) {
    if (message == text) return true;
  }
  return false;
}

}  // namespace

int runModTest() {
  namespace fs = std::filesystem;
  ModTestRun run;
  const fs::path folder = "modtest";
  std::error_code ec;
  fs::remove_all(folder, ec);
  std::string error;
  run.check(writeModTestPackages(folder.string(), error), "the test packages are written");

  TestModContext context;
  ModManager manager;
  manager.loadMods(folder.string(), &context);
  const int loaded = static_cast<int>(manager.modCount());
  run.check(loaded == 3, "three mods load");

  const BlockId gem = findBlock("test:gem");
  const bool gemRegistered = gem != kNoBlock && blockDef(gem).id == "test:gem";
  run.check(gemRegistered, "test:gem is registered");
  run.check(readFile(folder / "aaa_good" / "state.json") == "{\"ok\":true}",
            "state.json holds the written text");

  std::string reply;
  const bool handled = manager.runModCommand("gem", "", "tester", reply);
  const bool commandRight = handled && reply == "gave gem to tester";
  run.check(commandRight, "the gem command answers");

  const bool breakCancelled = !manager.fireBlockBreak(3, 20, 4, "orvane:grass", 1, "tester");
  run.check(breakCancelled, "breaking grass is cancelled");
  run.check(manager.fireBlockPlace(3, 20, 4, "orvane:stone", 1, "tester"),
            "placing stone is allowed");

  manager.firePlayerJoin(7, "Tester");
  run.check(hasMessage(context, "joined Tester"), "the join handler sends its message");

  manager.fireTick(0.05);  // the endless tick handler is stopped by its budget
  run.check(manager.enabled() && manager.modCount() == 3, "the mods stay loaded after a tick");

  manager.unloadMods();
  fs::remove_all(folder, ec);
  const bool zipGemRegistered = findBlock("test:zip_gem") != kNoBlock;
  run.check(zipGemRegistered, "test:zip_gem stays registered after unloading");
  run.check(!fs::exists(folder), "the modtest folder is removed");

  std::printf("modtest: mods=%d block=%d archive=%d command=%d cancel=%d budget=ok failures=%d\n",
              loaded, gemRegistered ? 1 : 0, zipGemRegistered ? 1 : 0, commandRight ? 1 : 0,
              breakCancelled ? 1 : 0, run.failures);
  return run.failures == 0 ? 0 : 1;
}
