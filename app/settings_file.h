#pragma once
// The player's settings kept between starts in "settings.txt" beside the executable.
// Only the interactive game reads and writes it; the scripted and headless modes start
// from the built-in defaults on every machine. The format is described in
// settings_file.cpp.

#include <string>
#include <string_view>
#include <vector>

#include "game/game.h"

// Everything the file keeps. `language` is -1 when the file does not name one (the
// system's language then stands).
struct StoredSettings {
  float mouseSensitivity = 0.12f;
  float fieldOfView = 70.0f;
  int renderDistance = 8;
  int language = -1;
  bool shadows = true;
  bool postProcessing = true;
  std::string playerName = "Player";
  std::string port = "27632";
  std::string address;
  bool operator==(const StoredSettings&) const = default;
};

// The file's text for `settings`.
std::string formatSettings(const StoredSettings& settings);

// Reads `text` over `settings`: each good line replaces its value, and each bad line
// (unknown key, bad or out-of-range value, no "=", too long) leaves it alone and adds
// one sentence to `problems`.
void parseSettings(std::string_view text, StoredSettings& settings,
                   std::vector<std::string>& problems);

// Reads the file at `path` over `settings`. A missing file changes nothing and says
// nothing; every ignored line is reported on standard error, one line each (the first
// few, then a count). False when there was no file to read.
bool readSettingsFile(const std::string& path, StoredSettings& settings);

// Writes the file crash-safely; false (the previous file untouched) on failure.
bool writeSettingsFile(const std::string& path, const StoredSettings& settings);

// The game's current values, and putting stored ones into a game (the interface
// language included, when the file names one).
StoredSettings currentSettings(const Game& game);
void applySettings(Game& game, const StoredSettings& settings);

// Writes the settings whenever the game's values differ from what was last written, at
// most once a second while they keep changing (a slider being dragged), and on `flush`.
// The language is written once the player picks one other than the system's. A failed
// write says so once on standard error and is tried again later.
class SettingsKeeper {
 public:
  // Reads `path` into `game` (a missing file changes nothing); later writes go there.
  SettingsKeeper(std::string path, Game& game);
  // Called after every pass with the game clock.
  void update(const Game& game, double now);
  // Writes pending changes now (at shut-down).
  void flush(const Game& game);

 private:
  // True when the values differed from the file (written or not).
  bool writeIfChanged(const Game& game);

  std::string path_;
  int systemLanguage_ = 0;
  StoredSettings written_;
  double lastWrite_ = -1.0e9;
  bool failed_ = false;
};
