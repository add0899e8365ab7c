// The settings kept in "settings.txt" between starts of the interactive game.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/settings_file.h"
#include "lang/translations.h"

namespace {

namespace fs = std::filesystem;

class SettingsFolder {
 public:
  SettingsFolder() {
    folder = fs::temp_directory_path() / ("orvane_settings_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  ~SettingsFolder() {
    setLanguage(LanguageEnglish);
    fs::remove_all(folder);
  }
  std::string path() const { return (folder / "settings.txt").string(); }
  void write(const std::string& text) const { std::ofstream(path(), std::ios::binary) << text; }

  fs::path folder;
};

size_t lineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(SettingsFile, ChangedSettingsAreWrittenAndReadAtTheNextStart) {
  SettingsFolder files;
  setLanguage(LanguageEnglish);
  {
    Game game;
    SettingsKeeper keeper(files.path(), game);
    EXPECT_EQ(game.settings.fieldOfView, 70.0f);  // no file: today's defaults
    keeper.update(game, 10.0);
    EXPECT_FALSE(fs::exists(files.path()));  // nothing changed, nothing written

    game.settings.mouseSensitivity = 0.21f;
    game.settings.fieldOfView = 87.0f;
    game.settings.renderDistance = 12;
    game.settings.shadows = false;
    game.settings.postProcessing = false;
    game.menu.playerName = "Alice";
    game.menu.port = "4000";
    game.menu.address = "play.example.com:4000";
    keeper.update(game, 11.0);
    ASSERT_TRUE(fs::exists(files.path()));
    EXPECT_FALSE(fs::exists(files.path() + ".tmp"));

    // While a slider is dragged the file is written at most once a second; the last
    // value is written at shut-down.
    setLanguage(LanguageChinese);
    game.settings.fieldOfView = 88.0f;
    keeper.update(game, 11.5);
    game.settings.fieldOfView = 91.5f;
    keeper.flush(game);
  }
  setLanguage(LanguageEnglish);  // the system's language: the saved one wins

  Game game;
  testing::internal::CaptureStderr();
  SettingsKeeper keeper(files.path(), game);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(game.settings.mouseSensitivity, 0.21f);
  EXPECT_EQ(game.settings.fieldOfView, 91.5f);
  EXPECT_EQ(game.currentFov, 91.5f);
  EXPECT_EQ(game.settings.renderDistance, 12);
  EXPECT_EQ(game.meshScheduler.renderDistance(), 12);
  EXPECT_FALSE(game.settings.shadows);
  EXPECT_FALSE(game.settings.postProcessing);
  EXPECT_EQ(game.menu.playerName, "Alice");
  EXPECT_EQ(game.menu.port, "4000");
  EXPECT_EQ(game.menu.address, "play.example.com:4000");
  EXPECT_EQ(language(), LanguageChinese);

  // A file without a language leaves the system's choice alone and does not pin it.
  StoredSettings plain;
  EXPECT_EQ(formatSettings(plain).find("language"), std::string::npos);
  ASSERT_TRUE(writeSettingsFile(files.path(), plain));
  setLanguage(LanguageChinese);
  Game other;
  SettingsKeeper again(files.path(), other);
  EXPECT_EQ(language(), LanguageChinese);
  other.settings.shadows = false;
  again.flush(other);
  StoredSettings read;
  ASSERT_TRUE(readSettingsFile(files.path(), read));
  EXPECT_EQ(read.language, -1);
  EXPECT_FALSE(read.shadows);
}

TEST(SettingsFile, CorruptLinesFallBackToDefaultsAndGoodLinesCount) {
  SettingsFolder files;
  std::string junk = "\x7f\x45\x4c\x46\x02\x01\x01";
  junk += std::string("\0\xff\xfe=\x01\x02", 6);
  files.write(junk + "\n" +
              "mouse_sensitivity = 5\n"  // out of range
              "field_of_view = 90\n"
              "render_distance = twelve\n"
              "  shadows =   off  \r\n"
              "language = klingon\n"
              "# a comment\n"
              "\n"
              "player_name = " +
              std::string(1 << 20, 'x') + "\n" +
              "udp_port = 12a\n"
              "server_address = 10.0.0.2:27633\n"
              "volume = 11\n"
              "post_processing\n"
              "field_of_view = nan\n");
  Game game;
  testing::internal::CaptureStderr();
  SettingsKeeper keeper(files.path(), game);
  const std::string errors = testing::internal::GetCapturedStderr();

  EXPECT_EQ(game.settings.fieldOfView, 90.0f);
  EXPECT_FALSE(game.settings.shadows);
  EXPECT_EQ(game.menu.address, "10.0.0.2:27633");
  EXPECT_EQ(game.settings.mouseSensitivity, 0.12f);
  EXPECT_EQ(game.settings.renderDistance, 8);
  EXPECT_TRUE(game.settings.postProcessing);
  EXPECT_EQ(game.menu.playerName, "Player");
  EXPECT_EQ(game.menu.port, "27632");
  EXPECT_EQ(language(), LanguageEnglish);
  // Nine bad lines: eight reported one line each, then one line with the count.
  EXPECT_EQ(lineCount(errors), 9u) << errors;
  EXPECT_NE(errors.find("line 2: bad value for mouse_sensitivity"), std::string::npos);
  EXPECT_NE(errors.find("line 9: longer than"), std::string::npos);
  EXPECT_NE(errors.find("1 more lines ignored"), std::string::npos);
  EXPECT_EQ(errors.find('\x01'), std::string::npos);  // junk is not echoed raw

  // Reading alone never rewrites the file; the first change writes a clean one.
  keeper.update(game, 5.0);
  EXPECT_GT(fs::file_size(files.path()), 1u << 20);
  game.settings.renderDistance = 6;
  keeper.update(game, 6.0);
  StoredSettings read;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(readSettingsFile(files.path(), read));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(read.renderDistance, 6);
  EXPECT_EQ(read.fieldOfView, 90.0f);
}

TEST(SettingsFile, AnUnwritableFileNeverStopsTheGame) {
  SettingsFolder files;
  const std::string path = (files.folder / "missing" / "settings.txt").string();
  Game game;
  SettingsKeeper keeper(path, game);
  game.settings.fieldOfView = 60.0f;
  testing::internal::CaptureStderr();
  keeper.update(game, 1.0);
  keeper.update(game, 3.0);
  keeper.flush(game);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(lineCount(errors), 1u) << errors;  // said once, tried again quietly
  EXPECT_EQ(game.settings.fieldOfView, 60.0f);

  fs::create_directories(files.folder / "missing");
  keeper.update(game, 5.0);
  StoredSettings read;
  ASSERT_TRUE(readSettingsFile(path, read));
  EXPECT_EQ(read.fieldOfView, 60.0f);
}

}  // namespace
