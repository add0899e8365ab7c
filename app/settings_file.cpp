// The settings file, "settings.txt" beside the executable.
//
// Plain text, one "key = value" a line; spaces around the key and the value are
// dropped, blank lines and lines starting with "#" are skipped, a later line for the
// same key wins. Keys and values:
//   mouse_sensitivity  0.03 .. 0.30          field_of_view    55 .. 100 (degrees)
//   render_distance    4 .. 16 (chunks)      language         en | zh
//   shadows            on | off              post_processing  on | off
//   player_name        up to 31 characters 32..126
//   udp_port           up to 15 decimal digits
//   server_address     up to 127 characters 32..126
// ("true"/"false" and "1"/"0" are read as on/off too.) Anything else on a line, and any
// line over 1024 bytes, is ignored with one line on standard error; the rest of the
// file still counts. Only the first 4 MiB of a file are read.
//
// The game writes the whole file through the saves' crash-safe write (".tmp", flush,
// rename), so a crash leaves the old file or the new one.

#include "app/settings_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "save/save_files.h"
#include "lang/translations.h"

namespace {

constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxFileBytes = 4u << 20;
constexpr size_t kReportedProblems = 8;
constexpr size_t kNameLimit = 31, kPortLimit = 15, kAddressLimit = 127;
constexpr double kMinimumGap = 1.0;  // seconds between writes while values keep changing

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// The key as it can be shown on a console line: printable, at most 40 characters.
std::string printable(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 40)) out.push_back(c >= 32 && c <= 126 ? c : '?');
  return out;
}

bool parseFloat(std::string_view text, float low, float high, float& out) {
  float value = 0.0f;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      value < low || value > high) {
    return false;
  }
  out = value;
  return true;
}

bool parseInt(std::string_view text, int low, int high, int& out) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return false;
  }
  out = value;
  return true;
}

bool parseSwitch(std::string_view text, bool& out) {
  if (text == "on" || text == "true" || text == "1") {
    out = true;
  } else if (text == "off" || text == "false" || text == "0") {
    out = false;
  } else {
    return false;
  }
  return true;
}

bool parseText(std::string_view text, size_t limit, bool digitsOnly, std::string& out) {
  if (text.size() > limit) return false;
  for (char c : text) {
    if (c < 32 || c > 126 || (digitsOnly && (c < '0' || c > '9'))) return false;
  }
  out = std::string(text);
  return true;
}

enum class LineResult { Used, UnknownKey, BadValue };

LineResult parseLine(std::string_view key, std::string_view value, StoredSettings& s) {
  bool ok = false;
  if (key == "mouse_sensitivity") {
    ok = parseFloat(value, 0.03f, 0.30f, s.mouseSensitivity);
  } else if (key == "field_of_view") {
    ok = parseFloat(value, 55.0f, 100.0f, s.fieldOfView);
  } else if (key == "render_distance") {
    ok = parseInt(value, 4, 16, s.renderDistance);
  } else if (key == "language") {
    ok = value == "en" || value == "zh";
    if (ok) s.language = value == "zh" ? LanguageChinese : LanguageEnglish;
  } else if (key == "shadows") {
    ok = parseSwitch(value, s.shadows);
  } else if (key == "post_processing") {
    ok = parseSwitch(value, s.postProcessing);
  } else if (key == "player_name") {
    ok = parseText(value, kNameLimit, false, s.playerName);
  } else if (key == "udp_port") {
    ok = parseText(value, kPortLimit, true, s.port);
  } else if (key == "server_address") {
    ok = parseText(value, kAddressLimit, false, s.address);
  } else {
    return LineResult::UnknownKey;
  }
  return ok ? LineResult::Used : LineResult::BadValue;
}

std::string number(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

std::string formatSettings(const StoredSettings& s) {
  std::string out = "# Orvane settings, written by the game: one \"key = value\" a line.\n";
  // Control characters never reach the file, so a value cannot break its line.
  auto line = [&](const char* key, const std::string& value) {
    out += key;
    out += " =";
    if (!value.empty()) out += ' ';
    for (char c : value) {
      if (c >= 32 && c != 127) out += c;
    }
    out += '\n';
  };
  line("mouse_sensitivity", number(s.mouseSensitivity));
  line("field_of_view", number(s.fieldOfView));
  line("render_distance", std::to_string(s.renderDistance));
  if (s.language >= 0) line("language", s.language == LanguageChinese ? "zh" : "en");
  line("shadows", s.shadows ? "on" : "off");
  line("post_processing", s.postProcessing ? "on" : "off");
  line("player_name", s.playerName);
  line("udp_port", s.port);
  line("server_address", s.address);
  return out;
}

void parseSettings(std::string_view text, StoredSettings& settings,
                   std::vector<std::string>& problems) {
  size_t lineNumber = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    lineNumber += 1;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (raw.size() > kMaxLine) {
      problems.push_back(where + "longer than " + std::to_string(kMaxLine) + " bytes");
      continue;
    }
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      problems.push_back(where + "not \"key = value\"");
      continue;
    }
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    switch (parseLine(key, value, settings)) {
      case LineResult::Used:
        break;
      case LineResult::UnknownKey:
        problems.push_back(where + "unknown key \"" + printable(key) + "\"");
        break;
      case LineResult::BadValue:
        problems.push_back(where + "bad value for " + std::string(key));
        break;
    }
  }
}

bool readSettingsFile(const std::string& path, StoredSettings& settings) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string text(kMaxFileBytes, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  std::vector<std::string> problems;
  if (file.peek() != std::char_traits<char>::eof()) {
    problems.push_back("only the first " + std::to_string(kMaxFileBytes >> 20) + " MiB read");
  }
  parseSettings(text, settings, problems);
  for (size_t i = 0; i < problems.size() && i < kReportedProblems; ++i) {
    std::fprintf(stderr, "settings: %s: %s, ignored\n", path.c_str(), problems[i].c_str());
  }
  if (problems.size() > kReportedProblems) {
    std::fprintf(stderr, "settings: %s: %zu more lines ignored\n", path.c_str(),
                 problems.size() - kReportedProblems);
  }
  return true;
}

bool writeSettingsFile(const std::string& path, const StoredSettings& settings) {
  const std::string text = formatSettings(settings);
  return writeFileAtomically(path, std::vector<uint8_t>(text.begin(), text.end()));
}

StoredSettings currentSettings(const Game& game) {
  StoredSettings s;
  s.mouseSensitivity = game.settings.mouseSensitivity;
  s.fieldOfView = game.settings.fieldOfView;
  s.renderDistance = game.settings.renderDistance;
  s.language = language();
  s.shadows = game.settings.shadows;
  s.postProcessing = game.settings.postProcessing;
  s.playerName = game.menu.playerName;
  s.port = game.menu.port;
  s.address = game.menu.address;
  return s;
}

void applySettings(Game& game, const StoredSettings& s) {
  game.settings.mouseSensitivity = s.mouseSensitivity;
  game.settings.fieldOfView = s.fieldOfView;
  game.currentFov = s.fieldOfView;
  game.settings.renderDistance = s.renderDistance;
  game.meshScheduler.setRenderDistance(s.renderDistance);
  if (s.language >= 0) setLanguage(s.language);
  game.settings.shadows = s.shadows;
  game.settings.postProcessing = s.postProcessing;
  game.menu.playerName = s.playerName;
  game.menu.port = s.port;
  game.menu.address = s.address;
}

SettingsKeeper::SettingsKeeper(std::string path, Game& game)
    : path_(std::move(path)), systemLanguage_(language()) {
  StoredSettings stored = currentSettings(game);
  stored.language = -1;
  readSettingsFile(path_, stored);
  applySettings(game, stored);
  written_ = stored;
}

void SettingsKeeper::update(const Game& game, double now) {
  if (now - lastWrite_ < kMinimumGap) return;
  if (writeIfChanged(game)) lastWrite_ = now;
}

void SettingsKeeper::flush(const Game& game) {
  writeIfChanged(game);
}

bool SettingsKeeper::writeIfChanged(const Game& game) {
  StoredSettings current = currentSettings(game);
  // The system's language is not pinned in the file until the player picks another.
  if (written_.language < 0 && current.language == systemLanguage_) current.language = -1;
  if (current == written_) return false;
  if (writeSettingsFile(path_, current)) {
    written_ = current;
    failed_ = false;
  } else if (!failed_) {
    std::fprintf(stderr, "settings: could not write %s\n", path_.c_str());
    failed_ = true;
  }
  return true;
}
