// The example mods of examples/mods and every Lua snippet of docs/modding.md, packed
// into real packages, loaded by the mod manager and exercised, so that neither the
// examples nor the guide drift away from the game.

#include <map>
#include <sstream>

#include "render/texture_set.h"
#include "tests/mods/mod_test_support.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSourceDir = ORVANE_SOURCE_DIR;

// Every regular file below `folder`, named relative to it, as package entries.
std::vector<ZipEntry> entriesOf(const fs::path& folder) {
  std::vector<ZipEntry> entries;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (!item.is_regular_file()) continue;
    entries.push_back({fs::relative(item.path(), folder).generic_string(), readText(item.path())});
  }
  return entries;
}

class ExampleMods : public ModFolderTest {
 protected:
  // Packs examples/mods/<name> into <name>.mod.orvac and loads the mods folder; the
  // examples must load without a word on standard error.
  void loadExample(const std::string& name) {
    addPackage(name + ".mod.orvac", entriesOf(kSourceDir / "examples" / "mods" / name));
    EXPECT_EQ(load(), "");
    ASSERT_EQ(manager.modNames(), std::vector<std::string>{name});
  }
  std::string command(const std::string& word, const std::string& arguments) {
    std::string reply;
    EXPECT_TRUE(manager.runModCommand(word, arguments, "Alex", reply)) << word;
    return reply;
  }
};

}  // namespace

TEST_F(ExampleMods, GemsAddTexturedBlocksThatDropARuby) {
  loadExample("gems");
  const BlockId ruby = findBlock("gems:ruby");
  const BlockId ore = findBlock("gems:ruby_ore");
  ASSERT_NE(ruby, kNoBlock);
  ASSERT_NE(ore, kNoBlock);
  EXPECT_EQ(blockDef(ore).drop, ruby);
  EXPECT_EQ(blockDef(ruby).drop, ruby);
  EXPECT_EQ(blockDef(ore).name, "Ruby Ore");
  EXPECT_EQ(blockDef(ore).textureBottom, kTexStone);
  EXPECT_EQ(blockDef(ore).textureTop, blockDef(ore).textureSide);

  // The textures are the package's own 16 x 16 images, named after the mod and file.
  const BlockRegistry& registry = blocks();
  for (const auto& [layer, name] : {std::pair{blockDef(ruby).textureSide, "gems_ruby"},
                                    std::pair{blockDef(ore).textureSide, "gems_ruby_ore"}}) {
    EXPECT_EQ(registry.textureName(layer), name);
    const std::string bytes = readText(registry.textureSource(layer));
    const auto image = decodeImage(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_TRUE(image.has_value()) << registry.textureSource(layer);
    EXPECT_EQ(image->width, 16u);
    EXPECT_EQ(image->height, 16u);
  }
  EXPECT_EQ(context.logLines,
            std::vector<std::string>{"[gems] gems ready: gems:ruby and gems:ruby_ore"});
}

TEST_F(ExampleMods, PillarCommandReadsItsArguments) {
  loadExample("pillar");
  EXPECT_EQ(command("pillar", "orvane:bricks 3"), "Built a pillar of 3 orvane:bricks");
  EXPECT_EQ(context.lastSetBlock, "orvane:bricks");
  EXPECT_EQ(context.logLines,
            std::vector<std::string>{"[pillar] Alex built a pillar of 3 orvane:bricks"});
  EXPECT_EQ(command("pillar", "stone"), "Built a pillar of 4 stone");
  EXPECT_EQ(command("pillar", "stone 16  "), "Built a pillar of 16 stone");
  for (const char* badHeight : {"stone 17", "stone 0", "stone 2.5", "stone high"}) {
    EXPECT_EQ(command("pillar", badHeight), "Height must be a whole number from 1 to 16");
  }
  EXPECT_EQ(command("pillar", ""), "Usage: /pillar <block> [height]");
}

TEST_F(ExampleMods, ProtectCancelsBreakingInsideItsAreaAndKeepsCounts) {
  loadExample("protect");
  // The area spans x and z from -16 to 15 at every height.
  EXPECT_FALSE(manager.fireBlockBreak(0, 30, 0, "orvane:stone", 2, "Alex"));
  EXPECT_FALSE(manager.fireBlockBreak(-16, 0, 15, "orvane:grass", 2, "Alex"));
  EXPECT_FALSE(manager.fireBlockBreak(15, 63, -16, "orvane:grass", 2, "Alex"));
  EXPECT_TRUE(manager.fireBlockBreak(16, 30, 0, "orvane:stone", 2, "Alex"));
  EXPECT_TRUE(manager.fireBlockBreak(0, 30, -17, "orvane:stone", 2, "Alex"));
  EXPECT_TRUE(manager.fireBlockBreak(500, 5, 500, "orvane:dirt", 2, "Alex"));
  EXPECT_TRUE(manager.fireBlockPlace(0, 30, 0, "orvane:planks", 2, "Alex"));
  manager.firePlayerJoin(7, "Bea");
  EXPECT_EQ(context.messages,
            (std::vector<std::string>{
                "Alex: this area is protected", "Alex: this area is protected",
                "Alex: this area is protected", "Welcome, Bea! The spawn area is protected."}));
  const fs::path counts = folder.path() / "protect" / "counts.txt";
  EXPECT_EQ(readText(counts), "blocked=3\nallowed=3\njoins=1\n");

  // The counts survive a restart of the mods and go on from there.
  EXPECT_EQ(load(), "");
  EXPECT_EQ(command("protect", ""),
            "Protected x -16..15, z -16..15; blocked 3, allowed 3, joins 1");
  EXPECT_FALSE(manager.fireBlockBreak(1, 1, 1, "orvane:stone", 2, "Alex"));
  EXPECT_EQ(readText(counts), "blocked=4\nallowed=3\njoins=1\n");
}

TEST_F(ExampleMods, GreeterSpeaksToThePlayerOfEachEventAndCountsAcrossRestarts) {
  loadExample("greeter");
  manager.firePlayerJoin(7, "Bea");
  EXPECT_EQ(
      context.playerMessages,
      std::vector<std::string>{"Bea: Welcome, Bea! Your first broken block earns a bookshelf."});
  EXPECT_EQ(context.broadcasts, std::vector<std::string>{"Bea is here"});
  EXPECT_TRUE(manager.fireBlockBreak(0, 30, 0, "orvane:stone", 7, "Bea"));
  EXPECT_TRUE(manager.fireBlockBreak(1, 30, 0, "orvane:stone", 7, "Bea"));
  EXPECT_TRUE(manager.fireBlockBreak(2, 30, 0, "orvane:stone", 2, "Alex"));
  EXPECT_EQ(context.playerMessages.size(), 3u);
  EXPECT_EQ(context.playerMessages[1], "Bea: A bookshelf for your first block");
  EXPECT_EQ(context.playerMessages[2], "Alex: A bookshelf for your first block");
  EXPECT_TRUE(manager.isHostCommand("tally"));
  EXPECT_EQ(readText(folder.path() / "greeter" / "breaks.txt"), "Alex=1\nBea=2\n");

  EXPECT_EQ(load(), "");
  EXPECT_EQ(command("tally", ""), "Alex broke 1 blocks");
}

// Each ```lua block of the modding guide is the main.lua of a mod of its own. It must
// load without a message, and every handler and command it registers must run without
// one too.
TEST(ModdingGuide, EveryLuaSnippetRunsAsAMod) {
  std::istringstream guide(readText(kSourceDir / "docs" / "modding.md"));
  std::map<int, std::string> snippets;  // first line number -> text
  int lineNumber = 0, start = 0;
  for (std::string line; std::getline(guide, line);) {
    ++lineNumber;
    if (start == 0 && line == "```lua") {
      start = lineNumber + 1;
      snippets[start];
    } else if (start != 0 && line.starts_with("```")) {
      start = 0;
    } else if (start != 0) {
      snippets[start] += line + "\n";
    }
  }
  ASSERT_EQ(start, 0) << "a lua block of the guide is not closed";
  ASSERT_GE(snippets.size(), 7u);

  TempFolder root;
  for (const auto& [first, text] : snippets) {
    SCOPED_TRACE("docs/modding.md line " + std::to_string(first));
    const std::string name = "guide" + std::to_string(first);
    const fs::path modsFolder = root.path() / name;
    fs::create_directories(modsFolder);
    std::string error;
    ASSERT_TRUE(
        writeZip((modsFolder / (name + ".mod.orvac")).string(), {{"main.lua", text}}, error));
    TestModContext context;
    context.printLog = false;
    ModManager manager;
    ::testing::internal::CaptureStderr();
    manager.loadMods(modsFolder.string(), &context);
    ASSERT_EQ(manager.modCount(), 1u) << ::testing::internal::GetCapturedStderr();

    manager.fireBlockBreak(1, 20, 1, "orvane:bricks", 2, "Alex");
    manager.fireBlockPlace(1, 20, 1, "orvane:lava", 2, "Alex");
    for (int i = 0; i < 3; ++i) manager.fireTick(4.0);
    manager.firePlayerJoin(7, "Bea");
    manager.firePlayerLeave(7, "Bea");
    std::vector<std::string> words;
    for (const auto& [word, handler] : manager.mod(0).commands) words.push_back(word);
    // Two rounds, so that commands which depend on one another meet each other's state.
    for (int round = 0; round < 2; ++round) {
      for (const std::string& word : words) {
        std::string reply;
        for (const char* arguments : {"", "stone 2", "x y z w"}) {
          EXPECT_TRUE(manager.runModCommand(word, arguments, "Alex", reply));
        }
      }
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  }
}
