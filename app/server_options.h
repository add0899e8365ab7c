#pragma once
// The dedicated server's command line:
//   orvane --server <world name> [--port N] [--seed S] [--max-players N]
//          [--autosave SECONDS] [--saves FOLDER] [--mods FOLDER]

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ServerOptions {
  std::string worldName;
  uint16_t port = 27632;         // 0: any free port (the start-up line names it)
  std::optional<uint32_t> seed;  // a new world's seed; the clock when absent
  int maxPlayers = 32;
  double autosaveSeconds = 300.0;
  std::string savesFolder;  // empty: the game's own "saves" folder
  std::string modsFolder;   // empty: the game's own "mods" folder
};

// What parsing found: options, or a usage error (exit 2) or a bad value (exit 1), each
// with its one line of explanation.
struct ServerOptionsResult {
  std::optional<ServerOptions> options;
  int exitStatus = 0;
  std::string error;
};

// `args` are the words after "--server".
ServerOptionsResult parseServerOptions(const std::vector<std::string>& args);

// The usage text printed for an unknown option.
const char* serverUsage();
