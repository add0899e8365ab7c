#pragma once
// The dedicated server's operator commands about players, and its ban list. Bans are
// kept in "bans.txt" in the world folder, one a line: "name <player name>" or
// "address <a.b.c.d>"; the file is replaced whole through a ".tmp" file and a rename.

#include <cstdint>
#include <optional>
#include <string>

#include "game/game.h"

inline constexpr const char* kBansFileName = "bans.txt";

// Reads the world's ban list into `bans` (none when the file is missing). False with a
// line in `error` when the file cannot be read or holds a line that is not a ban; the
// file is then left as it is.
bool loadBans(const std::string& worldFolderPath, NetBans& bans, std::string& error);
// Writes the list crash-safe: a crash leaves the old file or the new one, never a part.
bool saveBans(const std::string& worldFolderPath, const NetBans& bans);
// "a.b.c.d" as an address in host byte order; nullopt for anything else.
std::optional<uint32_t> parseIpv4(const std::string& text);

// "/list": id, name, address and round trip of every player, one line each.
void listPlayers(Game& game);
// "/kick <name or id>".
void kickPlayer(Game& game, const std::string& who);
// "/ban <name or address>": refuses the name or address from now on, across restarts,
// and disconnects the players it matches.
void banPlayer(Game& game, const std::string& who);
// "/unban <name or address>".
void unbanPlayer(Game& game, const std::string& who);
// "/bans": the ban list.
void listBans(Game& game);
