#include "save/world_folders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/program_folder.h"

namespace fs = std::filesystem;

std::string savesFolder() {
  return dataFolder("saves");
}

std::string worldFolder(std::string_view name, const std::string& saves) {
  return saves + "/" + std::string(name);
}

bool isValidWorldName(std::string_view name) {
  if (name.empty() || name.size() > 48 || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32) return false;
    if (std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string worldFolderName(std::string_view displayName) {
  std::string kept;
  for (char c : displayName) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u == '\t') {
      kept += ' ';
    } else if (u < 128 && (std::isalnum(u) || c == ' ' || c == '-' || c == '_')) {
      kept += c;
    }
  }
  const size_t first = kept.find_first_not_of(' ');
  if (first == std::string::npos) return "World";
  kept = kept.substr(first, kept.find_last_not_of(' ') - first + 1);
  if (kept.size() > 40) kept.resize(40);
  std::string upper = kept;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kReserved[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* reserved : kReserved) {
    if (upper == reserved) return "World " + kept;
  }
  return kept;
}

std::vector<std::string> listWorlds(const std::string& saves) {
  std::vector<std::string> names;
  std::error_code ec;
  if (!fs::is_directory(saves, ec)) return names;
  fs::directory_iterator it(saves, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_directory(entryError)) continue;
    const std::string name = it->path().filename().string();
    if (!isValidWorldName(name)) continue;
    if (fs::is_regular_file(it->path() / "world.dat", entryError)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool worldExists(std::string_view name, const std::string& saves) {
  if (!isValidWorldName(name)) return false;
  std::error_code ec;
  return fs::is_regular_file(worldFolder(name, saves) + "/world.dat", ec);
}

bool deleteWorld(std::string_view name, const std::string& saves) {
  if (!isValidWorldName(name)) return false;
  std::error_code ec;
  const std::string folder = worldFolder(name, saves);
  if (!fs::exists(fs::symlink_status(folder, ec))) return false;
  const auto removed = fs::remove_all(folder, ec);
  return !ec && removed > 0 && removed != static_cast<std::uintmax_t>(-1);
}
