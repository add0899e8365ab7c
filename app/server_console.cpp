#include "app/server_console.h"

// Sections: the bans file | player commands

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "net/server_address.h"
#include "save/save_files.h"
#include "save/world_folders.h"
#include "world/block_registry.h"

namespace {

std::string formatIpv4(uint32_t address) {
  in_addr raw{};
  raw.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &raw, text, sizeof text);
  return text;
}

std::string bansFolder(const Game& game) {
  return worldFolder(game.worldName, game.savesFolder);
}

}  // namespace

// --- The bans file -----------------------------------------------------------------------

std::optional<uint32_t> parseIpv4(const std::string& text) {
  in_addr parsed{};
  if (text.empty() || ::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return std::nullopt;
  return ntohl(parsed.s_addr);
}

bool loadBans(const std::string& worldFolderPath, NetBans& bans, std::string& error) {
  bans = NetBans{};
  const std::string path = worldFolderPath + "/" + kBansFileName;
  std::ifstream in(path);
  if (!in) {
    if (::access(path.c_str(), F_OK) != 0) return true;  // no bans yet
    error = "cannot read " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (kind == "name" && !value.empty()) {
      bans.names.push_back(value);
    } else if (kind == "address" && parseIpv4(value)) {
      bans.addresses.push_back(*parseIpv4(value));
    } else {
      error = path + " line " + std::to_string(number) + " is not a ban: " + line;
      return false;
    }
  }
  return true;
}

bool saveBans(const std::string& worldFolderPath, const NetBans& bans) {
  std::string text;
  for (const std::string& name : bans.names) text += "name " + name + "\n";
  for (uint32_t address : bans.addresses) text += "address " + formatIpv4(address) + "\n";
  // Through a temporary file, synced and renamed, like the saves.
  return writeFileAtomically(worldFolderPath + "/" + kBansFileName,
                             std::vector<uint8_t>(text.begin(), text.end()));
}

// --- Player commands ---------------------------------------------------------------------

namespace {

// The player with that name (any case), else the one with that id.
const NetPeer* findPlayer(const Game& game, const std::string& who) {
  const auto& peers = game.net.session->peers();
  const auto playing = [](const NetPeer& p) { return p.proven && !p.closed && p.playerId != 0; };
  for (const NetPeer& p : peers) {
    if (playing(p) && toLowerAscii(p.name) == toLowerAscii(who)) return &p;
  }
  if (who.empty() || who.find_first_not_of("0123456789") != std::string::npos || who.size() > 9) {
    return nullptr;
  }
  const uint32_t id = static_cast<uint32_t>(std::stoul(who));
  for (const NetPeer& p : peers) {
    if (playing(p) && p.playerId == id) return &p;
  }
  return nullptr;
}

void storeBans(Game& game, NetBans bans) {
  if (!saveBans(bansFolder(game), bans)) {
    std::fprintf(stderr, "server: could not write %s/%s; the ban holds until the server stops\n",
                 bansFolder(game).c_str(), kBansFileName);
  }
  game.net.session->setBans(std::move(bans));
}

}  // namespace

void listPlayers(Game& game) {
  std::vector<const NetPeer*> players;
  for (const NetPeer& p : game.net.session->peers()) {
    if (p.proven && !p.closed && p.playerId != 0) players.push_back(&p);
  }
  std::printf("server: %zu player%s\n", players.size(), players.size() == 1 ? "" : "s");
  for (const NetPeer* p : players) {
    std::printf("server:   %u  %s  %s  %d ms\n", p->playerId, p->name.c_str(),
                formatEndpoint(p->address).c_str(), p->roundTripMs);
  }
}

void kickPlayer(Game& game, const std::string& who) {
  if (who.empty()) {
    std::fprintf(stderr, "server: usage: /kick <name or id>\n");
    return;
  }
  const NetPeer* player = findPlayer(game, who);
  if (player == nullptr) {
    std::fprintf(stderr, "server: no player named \"%s\"\n", who.c_str());
    return;
  }
  const std::string name = player->name;
  game.net.session->kick(player->playerId, "Kicked by the server");
  std::printf("server: kicked %s\n", name.c_str());
}

void banPlayer(Game& game, const std::string& who) {
  if (who.empty()) {
    std::fprintf(stderr, "server: usage: /ban <name or address>\n");
    return;
  }
  NetBans bans = game.net.session->bans();
  const std::optional<uint32_t> address = parseIpv4(who);
  std::vector<uint32_t> matched;
  for (const NetPeer& p : game.net.session->peers()) {
    if (p.playerId == 0 || p.closed) continue;
    if (address ? p.address.address == *address : toLowerAscii(p.name) == toLowerAscii(who)) {
      matched.push_back(p.playerId);
    }
  }
  if (address) {
    if (!bans.bansAddress(*address)) bans.addresses.push_back(*address);
  } else if (!bans.bansName(who)) {
    bans.names.push_back(who);
  }
  storeBans(game, std::move(bans));
  for (uint32_t id : matched) game.net.session->kick(id, kBannedReason);
  std::printf("server: banned %s (%zu connected player%s disconnected)\n", who.c_str(),
              matched.size(), matched.size() == 1 ? "" : "s");
}

void unbanPlayer(Game& game, const std::string& who) {
  if (who.empty()) {
    std::fprintf(stderr, "server: usage: /unban <name or address>\n");
    return;
  }
  NetBans bans = game.net.session->bans();
  const std::optional<uint32_t> address = parseIpv4(who);
  const size_t before = bans.names.size() + bans.addresses.size();
  if (address) {
    std::erase(bans.addresses, *address);
  } else {
    std::erase_if(bans.names,
                  [&](const std::string& n) { return toLowerAscii(n) == toLowerAscii(who); });
  }
  if (bans.names.size() + bans.addresses.size() == before) {
    std::fprintf(stderr, "server: %s is not banned\n", who.c_str());
    return;
  }
  storeBans(game, std::move(bans));
  std::printf("server: unbanned %s\n", who.c_str());
}

void listBans(Game& game) {
  const NetBans& bans = game.net.session->bans();
  std::printf("server: %zu ban%s\n", bans.names.size() + bans.addresses.size(),
              bans.names.size() + bans.addresses.size() == 1 ? "" : "s");
  for (const std::string& name : bans.names) std::printf("server:   name %s\n", name.c_str());
  for (uint32_t address : bans.addresses) {
    std::printf("server:   address %s\n", formatIpv4(address).c_str());
  }
}
