// The ImGui screens driven headless through the frame pass with synthetic mouse and
// keyboard input: no window and no GPU, only ImGui's draw lists are built.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/frame_loop.h"
#include "game/lifecycle.h"
#include "lang/translations.h"
#include "tests/support/recording_renderer.h"
#include "ui/imgui_screens.h"
#include "ui/screens.h"
#include "ui/ui_fonts.h"

namespace {

namespace fs = std::filesystem;

class MenuDriver {
 public:
  MenuDriver() {
    folder = fs::temp_directory_path() /
             ("orvane_menu_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    game.savesFolder = folder.string();
    game.renderer = &renderer;
    screens.ui().recordWidgets = true;
    passes(3);  // auto-sized windows settle
  }
  ~MenuDriver() {
    game.renderer = &game.noRenderer;
    setLanguage(LanguageEnglish);
    fs::remove_all(folder);
  }

  void pass() {
    clock += 1.0 / 60.0;
    runFramePass(game, input, clock, renderer, screens);
  }
  void passes(int n) {
    for (int i = 0; i < n; ++i) pass();
  }
  bool shows(const std::string& key) const { return screens.ui().widgets.count(key) != 0; }
  // Presses and releases the left button over the widget drawn under `key`, once the
  // windows have settled (an auto-sized window takes a frame to re-centre).
  void click(const std::string& key) {
    passes(2);
    ASSERT_TRUE(shows(key)) << key;
    const ImVec2 at = screens.ui().widgets.at(key).centre();
    input.cursorX.push_back(at.x);
    input.cursorY.push_back(at.y);
    input.leftButton = true;
    pass();
    input.leftButton = false;
    passes(2);
  }
  void chord(int modifier, int key) {
    input.press(modifier);
    input.press(key);
    pass();
    input.release(key);
    input.release(modifier);
    pass();
  }
  void tap(int key) {
    input.press(key);
    pass();
    input.release(key);
    pass();
  }
  // Focuses a text field, selects everything in it and types `text` over it.
  void typeInto(const std::string& field, const std::string& text) {
    click(field);
    chord(GLFW_KEY_LEFT_CONTROL, GLFW_KEY_A);
    for (char c : text) input.characters.push_back(static_cast<unsigned char>(c));
    passes(2);
  }

  static inline int counter = 0;
  fs::path folder;
  Game game;
  InputRecord input;
  RecordingRenderer renderer;
  ImGuiScreens screens{input, cameraMatrix};
  double clock = 50.0;
};

TEST(MenuSession, CreatesListsPlaysQuitsAndDeletesAWorld) {
  MenuDriver d;
  Game& game = d.game;
  ASSERT_EQ(game.screen, ScreenMainMenu);
  d.click("Singleplayer");
  ASSERT_EQ(game.menu.page, MenuPageWorlds);
  EXPECT_TRUE(game.menu.worlds.empty());
  d.click("Play Selected");  // disabled without worlds
  EXPECT_EQ(game.screen, ScreenMainMenu);

  // Fields keep to their capacities: 63 bytes of a 64-byte buffer.
  d.typeInto("world name", std::string(80, 'x'));
  EXPECT_EQ(game.menu.worldName, std::string(63, 'x'));
  d.typeInto("world name", "Test World");
  d.typeInto("seed", "42");
  EXPECT_EQ(game.menu.worldName, "Test World");
  d.click("Create and Play");
  ASSERT_EQ(game.screen, ScreenPlaying);
  EXPECT_EQ(game.worldName, "Test World");
  EXPECT_EQ(game.seed, seedFromText("42"));
  EXPECT_TRUE(fs::exists(d.folder / "Test World" / "world.dat"));

  d.tap(GLFW_KEY_ESCAPE);
  ASSERT_EQ(game.screen, ScreenPaused);
  d.click("Save and Quit to Menu");
  ASSERT_EQ(game.screen, ScreenMainMenu);
  EXPECT_FALSE(game.world);
  if (game.menu.page != MenuPageWorlds) d.click("Singleplayer");
  ASSERT_TRUE(d.shows("row:Test World"));

  d.click("row:Test World");
  d.click("Play Selected");
  ASSERT_EQ(game.screen, ScreenPlaying);
  EXPECT_EQ(game.worldName, "Test World");
  d.tap(GLFW_KEY_ESCAPE);
  d.click("Save and Quit to Menu");
  ASSERT_EQ(game.screen, ScreenMainMenu);
  if (game.menu.page != MenuPageWorlds) d.click("Singleplayer");

  // A second world: asking to delete one and then choosing the other row asks nothing.
  d.typeInto("world name", "Other");
  d.click("Create and Play");
  d.tap(GLFW_KEY_ESCAPE);
  d.click("Save and Quit to Menu");
  if (game.menu.page != MenuPageWorlds) d.click("Singleplayer");
  d.click("row:Test World");
  d.click("Delete Selected");
  EXPECT_TRUE(game.menu.confirmDelete);
  d.click("row:Other");
  EXPECT_FALSE(game.menu.confirmDelete);
  EXPECT_TRUE(d.shows("Delete Selected"));

  d.click("row:Test World");
  d.click("Delete Selected");
  d.click("Delete");
  EXPECT_FALSE(fs::exists(d.folder / "Test World"));
  EXPECT_EQ(game.menu.worlds, std::vector<std::string>{"Other"});
  EXPECT_EQ(game.menu.message, "Deleted \"Test World\"");
  d.click("Back");
  EXPECT_EQ(game.menu.page, MenuPageMain);
  EXPECT_TRUE(game.menu.message.empty());
}

TEST(MenuSession, MultiplayerPageFieldsAndActions) {
  MenuDriver d;
  Game& game = d.game;
  d.click("Multiplayer");
  ASSERT_EQ(game.menu.page, MenuPageMultiplayer);
  d.typeInto("UDP port", "12ab3-4.5678901234567");
  EXPECT_EQ(game.menu.port, "123456789012345");  // digits only, 15 bytes
  d.typeInto("Player name", "Alice");
  EXPECT_EQ(game.menu.playerName, "Alice");
  d.typeInto("address", "play.example.com:4000");
  EXPECT_EQ(game.menu.address, "play.example.com:4000");
  d.click("Host Selected World");  // disabled: nothing saved
  EXPECT_EQ(game.screen, ScreenMainMenu);
  EXPECT_FALSE(game.world);

  // The connecting page offers Cancel, which the pass performs.
  game.menu.page = MenuPageConnecting;
  d.passes(2);
  EXPECT_TRUE(d.shows("Cancel"));
}

TEST(PlayScreens, InventoryMergesAndDeathScreenRespawns) {
  MenuDriver d;
  Game& game = d.game;
  newGame(game, 7, "Screens");
  setScreen(game, ScreenPlaying);
  setGameMode(game, GameModeSurvival);
  game.inventory.items.slots[10] = {kBlockStone, 30};
  game.inventory.cursor = {kBlockStone, 40};
  d.tap(GLFW_KEY_E);
  ASSERT_TRUE(game.inventory.open);
  d.click("slot:10");
  EXPECT_EQ(game.inventory.items.slots[10], (ItemStack{kBlockStone, 64}));
  EXPECT_EQ(game.inventory.cursor, (ItemStack{kBlockStone, 6}));
  d.click("slot:0");  // an empty slot takes the rest
  EXPECT_EQ(game.inventory.items.slots[0], (ItemStack{kBlockStone, 6}));
  EXPECT_TRUE(game.inventory.cursor.empty());
  d.tap(GLFW_KEY_E);

  game.player.hitPoints = 0;
  d.pass();
  ASSERT_EQ(game.screen, ScreenDead);
  game.player.position += glm::vec3(30, 0, 0);
  d.click("Respawn");
  EXPECT_EQ(game.screen, ScreenPlaying);
  EXPECT_EQ(game.player.hitPoints, 20);
  EXPECT_EQ(game.player.position.x, game.spawnPoint.x);  // back home (then falling)
  EXPECT_EQ(game.player.position.z, game.spawnPoint.z);
}

TEST(PlayScreens, LanguageSwitchRebuildsTheFontAtlas) {
  MenuDriver d;
  UiContext& ui = d.screens.ui();
  EXPECT_EQ(ui.fontLanguage(), LanguageEnglish);
  const int builds = ui.fontBuilds();
  setLanguage(LanguageChinese);
  d.pass();
  EXPECT_EQ(ui.fontLanguage(), LanguageChinese);
  EXPECT_EQ(ui.fontBuilds(), builds + 1);
  EXPECT_TRUE(d.shows("Singleplayer"));  // ids stay the same in both languages
  if (fs::exists(kChineseFontPath)) {
    ASSERT_TRUE(ui.chineseFontLoaded());
    for (ImWchar c : {0x5355, 0x4EBA, 0x6E38, 0x620F}) {  // 单人游戏
      EXPECT_NE(ImGui::GetIO().Fonts->Fonts[0]->FindGlyphNoFallback(c), nullptr);
    }
  }

  // A missing font: the default font, one line on standard error, and the game goes on.
  setLanguage(LanguageEnglish);
  d.pass();
  ui.chineseFontPath = (d.folder / "no-such-font.ttc").string();
  testing::internal::CaptureStderr();
  setLanguage(LanguageChinese);
  d.passes(2);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ui.chineseFontLoaded());
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  EXPECT_NE(errors.find("no-such-font.ttc"), std::string::npos);
  d.click("Singleplayer");
  EXPECT_EQ(d.game.menu.page, MenuPageWorlds);
}

TEST(PlayScreens, PauseSettingsStayAboveTheHotbarAndOpenAcrossALanguageSwitch) {
  MenuDriver d;
  Game& game = d.game;
  newGame(game, 7, "Screens");
  setScreen(game, ScreenPlaying);
  setGameMode(game, GameModeSurvival);
  d.tap(GLFW_KEY_ESCAPE);
  ASSERT_EQ(game.screen, ScreenPaused);
  EXPECT_FALSE(d.shows("Render distance"));
  d.click("Settings");
  ASSERT_TRUE(d.shows("Render distance"));
  for (int lang : {LanguageChinese, LanguageEnglish, LanguageChinese}) {
    setLanguage(lang);
    d.passes(3);
    EXPECT_TRUE(d.shows("Render distance")) << "language " << lang;
    const WidgetRect pause = d.screens.ui().widgets.at("window:pause");
    const WidgetRect bar = d.screens.ui().widgets.at("window:hotbar");
    EXPECT_LE(pause.max.y, bar.min.y) << "language " << lang;
    EXPECT_GE(pause.min.y, 0.0f);
    // The hearts sit above the hotbar; the menu leaves them alone too.
    EXPECT_LE(pause.max.y, 720.0f - kHudReserve);
  }
  // The buttons still work after the switches, by their English names.
  d.click("Resume");
  EXPECT_EQ(game.screen, ScreenPlaying);
}

TEST(PlayScreens, FacingNamesWrapAroundTheCircle) {
  EXPECT_STREQ(facingName(-44.0f), "East");
  EXPECT_STREQ(facingName(46.0f), "South");
  EXPECT_STREQ(facingName(-100.0f), "North");
  EXPECT_STREQ(facingName(540.0f), "West");
}

}  // namespace
