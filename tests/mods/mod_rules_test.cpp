// What mods may not do to each other or to the game: take another mod's time, names or
// disk, hide their trouble from the player, or act on the wrong player.

#include <chrono>
#include <thread>

#include "tests/mods/mod_test_support.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Far above what one event may take, only to catch a hang.
constexpr double kHang = 2.0;

// A tick handler that runs until the time limit stops it: big allocations, few
// instructions, so the instruction budget is not what ends it.
constexpr const char* kSlowLoop = "for i = 1, 1e9 do local s = string.rep('x', 1 << 23) end";

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class ModRules : public ModFolderTest {
 protected:
  std::string tick(double* seconds = nullptr) {
    ::testing::internal::CaptureStderr();
    const auto start = Clock::now();
    manager.fireTick(0.05);
    if (seconds) *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return ::testing::internal::GetCapturedStderr();
  }
  bool noticed(const std::string& line) const {
    return std::find(context.notices.begin(), context.notices.end(), line) != context.notices.end();
  }
};

}  // namespace

TEST_F(ModRules, ASlowModCannotStarveTheModsAfterItAndThreeSlowTicksSwitchItOff) {
  addMod("a_slow", std::string(R"(
    orva.register_block({id = "brick", texture = "stone"})
    orva.register_command("slow", function() return "still here" end)
    on_tick(function() )") +
                       kSlowLoop + R"( end)
    on_tick(function() orva.log("second handler of the slow mod") end)
  )");
  addMod("b_good", R"(
    local ticks = 0
    on_tick(function() ticks = ticks + 1; orva.log("tick " .. ticks) end)
  )");
  // Slow on every tick but the third: never three in a row.
  addMod("c_flaky", std::string(R"(
    local ticks = 0
    on_tick(function() ticks = ticks + 1; if ticks ~= 3 then )") +
                        kSlowLoop + R"( end end)
  )");
  const std::string loaded = load();
  ASSERT_EQ(manager.modCount(), 3u) << loaded;

  std::string errors;
  for (int i = 0; i < 3; ++i) {
    double seconds = 0;
    errors += tick(&seconds);
    EXPECT_LT(seconds, kHang);
  }
  // The well-behaved mod had every tick; the slow mod's second handler sat them out.
  EXPECT_EQ(context.logLines,
            (std::vector<std::string>{"[b_good] tick 1", "[b_good] tick 2", "[b_good] tick 3"}));
  EXPECT_NE(errors.find("[mod:a_slow] tick failed: "), std::string::npos);
  EXPECT_NE(errors.find("time limit exceeded"), std::string::npos);
  EXPECT_EQ(count(errors, "[mod:a_slow] switched off"), 1u) << errors;
  EXPECT_TRUE(manager.switchedOff("a_slow"));
  EXPECT_FALSE(manager.switchedOff("c_flaky"));
  EXPECT_EQ(context.notices,
            std::vector<std::string>{"Mod a_slow was switched off: it ran too long"});

  // Switched off: no commands, no handlers; its block and its place in the list stay.
  std::string reply;
  EXPECT_FALSE(manager.runModCommand("slow", "", "p", reply));
  EXPECT_NE(findBlock("a_slow:brick"), kNoBlock);
  EXPECT_EQ(manager.modNames(), (std::vector<std::string>{"a_slow", "b_good", "c_flaky"}));
  double seconds = 0;
  errors = tick(&seconds);
  EXPECT_EQ(errors.find("[mod:a_slow]"), std::string::npos);
  EXPECT_EQ(context.logLines.back(), "[b_good] tick 4");
}

TEST_F(ModRules, BlocksTexturesAndCommandsBelongToTheirMod) {
  context.builtinCommands = {"help", "give"};
  addMod("a_thief", R"(
    local function refusal(f, ...)
      local ok, err = pcall(f, ...)
      assert(not ok, "accepted")
      return err
    end
    local err = refusal(orva.register_block, {id = "z_witness:gem", texture = "stone"})
    assert(err:find("mod 'a_thief' cannot take 'z_witness:gem' from mod 'z_witness'", 1, true), err)
    err = refusal(orva.register_block, {id = "orvane:stone", texture = "stone"})
    assert(err:find("mod 'a_thief' cannot take 'orvane:stone' from the game", 1, true), err)
    err = refusal(orva.register_block, {id = "Ruby", texture = "stone"})
    assert(err:find("'a_thief:Ruby' has capital letters", 1, true), err)
    err = refusal(orva.register_command, "/HELP", function() end)
    assert(err:find("mod 'a_thief' cannot take 'help' from the game", 1, true), err)
    assert(orva.register_block({id = "unclaimed:ore", texture = "stone"}) == "unclaimed:ore")
    orva.register_command("gem", function() return "thief" end)
    orva.register_command("gem", function() return "thief again" end)  -- its own: replaced
  )");
  addMod("grass", R"(
    local ok, err = pcall(orva.register_block, {id = "turf", texture = "top.png"})
    assert(not ok and err:find("cannot take the texture 'grass_top' from the game", 1, true), err)
  )");
  addMod("z_witness", R"(
    assert(orva.register_block({id = "gem", texture = "stone"}) == "z_witness:gem")
    local ok, err = pcall(orva.register_block, {id = "unclaimed:ore", texture = "stone"})
    assert(not ok and err:find("cannot take 'unclaimed:ore' from mod 'a_thief'", 1, true), err)
    ok, err = pcall(orva.register_command, "Gem", function() end)
    assert(not ok and err:find("mod 'z_witness' cannot take 'gem' from mod 'a_thief'", 1, true),
           err)
  )");
  const std::string errors = load();
  ASSERT_EQ(manager.modCount(), 3u) << errors;
  EXPECT_EQ(blockDef(findBlock("z_witness:gem")).name, "gem");
  EXPECT_EQ(blocks().textureSource(kTexGrassTop), "");  // the built-in image stays
  std::string reply;
  EXPECT_TRUE(manager.runModCommand("gem", "", "p", reply));
  EXPECT_EQ(reply, "thief again");
}

TEST_F(ModRules, TheDataFolderIsBoundedAndKeepsWhatItHolds) {
  // Planted before the session: nearly 64 MiB in "m", 4095 files in "n".
  const fs::path m = folder.path() / "m";
  writeText(m / "keep.txt", "kept");
  writeText(m / "big.bin", "");
  fs::resize_file(m / "big.bin", kModDataMaxBytes - 100);
  for (int i = 0; i < 4095; ++i) writeText(folder.path() / "n" / std::to_string(i), "f");
  addMod("m", R"(
    local deep = string.rep("d/", 16) .. "leaf"
    assert(orva.data_write(deep, "ok"))
    assert(not orva.data_write("d/" .. deep, "too deep"))
    assert(orva.data_write(string.rep("n", 251), "fits"))
    assert(not orva.data_write(string.rep("n", 252), "name too long"))
    assert(not orva.data_write(string.rep(string.rep("p", 100) .. "/", 11) .. "x", "path"))
    assert(orva.data_write("small", string.rep("s", 50)))
    assert(not orva.data_write("more", string.rep("s", 50)))
    assert(not orva.data_write("keep.txt", string.rep("k", 100)))
    assert(orva.data_write("small", string.rep("s", 60)))  -- replacing frees the old bytes
  )");
  addMod("n", R"(
    assert(orva.data_write("new", "x"))
    assert(not orva.data_write("another", "x"))
    assert(not orva.data_write("sub/file", "x"))
    assert(orva.data_write("1", "rewritten"))
  )");
  const std::string errors = load();
  ASSERT_EQ(manager.modCount(), 2u) << errors;
  EXPECT_EQ(count(errors, "[mod:m] data_write refused: "), 1u) << errors;
  EXPECT_EQ(count(errors, "[mod:n] data_write refused: "), 1u) << errors;
  EXPECT_EQ(readText(m / "keep.txt"), "kept");
  EXPECT_FALSE(fs::exists(m / "more"));
  EXPECT_FALSE(fs::exists(folder.path() / "n" / "another"));
  EXPECT_FALSE(fs::exists(folder.path() / "n" / "sub"));
  EXPECT_EQ(readText(folder.path() / "n" / "1"), "rewritten");
}

TEST_F(ModRules, TroubleShowsInTheGameAndRepeatedFailuresAreCounted) {
  addMod("a_broken", "error('no')");
  addMod("b_fails", R"(
    on_tick(function() error("every tick") end)
    orva.register_command("boom", function() error("bang") end)
  )");
  load();
  EXPECT_EQ(manager.failedModNames(), std::vector<std::string>{"a_broken"});
  EXPECT_TRUE(noticed("Mod a_broken failed to load; see the console"));
  std::string reply;
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(manager.runModCommand("boom", "", "p", reply));
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(noticed("Mod b_fails: a command failed; see the console"));

  std::string errors;
  for (int i = 0; i < 30; ++i) errors += tick();
  EXPECT_EQ(count(errors, "[mod:b_fails] tick failed: "), 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(1050));
  errors = tick();
  EXPECT_NE(errors.find("[mod:b_fails] tick failed 29 more times since the last report"),
            std::string::npos)
      << errors;
  EXPECT_EQ(count(errors, "[mod:b_fails] tick failed: "), 1u);
}

TEST_F(ModRules, CallsActForThePlayerOfTheEventAndHostCommandsAreMarked) {
  addMod("m", R"(
    on_block_break(function(e) orva.message(e.player .. ": no lava here") end)
    on_tick(function() orva.message("tick line") end)
    on_player_join(function(e) orva.broadcast("welcome " .. e.player) end)
    orva.register_command("tally", function(args, player)
      orva.message("counted")
      return player .. " has 3"
    end, {host = true})
    orva.register_command("local", function() return "here" end)
  )");
  const std::string errors = load();
  ASSERT_EQ(manager.modCount(), 1u) << errors;
  manager.fireBlockBreak(1, 2, 3, "orvane:stone", 7, "Bea");
  manager.fireTick(0.05);
  manager.firePlayerJoin(8, "Cy");
  EXPECT_EQ(context.playerMessages, std::vector<std::string>{"Bea: Bea: no lava here"});
  EXPECT_EQ(context.messages.back(), "tick line");
  EXPECT_EQ(context.broadcasts, std::vector<std::string>{"welcome Cy"});
  EXPECT_TRUE(manager.isHostCommand("tally"));
  EXPECT_FALSE(manager.isHostCommand("local"));
  EXPECT_FALSE(manager.isHostCommand("nothing"));
  std::string reply;
  EXPECT_TRUE(manager.runModCommand("tally", "", "Bea", reply, 7));
  EXPECT_EQ(reply, "Bea has 3");
  EXPECT_EQ(context.playerMessages.back(), "Bea: counted");
  EXPECT_EQ(context.eventPlayer, "");  // nobody once the call is over
}
