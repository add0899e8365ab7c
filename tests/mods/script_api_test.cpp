// The scripting interface: register_block and its textures, commands, the event
// dispatch, the data files and the argument rules.

#include "tests/mods/mod_test_support.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

class ModScripting : public ModFolderTest {
 protected:
  std::string loadOne(const std::string& name, const std::string& script) {
    addMod(name, script);
    return load();
  }
  const BlockDef& block(const std::string& id) {
    const BlockId found = findBlock(id);
    EXPECT_NE(found, kNoBlock) << id;
    return blockDef(found);
  }
};

}  // namespace

TEST_F(ModScripting, RegisterBlockFillsInTheDefinition) {
  const std::string errors = loadOne("rbmod", R"(
    assert(orva.register_block({ id = "ore", side = "stone" }) == "rbmod:ore")
    assert(orva.register_block({ id = "ore", texture = "dirt" }) == "rbmod:ore")
    orva.register_block({ id = "rbx:glass", name = "Clear Glass", texture = "glass.png",
                          solid = false, opaque = 0, cutout = 1, hardness = 0.25 })
    orva.register_block({ id = "rbx:crate", top = "crate_top.png", side = "Crate Side!.png",
                          drop = "planks" })
    orva.register_block({ id = "rbx:odd", texture = "sand", drop = "no_such_block" })
    local ok, err = pcall(orva.register_block, { texture = "stone" })
    assert(not ok and err:find("register_block: 'id' is required", 1, true))
    ok, err = pcall(orva.register_block, { id = "rbx:bare" })
    assert(not ok and err:find("register_block: 'texture' is required", 1, true))
  )");
  EXPECT_NE(errors.find("[mod:rbmod] block rbmod:ore already registered\n"), std::string::npos);
  EXPECT_NE(errors.find("[mod:rbmod] unknown drop no_such_block\n"), std::string::npos);
  ASSERT_EQ(manager.modCount(), 1u) << errors;

  const BlockDef& ore = block("rbmod:ore");
  EXPECT_EQ(ore.name, "ore");
  EXPECT_TRUE(ore.solid && ore.opaque && !ore.cutout && !ore.fluid);
  EXPECT_FLOAT_EQ(ore.hardness, 1.0f);
  EXPECT_EQ(ore.textureTop, kTexStone);
  EXPECT_EQ(ore.textureSide, kTexStone);
  EXPECT_EQ(ore.textureBottom, kTexStone);
  EXPECT_EQ(ore.drop, findBlock("rbmod:ore"));

  const BlockDef& glass = block("rbx:glass");
  EXPECT_EQ(glass.name, "Clear Glass");
  EXPECT_TRUE(!glass.solid && glass.opaque && glass.cutout);
  EXPECT_FLOAT_EQ(glass.hardness, 0.25f);
  BlockRegistry& registry = blocks();
  EXPECT_EQ(registry.textureName(glass.textureTop), "rbmod_glass");
  const fs::path root = manager.mod(0).rootFolder;
  EXPECT_EQ(registry.textureSource(glass.textureTop), (root / "glass.png").string());

  const BlockDef& crate = block("rbx:crate");
  EXPECT_EQ(registry.textureName(crate.textureTop), "rbmod_crate_top");
  EXPECT_EQ(registry.textureName(crate.textureSide), "rbmod_crateside");
  EXPECT_EQ(crate.textureBottom, crate.textureTop);
  EXPECT_EQ(crate.drop, kBlockPlanks);
  EXPECT_EQ(block("rbx:odd").drop, findBlock("rbx:odd"));
}

TEST_F(ModScripting, BreakHandlersCancelOnlyTheirBlocks) {
  addMod("a", R"(
    on_block_break(function(e)
      orva.log(e.block .. " " .. e.x .. "," .. e.y .. "," .. e.z .. " " .. e.player ..
               " " .. e.player_id .. " " .. tostring(e.cancelled))
      if e.block == "orvane:grass" then e.cancelled = true end
    end)
    on_block_break(function(e) orva.log("second " .. e.block) end)
    on_block_place(function(e) error("place handler breaks") end)
  )");
  addMod("b", "on_block_break(function(e) orva.log('b ' .. e.block) end)");
  load();
  EXPECT_FALSE(manager.fireBlockBreak(1, 2, 3, "orvane:grass", 9, "Ann"));
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[a] orvane:grass 1,2,3 Ann 9 false"});
  context.logLines.clear();
  EXPECT_TRUE(manager.fireBlockBreak(-4, 5, 6, "orvane:stone", 9, "Ann"));
  EXPECT_EQ(context.logLines,
            (std::vector<std::string>{"[a] orvane:stone -4,5,6 Ann 9 false",
                                      "[a] second orvane:stone", "[b] b orvane:stone"}));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(manager.fireBlockPlace(0, 0, 0, "orvane:stone", 1, "Ann"));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("[mod:a] block event failed: "),
            std::string::npos);

  manager.unloadMods();
  EXPECT_TRUE(manager.fireBlockBreak(1, 2, 3, "orvane:grass", 9, "Ann"));
}

TEST_F(ModScripting, CommandsAndPlayerEvents) {
  addMod("a", R"(
    orva.register_command("/GreeT", function(args, player) return "hi " .. player .. args end)
    orva.register_command("quiet", function() end)
    orva.register_command("num", function() return 42 end)
    orva.register_command("boom", function() error("bad") end)
    on_player_join(function(e) orva.message("joined " .. e.player .. " " .. e.id) end)
    on_player_leave(function(e) orva.message("left " .. e.player) end)
  )");
  addMod("b", R"(
    -- "greet" is mod a's: taking it is refused
    assert(not pcall(orva.register_command, "greet", function() return "from b" end))
    orva.register_command("twice", function() return "old" end)
    orva.register_command("twice", function() return "new" end)
  )");
  load();
  std::string reply;
  EXPECT_TRUE(manager.runModCommand("greet", " there", "Bo", reply));
  EXPECT_EQ(reply, "hi Bo there");
  EXPECT_TRUE(manager.runModCommand("quiet", "", "Bo", reply));
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(manager.runModCommand("num", "", "Bo", reply));
  EXPECT_EQ(reply, "42");
  EXPECT_TRUE(manager.runModCommand("twice", "", "Bo", reply));
  EXPECT_EQ(reply, "new");
  EXPECT_FALSE(manager.runModCommand("GREET", "", "Bo", reply));
  EXPECT_FALSE(manager.runModCommand("nothing", "", "Bo", reply));
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(manager.runModCommand("boom", "", "Bo", reply));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("[mod:a] command failed: "),
            std::string::npos);
  EXPECT_EQ(reply, "");

  manager.firePlayerJoin(7, "Tester");
  manager.firePlayerLeave(7, "Tester");
  EXPECT_EQ(context.messages, (std::vector<std::string>{"joined Tester 7", "left Tester"}));
}

TEST_F(ModScripting, DataFilesStayInTheDataFolder) {
  writeText(folder.path() / "outside.txt", "secret");
  const std::string errors = loadOne("store", R"(
    assert(orva.data_write("notes/today.txt", "a\0b") == true)
    assert(orva.data_read("notes\\today.txt") == "a\0b")
    assert(orva.data_write("notes/today.txt", "second") == true)
    assert(orva.data_read("notes/today.txt") == "second")
    assert(orva.data_read("missing.txt") == nil)
    for _, bad in ipairs({"../escape", "..\\escape", "/tmp/x", "c:x", "a/./b", "dir/", ""}) do
      assert(orva.data_write(bad, "x") == false, bad)
      assert(orva.data_read(bad) == nil, bad)
    end
    assert(orva.data_read("../outside.txt") == nil)
    orva.log(orva.data_dir())
  )");
  ASSERT_EQ(manager.modCount(), 1u) << errors;
  const fs::path data = folder.path() / "store";
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[store] " + data.string()});
  EXPECT_EQ(readText(data / "notes" / "today.txt"), "second");
  EXPECT_FALSE(fs::exists(data / "notes" / "today.txt.tmp"));
  EXPECT_FALSE(fs::exists(folder.path() / "escape"));
  EXPECT_EQ(readText(folder.path() / "outside.txt"), "secret");
}

TEST_F(ModScripting, FailedWriteKeepsTheOldFile) {
  writeText(folder.path() / "keep" / "state.txt", "old");
  fs::create_directories(folder.path() / "keep" / "state.txt.tmp" / "blocker");
  loadOne("keep", R"(
    assert(orva.data_write("state.txt", "new") == false)
    assert(orva.data_read("state.txt") == "old")
  )");
  EXPECT_EQ(manager.modCount(), 1u);
  EXPECT_EQ(readText(folder.path() / "keep" / "state.txt"), "old");
}

TEST_F(ModScripting, ArgumentRulesAndPrint) {
  const std::string errors = loadOne("args", R"(
    assert(orva.get_block(1.0, 2, 3) == "orvane:stone")
    assert(not pcall(orva.get_block, 1.5, 2, 3))
    assert(not pcall(orva.get_block, 2^40, 2, 3))
    assert(not pcall(orva.set_block, 1, 2, 3, {}))
    assert(orva.set_block(1, 2, 3, 12) == true)
    assert(orva.give("orvane:stone") == true)
    assert(not pcall(on_tick, "not a function"))
    assert(not pcall(orva.register_command, "x", 5))
    assert(orva.is_host() == true)
    print("a", 1, nil, true)
  )");
  EXPECT_EQ(errors, "");
  EXPECT_EQ(context.lastSetBlock, "12");
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[args] a\t1\tnil\ttrue"});
}

TEST(ModScriptingWithoutContext, RegisteringNeedsAContext) {
  TempFolder folder;
  std::string error;
  writeZip((folder.path() / "lone.mod.orvac").string(), {{"main.lua", R"(
              assert(orva.get_block(0, 0, 0) == nil and orva.data_dir() == nil)
              assert(orva.set_block(0, 0, 0, "orvane:stone") == false)
              local x, y, z = orva.player_position()
              assert(x == 0 and y == 0 and z == 0 and orva.is_host() == false)
              orva.message("nobody hears this")
              local ok, err = pcall(on_tick, function() end)
              assert(not ok and err:find("no mod context", 1, true))
              ok, err = pcall(orva.register_block, { id = "lone:b", texture = "stone" })
              assert(not ok and err:find("no mod context", 1, true))
            )"}},
           error);
  ModManager manager;
  ::testing::internal::CaptureStderr();
  manager.loadMods(folder.path().string(), nullptr);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(manager.modCount(), 1u) << errors;
  EXPECT_EQ(findBlock("lone:b"), kNoBlock);
}
