// The scripting interface of mods, version 1.
//
// Sections:
//   [helpers]    argument checks and the C++ side of the functions
//   [orva]       get_block, set_block, message, broadcast, give, player_position, teleport,
//                spawn_drop, is_host, log, data_dir, data_read, data_write
//   [blocks]     register_block and texture references
//   [handlers]   register_command, on_block_break and the other event registrations
//   [install]    the "orva" table, the registration functions and print
//   [output]     escaping and rate limits of what mods print
//
// Global table "orva": api_version = 1, mod = the mod's name, and the functions below.
// Integer arguments take integers or floats with an integral value in the 32-bit range;
// text arguments take strings or numbers. Without a game context the reading functions
// answer nil, false or zeros, and the registering ones raise "no mod context".
//
// Beyond the first version of the interface, and compatible with it:
// - orva.broadcast(text): a chat line for everyone in the game (orva.message speaks to
//   the player the running call acts for: on a host, the joined player whose action
//   raised the event or who typed the command).
// - orva.teleport answers true when it moved the player, false when there is no player
//   it may move (a joined player, or the dedicated server's missing one);
//   orva.player_position answers nil when there is no player at all.
// - orva.register_command(name, handler, {host = true}): the host runs the command for
//   the joined player who typed it and sends the reply to that player only.
// - Names belong to their mod. Block ids are lowercase; an id without ":" takes the
//   mod's name in lower case; an id whose prefix is another mod package's name or
//   "orvane", an id another mod registered, a new texture named like a built-in one or
//   another mod's, and a command word of the game or of another mod are refused with a
//   Lua error that names both ("register_block: mod 'a' cannot take 'b:gem' from mod
//   'b'").
// - The data folder is bounded (data_files.h); a write beyond fails with false.
//
// Limits (loaded_mod.h), each a Lua error of the calling script: at most 256 handlers
// per event ("on_tick: too many handlers (at most 256 per event)"), 256 commands and
// 1024 blocks per mod ("register_command: too many commands (at most 256 per mod)",
// "register_block: too many blocks (at most 1024 per mod)"), command names, block ids,
// names and drops of at most 128 bytes and texture references of at most 1024
// ("register_command: name is too long (at most 128 bytes)", "register_block: 'id' is
// too long (at most 128 bytes)"). Log lines and error texts have their control
// characters escaped and are cut after 1024 bytes; a mod may print 64 KiB a second.
// orva.message and orva.broadcast cut their text after 256 bytes and pass 20 lines a
// second together. Data files are regular files below the data folder; links below it
// are not followed.
//
// The C functions here never hold C++ objects across a Lua call that may raise an
// error: errors unwind with longjmp, which skips destructors. Work that needs C++ objects
// happens in helpers that return before the next Lua call; texts come back through the
// mod's scratch string.

#include "mods/script_api.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_map>

#include <lua.hpp>

#include "mods/data_files.h"
#include "mods/mod_context.h"
#include "mods/sandbox.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

// The work a data file call is charged besides its bytes: a handful of system calls.
constexpr double kFileCallWork = 20000.0;

// ---------------------------------------------------------------- [helpers]

int32_t checkInt32(lua_State* L, int arg) {
  const lua_Integer value = luaL_checkinteger(L, arg);
  luaL_argcheck(L, value >= INT32_MIN && value <= INT32_MAX, arg, "out of 32-bit range");
  return static_cast<int32_t>(value);
}

int32_t optCount(lua_State* L, int arg) {
  return lua_isnoneornil(L, arg) ? 1 : checkInt32(L, arg);
}

std::string_view checkText(lua_State* L, int arg) {
  size_t length = 0;
  const char* text = luaL_checklstring(L, arg, &length);
  return {text, length};
}

int pushScratch(lua_State* L, LoadedMod& mod) {
  lua_pushlstring(L, mod.scratch.data(), mod.scratch.size());
  if (mod.scratch.capacity() > 65536) std::string().swap(mod.scratch);
  return 1;
}

// ---------------------------------------------------------------- [orva]

int apiGetBlock(lua_State* L) {
  const int32_t x = checkInt32(L, 1), y = checkInt32(L, 2), z = checkInt32(L, 3);
  LoadedMod& mod = modOf(L);
  if (!mod.context || !mod.context->getBlock(x, y, z, mod.scratch)) {
    lua_pushnil(L);
    return 1;
  }
  return pushScratch(L, mod);
}

int apiSetBlock(lua_State* L) {
  const int32_t x = checkInt32(L, 1), y = checkInt32(L, 2), z = checkInt32(L, 3);
  const std::string_view id = checkText(L, 4);
  LoadedMod& mod = modOf(L);
  lua_pushboolean(L, mod.context && mod.context->setBlock(x, y, z, std::string(id)));
  return 1;
}

// Chat lines are capped in length (cut at a character boundary) and in number per
// second; lines over the rate are dropped. False when the line may not go out.
bool admitMessage(LoadedMod& mod, std::string_view& text) {
  if (!mod.context) return false;
  if (text.size() > kModMaxMessageLength) {
    size_t cut = kModMaxMessageLength;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  admitModOutput(mod, 0);  // starts a new second when one has passed
  if (mod.messagesInWindow >= kModMessagesPerSecond) return false;
  ++mod.messagesInWindow;
  return true;
}

int apiMessage(lua_State* L) {
  std::string_view text = checkText(L, 1);
  LoadedMod& mod = modOf(L);
  if (admitMessage(mod, text)) mod.context->message(std::string(text));
  return 0;
}

int apiBroadcast(lua_State* L) {
  std::string_view text = checkText(L, 1);
  LoadedMod& mod = modOf(L);
  if (admitMessage(mod, text)) mod.context->broadcast(std::string(text));
  return 0;
}

int apiGive(lua_State* L) {
  const std::string_view id = checkText(L, 1);
  const int32_t count = optCount(L, 2);
  LoadedMod& mod = modOf(L);
  lua_pushboolean(L, mod.context && mod.context->give(std::string(id), count));
  return 1;
}

// nil when there is no player to answer about (the dedicated server outside a player's
// event).
int apiPlayerPosition(lua_State* L) {
  LoadedMod& mod = modOf(L);
  if (mod.context && !mod.context->hasPlayer()) {
    lua_pushnil(L);
    return 1;
  }
  const glm::vec3 position = mod.context ? mod.context->playerPosition() : glm::vec3(0.0f);
  lua_pushnumber(L, position.x);
  lua_pushnumber(L, position.y);
  lua_pushnumber(L, position.z);
  return 3;
}

int apiTeleport(lua_State* L) {
  const glm::vec3 position(static_cast<float>(luaL_checknumber(L, 1)),
                           static_cast<float>(luaL_checknumber(L, 2)),
                           static_cast<float>(luaL_checknumber(L, 3)));
  LoadedMod& mod = modOf(L);
  lua_pushboolean(L, mod.context && mod.context->teleport(position));
  return 1;
}

int apiSpawnDrop(lua_State* L) {
  const int32_t x = checkInt32(L, 1), y = checkInt32(L, 2), z = checkInt32(L, 3);
  const std::string_view id = checkText(L, 4);
  const int32_t count = optCount(L, 5);
  LoadedMod& mod = modOf(L);
  lua_pushboolean(L, mod.context && mod.context->spawnDrop(x, y, z, std::string(id), count));
  return 1;
}

int apiIsHost(lua_State* L) {
  LoadedMod& mod = modOf(L);
  lua_pushboolean(L, mod.context && mod.context->isHost());
  return 1;
}

int apiLog(lua_State* L) {
  logModLine(modOf(L), checkText(L, 1));
  return 0;
}

int apiDataDir(lua_State* L) {
  LoadedMod& mod = modOf(L);
  if (!mod.context) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushlstring(L, mod.dataFolder.data(), mod.dataFolder.size());
  return 1;
}

int apiDataRead(lua_State* L) {
  const std::string_view name = checkText(L, 1);
  chargeModWork(L, kFileCallWork);
  LoadedMod& mod = modOf(L);
  switch (readDataFile(mod, name)) {
    case DataRead::kOk:
      return pushScratch(L, mod);
    case DataRead::kTooLarge:
      return luaL_error(L, "data_read: file does not fit in the mod's memory");
    case DataRead::kMissing:
      break;
  }
  lua_pushnil(L);
  return 1;
}

int apiDataWrite(lua_State* L) {
  const std::string_view name = checkText(L, 1);
  const std::string_view data = checkText(L, 2);
  chargeModWork(L, kFileCallWork + static_cast<double>(data.size()));
  lua_pushboolean(L, writeDataFile(modOf(L), name, data));
  return 1;
}

int print(lua_State* L) {
  const int count = lua_gettop(L);
  luaL_Buffer line;
  luaL_buffinit(L, &line);
  for (int i = 1; i <= count; ++i) {
    if (i > 1) luaL_addchar(&line, '\t');
    luaL_tolstring(L, i, nullptr);
    luaL_addvalue(&line);
  }
  luaL_pushresult(&line);
  logModLine(modOf(L), checkText(L, -1));
  return 0;
}

// ---------------------------------------------------------------- [blocks]

// The fields of a block definition, read from the script's table. The texts stay on
// the Lua stack while the helper runs.
struct BlockFields {
  std::string_view id, texture, top, side, bottom, name, drop;
  bool hasName = false;
  bool solid = true, opaque = true, cutout = false;
  double hardness = 1.0;
};

// kRefused: the reason is in the mod's scratch text.
enum class RegisterResult {
  kRegistered,
  kAlreadyRegistered,
  kNoId,
  kNoTexture,
  kFull,
  kTooMany,
  kRefused
};

std::string_view textField(lua_State* L, const char* field) {
  const int type = lua_getfield(L, 1, field);
  if (type != LUA_TSTRING && type != LUA_TNUMBER) return {};
  size_t length = 0;
  const char* text = lua_tolstring(L, -1, &length);
  return {text, length};
}

bool flagField(lua_State* L, const char* field, bool fallback) {
  const int type = lua_getfield(L, 1, field);
  return type == LUA_TNIL ? fallback : lua_toboolean(L, -1) != 0;
}

// Letters and digits lowered, "_" and "-" kept, anything else dropped.
std::string textureStem(const fs::path& path) {
  std::string stem;
  for (char c : path.stem().string()) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
      stem += c;
    } else if (c >= 'A' && c <= 'Z') {
      stem += static_cast<char>(c - 'A' + 'a');
    }
  }
  return stem.empty() ? "texture" : stem;
}

// Fills the mod's scratch text with the refusal of `what` that belongs to `owner`.
void refuseName(LoadedMod& mod, const char* function, const std::string& what,
                const std::string& owner) {
  mod.scratch = std::string(function) + ": mod '" + mod.name + "' cannot take " + what + " from " +
                (owner.empty() ? std::string("the game") : "mod '" + owner + "'");
}

// A face's texture: an image file below the mod's root folder (or an absolute path),
// or, when there is no such file and the text has no ".", a registered texture name.
// A new texture's name may not be a built-in one or another mod's; -1 then, with the
// refusal in the mod's scratch text.
int textureReference(LoadedMod& mod, const std::string& text) {
  BlockRegistry& registry = blocks();
  const fs::path given(text);
  const fs::path path = given.is_absolute() ? given : fs::path(mod.rootFolder) / given;
  std::error_code ec;
  if (!fs::exists(path, ec) && text.find('.') == std::string::npos) {
    if (int existing = registry.findTexture(text); existing >= 0) return existing;
  }
  const std::string name = toLowerAscii(mod.name + "_" + textureStem(path));
  const int existing = registry.findTexture(name);
  if (existing >= 0 && existing < kBuiltinTextureCount) {
    refuseName(mod, "register_block", "the texture '" + name + "'", "");
    return -1;
  }
  if (mod.claims) {
    const auto [owner, added] = mod.claims->textureOwners.try_emplace(name, mod.name);
    if (!added && owner->second != mod.name) {
      refuseName(mod, "register_block", "the texture '" + name + "'", owner->second);
      return -1;
    }
  }
  const int index = registry.addTexture(name);
  registry.setTextureSource(index, path.string());
  return index;
}

bool blockIdTaken(const std::string& id) {
  const std::string lower = toLowerAscii(id);
  const BlockRegistry& registry = blocks();
  for (size_t i = 0; i < registry.blockCount(); ++i) {
    if (toLowerAscii(registry.blockDef(static_cast<BlockId>(i)).id) == lower) return true;
  }
  return false;
}

// Why `id` is not this mod's to register, in the mod's scratch text; false when it is.
// An id is lowercase, and its prefix is the mod's own name or one that no mod package
// and not the game uses; an id another mod registered stays that mod's.
bool blockIdRefused(LoadedMod& mod, const std::string& id) {
  if (id != toLowerAscii(id)) {
    mod.scratch = "register_block: '" + id + "' has capital letters; block ids are lowercase";
    return true;
  }
  const std::string prefix = id.substr(0, id.find(':'));
  const std::string own = toLowerAscii(mod.name);
  if (prefix == "orvane") {
    refuseName(mod, "register_block", "'" + id + "'", "");
    return true;
  }
  if (!mod.claims) return false;
  if (prefix != own && mod.claims->modNames.contains(prefix)) {
    refuseName(mod, "register_block", "'" + id + "'", prefix);
    return true;
  }
  const auto owner = mod.claims->blockOwners.find(id);
  if (owner != mod.claims->blockOwners.end() && owner->second != mod.name) {
    refuseName(mod, "register_block", "'" + id + "'", owner->second);
    return true;
  }
  return false;
}

// Adds the block; its full id goes to the mod's scratch text.
RegisterResult registerBlock(LoadedMod& mod, const BlockFields& fields) {
  if (fields.id.empty()) return RegisterResult::kNoId;
  std::string id(fields.id);
  if (id.find(':') == std::string::npos) id = toLowerAscii(mod.name) + ":" + id;
  if (blockIdRefused(mod, id)) return RegisterResult::kRefused;
  mod.scratch = id;
  if (blockIdTaken(id)) {
    std::fprintf(stderr, "[mod:%s] block %s already registered\n", mod.name.c_str(), id.c_str());
    return RegisterResult::kAlreadyRegistered;
  }
  if (mod.blocksRegistered >= kModMaxBlocks) return RegisterResult::kTooMany;
  std::string faces[3] = {std::string(fields.top), std::string(fields.side),
                          std::string(fields.bottom)};
  for (std::string& face : faces) {
    if (face.empty()) face = fields.texture;
  }
  std::string firstFace;
  for (const std::string& face : faces) {
    if (firstFace.empty()) firstFace = face;
  }
  if (firstFace.empty()) return RegisterResult::kNoTexture;
  std::unordered_map<std::string, int> resolved;
  int textures[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (faces[i].empty()) faces[i] = firstFace;
    auto [it, added] = resolved.try_emplace(faces[i], 0);
    if (added) it->second = textureReference(mod, faces[i]);
    if (it->second < 0) return RegisterResult::kRefused;
    textures[i] = it->second;
  }

  BlockDef def;
  def.id = id;
  def.name = fields.hasName ? std::string(fields.name) : id.substr(id.find(':') + 1);
  def.solid = fields.solid;
  def.opaque = fields.opaque;
  def.cutout = fields.cutout;
  def.fluid = false;
  def.textureTop = textures[0];
  def.textureSide = textures[1];
  def.textureBottom = textures[2];
  def.hardness = static_cast<float>(fields.hardness);
  def.drop = 0;
  BlockRegistry& registry = blocks();
  const BlockId block = registry.addBlock(def);
  if (block == kNoBlock) return RegisterResult::kFull;
  ++mod.blocksRegistered;
  if (mod.claims) mod.claims->blockOwners[id] = mod.name;
  mod.scratch = id;
  registry.setDrop(block, block);
  if (!fields.drop.empty()) {
    const BlockId drop = registry.findBlock(fields.drop);
    if (drop != kNoBlock) {
      registry.setDrop(block, drop);
    } else {
      std::fprintf(stderr, "[mod:%s] unknown drop %.*s\n", mod.name.c_str(),
                   static_cast<int>(fields.drop.size()), fields.drop.data());
    }
  }
  return RegisterResult::kRegistered;
}

int apiRegisterBlock(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  LoadedMod& mod = modOf(L);
  if (!mod.context) return luaL_error(L, "no mod context");
  luaL_checkstack(L, 16, "register_block");
  BlockFields fields;
  fields.id = textField(L, "id");
  fields.texture = textField(L, "texture");
  fields.top = textField(L, "top");
  fields.side = textField(L, "side");
  fields.bottom = textField(L, "bottom");
  fields.name = textField(L, "name");
  fields.hasName = lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER;
  fields.drop = textField(L, "drop");
  fields.solid = flagField(L, "solid", true);
  fields.opaque = flagField(L, "opaque", true);
  fields.cutout = flagField(L, "cutout", false);
  for (const auto& [text, field, limit] : {std::tuple{fields.id, "id", kModMaxNameLength},
                                           {fields.name, "name", kModMaxNameLength},
                                           {fields.drop, "drop", kModMaxNameLength},
                                           {fields.texture, "texture", kModMaxPathLength},
                                           {fields.top, "top", kModMaxPathLength},
                                           {fields.side, "side", kModMaxPathLength},
                                           {fields.bottom, "bottom", kModMaxPathLength}}) {
    if (text.size() > limit) {
      return luaL_error(L, "register_block: '%s' is too long (at most %d bytes)", field,
                        static_cast<int>(limit));
    }
  }
  lua_getfield(L, 1, "hardness");
  int isNumber = 0;
  const lua_Number hardness = lua_tonumberx(L, -1, &isNumber);
  if (isNumber) fields.hardness = hardness;

  switch (registerBlock(mod, fields)) {
    case RegisterResult::kNoId:
      return luaL_error(L, "register_block: 'id' is required");
    case RegisterResult::kNoTexture:
      return luaL_error(L, "register_block: 'texture' is required");
    case RegisterResult::kFull:
      return luaL_error(L, "register_block: block registry is full");
    case RegisterResult::kTooMany:
      return luaL_error(L, "register_block: too many blocks (at most %d per mod)",
                        static_cast<int>(kModMaxBlocks));
    case RegisterResult::kRefused:
      return luaL_error(L, "%s", mod.scratch.c_str());
    case RegisterResult::kRegistered:
    case RegisterResult::kAlreadyRegistered:
      break;
  }
  return pushScratch(L, mod);
}

// ---------------------------------------------------------------- [handlers]

constexpr int kTooMany = LUA_NOREF - 1;  // storeCommand: no room for another command
constexpr int kTaken = LUA_NOREF - 2;    // storeCommand: the word is the game's or a mod's

// The command word of a name: lower case, without one leading "/".
std::string commandWord(std::string_view name) {
  std::string key = toLowerAscii(name);
  if (!key.empty() && key.front() == '/') key.erase(0, 1);
  return key;
}

// Stores the command under its word, for the host when `host`; returns the reference it
// replaces, LUA_NOREF, kTooMany, or kTaken (the refusal in the mod's scratch text) when
// the game or an earlier mod has the word.
int storeCommand(LoadedMod& mod, std::string_view name, int reference, bool host) {
  std::string key = commandWord(name);
  if (mod.context && mod.context->isBuiltinCommand(key)) {
    refuseName(mod, "register_command", "'" + key + "'", "");
    return kTaken;
  }
  if (mod.claims) {
    const auto owner = mod.claims->commandOwners.find(key);
    if (owner != mod.claims->commandOwners.end() && owner->second != mod.name) {
      refuseName(mod, "register_command", "'" + key + "'", owner->second);
      return kTaken;
    }
  }
  if (mod.commands.size() >= kModMaxCommands && !mod.commands.contains(key)) return kTooMany;
  if (mod.claims) mod.claims->commandOwners[key] = mod.name;
  if (host) {
    mod.hostCommands.insert(key);
  } else {
    mod.hostCommands.erase(key);
  }
  auto [it, added] = mod.commands.try_emplace(std::move(key), reference);
  if (added) return LUA_NOREF;
  const int old = it->second;
  it->second = reference;
  return old;
}

// register_command(name, handler [, options]): options.host = true registers the
// command for the host, which runs it for the joined player who typed it.
int apiRegisterCommand(lua_State* L) {
  const std::string_view name = checkText(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  bool host = false;
  if (!lua_isnoneornil(L, 3)) {
    luaL_checktype(L, 3, LUA_TTABLE);
    lua_getfield(L, 3, "host");
    host = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
  }
  LoadedMod& mod = modOf(L);
  if (!mod.context) return luaL_error(L, "no mod context");
  if (name.size() > kModMaxNameLength) {
    return luaL_error(L, "register_command: name is too long (at most %d bytes)",
                      static_cast<int>(kModMaxNameLength));
  }
  lua_pushvalue(L, 2);
  const int reference = luaL_ref(L, LUA_REGISTRYINDEX);
  const int old = storeCommand(mod, name, reference, host);
  if (old == kTooMany || old == kTaken) {
    luaL_unref(L, LUA_REGISTRYINDEX, reference);
    if (old == kTaken) return luaL_error(L, "%s", mod.scratch.c_str());
    return luaL_error(L, "register_command: too many commands (at most %d per mod)",
                      static_cast<int>(kModMaxCommands));
  }
  if (old != LUA_NOREF) luaL_unref(L, LUA_REGISTRYINDEX, old);
  return 0;
}

constexpr const char* kRegistrations[kModEventCount] = {
    "on_block_break", "on_block_place", "on_tick", "on_player_join", "on_player_leave"};

// on_block_break and the others; upvalue 1 is the event number.
int registerHandler(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  LoadedMod& mod = modOf(L);
  if (!mod.context) return luaL_error(L, "no mod context");
  const auto event = static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(1)));
  if (mod.handlers[event].size() >= kModMaxHandlersPerEvent) {
    return luaL_error(L, "%s: too many handlers (at most %d per event)", kRegistrations[event],
                      static_cast<int>(kModMaxHandlersPerEvent));
  }
  mod.handlers[event].reserve(mod.handlers[event].size() + 1);
  lua_pushvalue(L, 1);
  mod.handlers[event].push_back(luaL_ref(L, LUA_REGISTRYINDEX));
  return 0;
}

}  // namespace

// ---------------------------------------------------------------- [install]

void installScriptApi(lua_State* L, LoadedMod& mod) {
  static const luaL_Reg kFunctions[] = {
      {"get_block", apiGetBlock},
      {"set_block", apiSetBlock},
      {"message", apiMessage},
      {"broadcast", apiBroadcast},
      {"give", apiGive},
      {"player_position", apiPlayerPosition},
      {"teleport", apiTeleport},
      {"spawn_drop", apiSpawnDrop},
      {"is_host", apiIsHost},
      {"log", apiLog},
      {"data_dir", apiDataDir},
      {"data_read", apiDataRead},
      {"data_write", apiDataWrite},
      {"register_block", apiRegisterBlock},
      {"register_command", apiRegisterCommand},
      {nullptr, nullptr},
  };
  luaL_newlib(L, kFunctions);
  lua_pushinteger(L, 1);
  lua_setfield(L, -2, "api_version");
  lua_pushlstring(L, mod.name.data(), mod.name.size());
  lua_setfield(L, -2, "mod");
  lua_setglobal(L, "orva");

  for (int event = 0; event < kModEventCount; ++event) {
    lua_pushinteger(L, event);
    lua_pushcclosure(L, registerHandler, 1);
    lua_setglobal(L, kRegistrations[event]);
  }
  lua_pushcfunction(L, print);
  lua_setglobal(L, "print");
}

// ---------------------------------------------------------------- [output]

void logModLine(LoadedMod& mod, std::string_view text) {
  if (!mod.context) return;
  char safe[kModEscapedLineCapacity];
  const size_t size = escapeModText(text, safe, sizeof(safe));
  if (!admitModOutput(mod, size + mod.name.size() + 3)) return;
  std::string line;
  line.reserve(size + mod.name.size() + 3);
  line += '[';
  line += mod.name;
  line += "] ";
  line.append(safe, size);
  mod.context->log(line);
}

size_t escapeModText(std::string_view text, char* out, size_t capacity) {
  static constexpr char kHex[] = "0123456789abcdef";
  const bool cut = text.size() > kModMaxLineLength;
  if (cut) text = text.substr(0, kModMaxLineLength);
  size_t size = 0;
  const auto put = [&](char c) {
    if (size < capacity) out[size++] = c;
  };
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x20 && byte != 0x7F) || c == '\t') {
      put(c);
    } else if (c == '\n' || c == '\r') {
      put('\\');
      put(c == '\n' ? 'n' : 'r');
    } else {
      put('\\');
      put('x');
      put(kHex[byte >> 4]);
      put(kHex[byte & 15]);
    }
  }
  if (cut) {
    for (const char c : {'.', '.', '.'}) put(c);
  }
  return size;
}

std::string escapeModText(std::string_view text) {
  std::string out(kModEscapedLineCapacity, '\0');
  out.resize(escapeModText(text, out.data(), out.size()));
  return out;
}

bool admitModOutput(LoadedMod& mod, size_t bytes) {
  const auto now = std::chrono::steady_clock::now();
  if (now - mod.outputWindow >= std::chrono::seconds(1)) {
    mod.outputWindow = now;
    mod.outputBytes = 0;
    mod.outputDropped = false;
    mod.messagesInWindow = 0;
  }
  if (mod.outputBytes + bytes <= kModOutputBytesPerSecond) {
    mod.outputBytes += bytes;
    return true;
  }
  if (!mod.outputDropped) {
    mod.outputDropped = true;
    std::fprintf(stderr, "[mod:%s] too much output; more is dropped for a second\n",
                 mod.name.c_str());
  }
  return false;
}
