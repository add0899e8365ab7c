#include "app/server_mode.h"

// Sections: the pass | operator console | start-up and the loop

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <thread>

#include "app/frame_loop.h"
#include "app/server_console.h"
#include "app/server_options.h"
#include "game/commands.h"
#include "game/environment.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"
#include "game/net_sync.h"
#include "platform/program_folder.h"
#include "save/world_folders.h"
#include "world/block_registry.h"

namespace {

constexpr float kPassSeconds = 0.05f;        // 20 passes per second
constexpr int kKeepRadius = 3;               // columns kept around the spawn and each player
constexpr int kUnloadRadius = 5;             // columns farther than this from all of them go
constexpr double kColumnCheckSeconds = 1.0;  // between unloads
constexpr int kGenerationsPerPass = 4;       // a pass never stalls on a whole area

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) {
  stopRequested = 1;
}

ColumnPos columnOf(float x, float z) {
  return {floorDiv16(static_cast<int>(std::floor(x))), floorDiv16(static_cast<int>(std::floor(z)))};
}

bool save(Game& game) {
  if (!saveGame(game)) {
    std::fprintf(stderr, "server: could not save \"%s\"\n", game.worldName.c_str());
    return false;
  }
  std::printf("server: saved \"%s\" (%zu edits)\n", game.worldName.c_str(),
              game.world->edits().blocks.size());
  std::fflush(stdout);
  return true;
}

std::string afterWord(const std::string& line) {
  const size_t space = line.find(' ');
  const size_t start = space == std::string::npos ? space : line.find_first_not_of(' ', space);
  if (start == std::string::npos) return {};
  return line.substr(start, line.find_last_not_of(' ') - start + 1);
}

void say(Game& game, const std::string& text) {
  if (text.empty()) return;
  game.net.session->broadcastChat(game.net.playerName, text, 0);
  addMessage(game, game.net.playerName + ": " + text);
}

// Reads what the operator typed so far; complete lines go to runOperatorLine.
class ConsoleReader {
 public:
  // False once "/stop" was typed.
  bool poll(Game& game) {
    if (closed_) return true;
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLIN | POLLHUP)) != 0) {
      char chunk[512];
      const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        closed_ = true;  // no more input: the server goes on
        break;
      }
      pending_.append(chunk, static_cast<size_t>(n));
      if (pending_.size() > 4096 && pending_.find('\n') == std::string::npos) pending_.clear();
    }
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!runOperatorLine(game, line)) return false;
    }
    return true;
  }

 private:
  std::string pending_;
  bool closed_ = false;
};

bool prepareSavesFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string probe = folder + "/.orvane-write-test";
  std::FILE* f = std::fopen(probe.c_str(), "wb");
  if (f == nullptr) return false;
  std::fclose(f);
  std::filesystem::remove(probe, ec);
  return true;
}

// Loads the world, or creates and saves it; false (with its line printed) when neither
// works. An existing world that cannot be read is never overwritten.
bool openWorld(Game& game, const ServerOptions& options) {
  const std::string& name = options.worldName;
  if (worldExists(name, game.savesFolder)) {
    if (!loadGame(game, name)) {
      std::fprintf(stderr, "server: could not load world \"%s\"\n", name.c_str());
      return false;
    }
    return true;
  }
  if (std::filesystem::exists(worldFolder(name, game.savesFolder))) {
    std::fprintf(stderr, "server: \"%s\" exists but holds no world\n", name.c_str());
    return false;
  }
  newGame(game, options.seed.value_or(clockRandom()), name);
  return save(game);
}

}  // namespace

// --- The pass ----------------------------------------------------------------------------

void serverPass(Game& game, float dt) {
  syncNetwork(game, dt);
  if (!game.world) return;
  advanceHostWorld(game, dt);
  game.world->takeDirtyChunks();  // nothing is drawn here
}

namespace {

std::vector<ColumnPos> keptCentres(const Game& game) {
  std::vector<ColumnPos> centres{columnOf(game.spawnPoint.x, game.spawnPoint.z)};
  for (const RemotePlayer& r : game.entities.remotePlayers) {
    if (r.hasState) centres.push_back(columnOf(r.targetX, r.targetZ));
  }
  return centres;
}

}  // namespace

int generateServerColumns(Game& game, int budget) {
  if (!game.world) return 0;
  int generated = 0;
  for (const ColumnPos& c : keptCentres(game)) {
    for (int dz = -kKeepRadius; dz <= kKeepRadius; ++dz) {
      for (int dx = -kKeepRadius; dx <= kKeepRadius; ++dx) {
        if (game.world->isColumnLoaded(c.cx + dx, c.cz + dz)) continue;
        if (generated == budget) return generated;
        game.world->ensureColumn(c.cx + dx, c.cz + dz);
        ++generated;
      }
    }
  }
  return generated;
}

void manageServerColumns(Game& game) {
  if (!game.world) return;
  generateServerColumns(game, std::numeric_limits<int>::max());
  game.world->unloadColumnsAwayFrom(keptCentres(game), kUnloadRadius);
}

// --- Operator console ------------------------------------------------------------------

bool runOperatorLine(Game& game, const std::string& line) {
  if (line.empty()) return true;
  if (line[0] != '/') {
    say(game, line);
    return true;
  }
  const std::string word = toLowerAscii(line.substr(1, line.find(' ') - 1));
  if (word == "stop") return false;
  if (word == "say") {
    const std::string text = afterWord(line);
    if (text.empty()) std::fprintf(stderr, "server: usage: /say <text>\n");
    say(game, text);
  } else if (word == "list") {
    listPlayers(game);
  } else if (word == "kick") {
    kickPlayer(game, afterWord(line));
  } else if (word == "ban") {
    banPlayer(game, afterWord(line));
  } else if (word == "unban") {
    unbanPlayer(game, afterWord(line));
  } else if (word == "bans") {
    listBans(game);
  } else {
    runCommand(game, line);
  }
  std::fflush(stdout);
  return true;
}

// --- Start-up and the loop ---------------------------------------------------------------

int runServer(const std::vector<std::string>& args) {
  const ServerOptionsResult parsed = parseServerOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "server: %s\n", parsed.error.c_str());
    if (parsed.exitStatus == 2) std::fprintf(stderr, "%s\n", serverUsage());
    return parsed.exitStatus;
  }
  const ServerOptions& options = *parsed.options;

  Game game;
  game.savesFolder = options.savesFolder.empty() ? savesFolder() : options.savesFolder;
  if (!prepareSavesFolder(game.savesFolder)) {
    std::fprintf(stderr, "server: cannot write the saves folder %s\n", game.savesFolder.c_str());
    return 1;
  }
  game.net.dedicated = true;
  game.net.playerName = "Server";
  game.mods.loadMods(options.modsFolder.empty() ? dataFolder("mods") : options.modsFolder,
                     game.modContext.get());

  std::string error;
  if (!startHosting(game, options.port, error)) {
    std::fprintf(stderr, "server: %s\n", error.c_str());
    return 1;
  }
  game.net.session->setMaxPeers(static_cast<size_t>(options.maxPlayers));
  if (!openWorld(game, options)) {
    closeConnection(game);
    return 1;
  }
  NetBans bans;
  if (!loadBans(worldFolder(game.worldName, game.savesFolder), bans, error)) {
    std::fprintf(stderr, "server: %s\n", error.c_str());
    closeConnection(game);
    return 1;
  }
  game.net.session->setBans(std::move(bans));
  std::printf("server: hosting \"%s\" (seed %u, %zu edits) on UDP %u\n", game.worldName.c_str(),
              game.seed, game.world->edits().blocks.size(),
              static_cast<unsigned>(game.net.session->localPort()));
  std::fflush(stdout);

  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);
  std::signal(SIGPIPE, SIG_IGN);

  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration<double>(kPassSeconds);
  auto nextPass = Clock::now();
  double sinceSave = 0.0, sinceColumns = kColumnCheckSeconds;
  ConsoleReader console;
  while (stopRequested == 0) {
    serverPass(game, kPassSeconds);
    game.clock += kPassSeconds;
    generateServerColumns(game, kGenerationsPerPass);
    if ((sinceColumns += kPassSeconds) >= kColumnCheckSeconds) {
      game.world->unloadColumnsAwayFrom(keptCentres(game), kUnloadRadius);
      sinceColumns = 0.0;
    }
    if ((sinceSave += kPassSeconds) >= options.autosaveSeconds) {
      save(game);
      sinceSave = 0.0;
    }
    if (!console.poll(game)) break;
    nextPass += std::chrono::duration_cast<Clock::duration>(period);
    const auto now = Clock::now();
    if (nextPass < now) nextPass = now;  // behind: do not try to catch up
    std::this_thread::sleep_until(nextPass);
  }
  const bool saved = save(game);
  closeConnection(game);
  std::printf("server: stopped\n");
  return saved ? 0 : 1;
}
