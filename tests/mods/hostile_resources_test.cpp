// Hostile mods that try to exhaust what the game keeps or touches on their behalf:
// huge names the game would store, files planted in the data folder, floods of output
// and chat, and packages that unpack into a maze of folders or a huge main.lua.

#include <sys/stat.h>

#include "tests/mods/mod_test_support.h"

namespace fs = std::filesystem;

namespace {

class HostileResources : public ModFolderTest {
 protected:
  std::string loadOne(const std::string& script) {
    addMod("m", script);
    return load();
  }
  std::string tick() {
    ::testing::internal::CaptureStderr();
    manager.fireTick(0.05);
    return ::testing::internal::GetCapturedStderr();
  }
};

}  // namespace

TEST_F(HostileResources, StoredNamesAndRegistrationsAreBounded) {
  const std::string errors = loadOne(R"(
    local huge = string.rep("n", 1 << 20)
    local ok, err = pcall(orva.register_command, huge, function() end)
    assert(not ok and err:find("register_command: name is too long", 1, true), err)
    ok, err = pcall(orva.register_block, {id = huge, texture = "stone"})
    assert(not ok and err:find("register_block: 'id' is too long", 1, true), err)
    ok, err = pcall(orva.register_block, {id = "fine", texture = huge})
    assert(not ok and err:find("register_block: 'texture' is too long", 1, true), err)
    local refused = 0
    for i = 1, 300 do
      if not pcall(orva.register_command, "c" .. i, function() end) then refused = refused + 1 end
    end
    assert(refused == 44, refused)
    orva.register_command("c1", function() return "replaced" end)  -- replacing still works
  )");
  ASSERT_EQ(manager.modCount(), 1u) << errors;
  EXPECT_EQ(manager.mod(0).commands.size(), kModMaxCommands);
  std::string reply;
  EXPECT_TRUE(manager.runModCommand("c1", "", "p", reply));
  EXPECT_EQ(reply, "replaced");
  EXPECT_LE(manager.mod(0).bytesInUse, kModMemoryLimit);
}

TEST_F(HostileResources, PlantedLinksAndFifosInTheDataFolderAreNotFollowed) {
  const fs::path data = folder.path() / "m";
  const fs::path outside = folder.path() / "outside";
  fs::create_directories(data);
  fs::create_directories(outside);
  writeText(outside / "secret.txt", "secret");
  writeText(outside / "victim.txt", "victim");
  fs::create_symlink(outside / "secret.txt", data / "leak.txt");
  fs::create_symlink(outside / "victim.txt", data / "out.txt");
  fs::create_symlink(outside / "victim.txt", data / "state.txt.tmp");
  fs::create_directory_symlink(outside, data / "sub");
  ASSERT_EQ(mkfifo((data / "pipe").c_str(), 0600), 0);
  const std::string errors = loadOne(R"(
    assert(orva.data_read("leak.txt") == nil)
    assert(orva.data_read("pipe") == nil)
    assert(orva.data_read("sub/secret.txt") == nil)
    assert(orva.data_write("sub/new.txt", "x") == false)
    assert(orva.data_write("out.txt", "mine") == true)
    assert(orva.data_write("state.txt", "saved") == true)
    assert(orva.data_read("state.txt") == "saved")
  )");
  ASSERT_EQ(manager.modCount(), 1u) << errors;
  EXPECT_EQ(readText(outside / "secret.txt"), "secret");
  EXPECT_EQ(readText(outside / "victim.txt"), "victim");
  EXPECT_FALSE(fs::exists(outside / "new.txt"));
  EXPECT_FALSE(fs::is_symlink(data / "out.txt"));
  EXPECT_EQ(readText(data / "out.txt"), "mine");
  EXPECT_EQ(readText(data / "state.txt"), "saved");
}

TEST_F(HostileResources, OutputAndChatAreEscapedAndCapped) {
  const std::string errors = loadOne(R"(
    print("line\n[mod:other] forged\27[31m", "tab")
    local big = "\n[mod:x] " .. string.rep("e", 20000)  -- each report is cut to 8 KiB
    for i = 1, 100 do on_tick(function() error(big, 0) end) end
    on_player_join(function()
      orva.message(string.rep("m", 1 << 20))
      for i = 1, 100 do orva.message("spam") end
    end)
  )");
  ASSERT_EQ(manager.modCount(), 1u) << errors;
  EXPECT_EQ(context.logLines,
            std::vector<std::string>{"[m] line\\n[mod:other] forged\\x1b[31m\ttab"});
  const std::string ticked = tick();
  EXPECT_LT(ticked.size(), 2 * kModOutputBytesPerSecond);
  EXPECT_EQ(ticked.find("\n[mod:x]"), std::string::npos);
  EXPECT_NE(ticked.find("\\n[mod:x] eee"), std::string::npos);
  // The flood ends at the output cap, or first at the tick's deadline on a slow build.
  EXPECT_TRUE(ticked.find("[mod:m] too much output") != std::string::npos ||
              ticked.find("[mod:m] used up the time of a tick event") != std::string::npos)
      << ticked.size() << " bytes";
  manager.firePlayerJoin(1, "p");
  ASSERT_EQ(context.messages.size(), static_cast<size_t>(kModMessagesPerSecond));
  EXPECT_EQ(context.messages[0].size(), kModMaxMessageLength);
}

TEST_F(HostileResources, HeavyPackagesFailAloneWithAClearError) {
  std::string deep;
  for (int i = 0; i < 60; ++i) deep += "d/";
  addPackage("a_deep.mod.orvac", {{"main.lua", "orva.log('deep')"}, {deep + "x.txt", "x"}});
  std::vector<ZipEntry> wide = {{"main.lua", "orva.log('wide')"}};
  for (int i = 0; i < 1100; ++i) wide.push_back({"f" + std::to_string(i) + "/x.txt", "x"});
  addPackage("b_wide.mod.orvac", wide);
  addPackage("c_big.mod.orvac", {{"main.lua", std::string(kMaxMainLuaBytes + 1, ' ')}});
  addMod("d_fine", "orva.log('fine')");
  const std::string errors = load();
  EXPECT_NE(errors.find("[mod:a_deep] zip folders are too deep\n"), std::string::npos) << errors;
  EXPECT_NE(errors.find("[mod:b_wide] zip has too many folders\n"), std::string::npos);
  EXPECT_NE(errors.find("[mod:c_big] main.lua is too large\n"), std::string::npos);
  EXPECT_EQ(manager.modNames(), std::vector<std::string>{"d_fine"});
  EXPECT_FALSE(fs::exists(folder.path() / ".cache" / "a_deep" / "d"));
}
