// Loading mods and dispatching to them.
//
// Sections:
//   call bodies    what runs inside each protected call: main.lua, the block, tick and
//                  player handlers, commands
//   loading        loadMods, createMod, unloadMods, the mod-list fingerprint
//   dispatch       the five events and runModCommand

#include "mods/mod_manager.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mods/mod_context.h"
#include "mods/package.h"
#include "mods/sandbox.h"

namespace fs = std::filesystem;

namespace {

bool readWholeFile(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The bodies below run inside protectedModCall, so every Lua error they meet, memory
// errors while building the event table included, ends as an error of that call.

struct MainChunk {
  const std::string* text;
  const std::string* chunkName;
  const char* step;  // "load", then "run" once the text compiled
};

int runMainChunk(lua_State* L) {
  auto& chunk = *static_cast<MainChunk*>(lua_touserdata(L, 1));
  if (luaL_loadbufferx(L, chunk.text->data(), chunk.text->size(), chunk.chunkName->c_str(), "t") !=
      LUA_OK) {
    return lua_error(L);
  }
  chunk.step = "run";
  // A long text takes a while to compile; the running time starts now.
  modOf(L).deadline = std::chrono::steady_clock::now() + kModCallTimeLimit;
  lua_call(L, 0, 0);
  return 0;
}

struct BlockEventCall {
  int handler;
  int32_t x, y, z;
  const std::string* block;
  uint32_t playerId;
  const std::string* player;
  bool cancelled;
};

int callBlockHandler(lua_State* L) {
  auto& call = *static_cast<BlockEventCall*>(lua_touserdata(L, 1));
  lua_createtable(L, 0, 7);
  lua_pushinteger(L, call.x);
  lua_setfield(L, 2, "x");
  lua_pushinteger(L, call.y);
  lua_setfield(L, 2, "y");
  lua_pushinteger(L, call.z);
  lua_setfield(L, 2, "z");
  lua_pushlstring(L, call.block->data(), call.block->size());
  lua_setfield(L, 2, "block");
  lua_pushlstring(L, call.player->data(), call.player->size());
  lua_setfield(L, 2, "player");
  lua_pushinteger(L, call.playerId);
  lua_setfield(L, 2, "player_id");
  lua_pushboolean(L, 0);
  lua_setfield(L, 2, "cancelled");
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_pushvalue(L, 2);
  lua_call(L, 1, 0);
  lua_getfield(L, 2, "cancelled");
  call.cancelled = lua_toboolean(L, -1) != 0;
  return 0;
}

struct TickCall {
  int handler;
  double dt;
};

int callTickHandler(lua_State* L) {
  auto& call = *static_cast<TickCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_pushnumber(L, call.dt);
  lua_call(L, 1, 0);
  return 0;
}

struct PlayerEventCall {
  int handler;
  uint32_t playerId;
  const std::string* player;
};

int callPlayerHandler(lua_State* L) {
  auto& call = *static_cast<PlayerEventCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_createtable(L, 0, 2);
  lua_pushinteger(L, call.playerId);
  lua_setfield(L, -2, "id");
  lua_pushlstring(L, call.player->data(), call.player->size());
  lua_setfield(L, -2, "player");
  lua_call(L, 1, 0);
  return 0;
}

struct CommandCall {
  int handler;
  const std::string* arguments;
  const std::string* player;
  std::string* reply;
};

int callCommandHandler(lua_State* L) {
  auto& call = *static_cast<CommandCall*>(lua_touserdata(L, 1));
  lua_rawgeti(L, LUA_REGISTRYINDEX, call.handler);
  lua_pushlstring(L, call.arguments->data(), call.arguments->size());
  lua_pushlstring(L, call.player->data(), call.player->size());
  lua_call(L, 2, 1);
  const int type = lua_type(L, -1);
  if (type == LUA_TSTRING || type == LUA_TNUMBER) {
    size_t length = 0;
    const char* text = lua_tolstring(L, -1, &length);
    call.reply->assign(text, length);
  }
  return 0;
}

}  // namespace

uint32_t extendModListHash(uint32_t hash, std::string_view name, std::string_view mainLua) {
  for (unsigned char byte : name) hash = (hash ^ byte) * kModListHashPrime;
  hash *= kModListHashPrime;  // the zero byte between name and text
  for (unsigned char byte : mainLua) hash = (hash ^ byte) * kModListHashPrime;
  return hash;
}

ModManager::~ModManager() {
  unloadMods();
}

void ModManager::loadMods(const std::string& modsFolder, ModContext* context) {
  unloadMods();
  context_ = context;
  enabled_ = true;
  modListHash_ = kModListHashBasis;
  modsFolder_ = modsFolder;
  std::error_code ec;
  if (!fs::is_directory(modsFolder, ec)) return;
  const fs::path cache = fs::path(modsFolder) / ".cache";
  fs::remove_all(cache, ec);
  fs::create_directories(cache, ec);

  for (const std::string& package : listModPackages(modsFolder)) {
    const std::string name = modNameOfPackage(package);
    bool taken = false;
    for (const auto& mod : mods_) taken = taken || mod->name == name;
    if (taken) continue;
    // A package of the same name that failed before may have left files here.
    const fs::path destination = cache / name;
    fs::remove_all(destination, ec);
    std::string error;
    if (!extractPackage(package, destination.string(), error)) {
      std::fprintf(stderr, "[mod:%s] %s\n", name.c_str(), error.c_str());
      continue;
    }
    const std::optional<std::string> root = findMainLuaFolder(destination.string());
    if (!root) {
      std::fprintf(stderr, "[mod:%s] package has no main.lua\n", name.c_str());
      continue;
    }
    createMod(name, *root);
  }
}

void ModManager::unloadMods() {
  for (auto& mod : mods_) closeSandboxState(*mod);
  mods_.clear();
  enabled_ = false;
  modListHash_ = kModListHashBasis;
}

std::vector<std::string> ModManager::modNames() const {
  std::vector<std::string> names;
  names.reserve(mods_.size());
  for (const auto& mod : mods_) names.push_back(mod->name);
  return names;
}

bool ModManager::createMod(const std::string& name, const std::string& rootFolder) {
  auto mod = std::make_unique<LoadedMod>();
  mod->name = name;
  mod->rootFolder = rootFolder;
  mod->dataFolder = (fs::path(modsFolder_) / name).string();
  mod->context = context_;
  if (!createSandboxState(*mod)) {
    std::fprintf(stderr, "[mod:%s] failed to create Lua state\n", name.c_str());
    return false;
  }
  const fs::path mainPath = fs::path(rootFolder) / "main.lua";
  std::string text;
  if (!readWholeFile(mainPath, text) || text.empty()) {
    std::fprintf(stderr, "[mod:%s] main.lua is empty\n", name.c_str());
    closeSandboxState(*mod);
    return false;
  }
  std::string chunkName = "@";
  chunkName += mainPath.string();
  MainChunk chunk{&text, &chunkName, "load"};
  if (protectedModCall(*mod, runMainChunk, &chunk) != LUA_OK) {
    reportModError(*mod, chunk.step);
    closeSandboxState(*mod);
    return false;
  }
  removeModHook(*mod);
  modListHash_ = extendModListHash(modListHash_, name, text);
  std::printf("mod: %s loaded\n", name.c_str());
  mods_.push_back(std::move(mod));
  return true;
}

void ModManager::reportModError(LoadedMod& mod, const char* what) {
  lua_State* L = mod.state;
  const char* text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "unknown error";
  std::fprintf(stderr, "[mod:%s] %s failed: %s\n", mod.name.c_str(), what, text);
  lua_pop(L, 1);
}

bool ModManager::fireBlockEvent(ModEvent event, int32_t x, int32_t y, int32_t z,
                                const std::string& block, uint32_t playerId,
                                const std::string& playerName) {
  if (!enabled_) return true;
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[event];
    const size_t count = handlers.size();  // handlers added meanwhile wait for the next event
    for (size_t i = 0; i < count; ++i) {
      BlockEventCall call{handlers[i], x, y, z, &block, playerId, &playerName, false};
      if (protectedModCall(*mod, callBlockHandler, &call) != LUA_OK) {
        reportModError(*mod, "block event");
      } else if (call.cancelled) {
        return false;
      }
    }
  }
  return true;
}

bool ModManager::fireBlockBreak(int32_t x, int32_t y, int32_t z, const std::string& block,
                                uint32_t playerId, const std::string& playerName) {
  return fireBlockEvent(kModEventBlockBreak, x, y, z, block, playerId, playerName);
}

bool ModManager::fireBlockPlace(int32_t x, int32_t y, int32_t z, const std::string& block,
                                uint32_t playerId, const std::string& playerName) {
  return fireBlockEvent(kModEventBlockPlace, x, y, z, block, playerId, playerName);
}

void ModManager::fireTick(double dt) {
  if (!enabled_) return;
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[kModEventTick];
    const size_t count = handlers.size();
    for (size_t i = 0; i < count; ++i) {
      TickCall call{handlers[i], dt};
      if (protectedModCall(*mod, callTickHandler, &call) != LUA_OK) {
        reportModError(*mod, "tick");
      }
    }
  }
}

void ModManager::firePlayerEvent(ModEvent event, uint32_t playerId, const std::string& playerName) {
  if (!enabled_) return;
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[event];
    const size_t count = handlers.size();
    for (size_t i = 0; i < count; ++i) {
      PlayerEventCall call{handlers[i], playerId, &playerName};
      if (protectedModCall(*mod, callPlayerHandler, &call) != LUA_OK) {
        reportModError(*mod, "player event");
      }
    }
  }
}

void ModManager::firePlayerJoin(uint32_t playerId, const std::string& playerName) {
  firePlayerEvent(kModEventPlayerJoin, playerId, playerName);
}

void ModManager::firePlayerLeave(uint32_t playerId, const std::string& playerName) {
  firePlayerEvent(kModEventPlayerLeave, playerId, playerName);
}

bool ModManager::runModCommand(const std::string& word, const std::string& arguments,
                               const std::string& playerName, std::string& reply) {
  reply.clear();
  if (!enabled_) return false;
  for (auto& mod : mods_) {
    const auto it = mod->commands.find(word);
    if (it == mod->commands.end()) continue;
    CommandCall call{it->second, &arguments, &playerName, &reply};
    if (protectedModCall(*mod, callCommandHandler, &call) != LUA_OK) {
      reply.clear();
      reportModError(*mod, "command");
    }
    return true;
  }
  return false;
}
