// Loading mods and dispatching to them.
//
// Sections:
//   call bodies    what runs inside each protected call: main.lua, the block, tick and
//                  player handlers, commands
//   loading        loadMods, createMod, unloadMods, the mod-list fingerprint
//   dispatch       the five events and runModCommand

#include "mods/mod_manager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "mods/mod_context.h"
#include "mods/package.h"
#include "mods/sandbox.h"
#include "mods/script_api.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// main.lua is read in pieces of this size while it compiles, so the deadline is looked
// at between them.
constexpr size_t kMainLuaPiece = 512;
// The longest error report printed for one failed call.
constexpr size_t kMaxReportLength = 8192;

enum class MainRead { kOk, kEmpty, kTooLarge };

// Reads main.lua whole when it is a regular file of at most kMaxMainLuaBytes.
MainRead readMainLua(const fs::path& path, std::string& out) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return MainRead::kEmpty;
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) return MainRead::kEmpty;
  if (size > kMaxMainLuaBytes) return MainRead::kTooLarge;
  std::ifstream in(path, std::ios::binary);
  if (!in) return MainRead::kEmpty;
  out.resize(static_cast<size_t>(size));
  in.read(out.data(), static_cast<std::streamsize>(size));
  out.resize(static_cast<size_t>(in.gcount()));
  return out.empty() ? MainRead::kEmpty : MainRead::kOk;
}

// An error report safe to print: line breaks are kept only where the traceback starts
// its lines, other control characters are escaped, and the length is capped.
std::string safeReport(std::string_view text) {
  std::string out;
  const bool cut = text.size() > kMaxReportLength;
  if (cut) text = text.substr(0, kMaxReportLength);
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const std::string_view rest = text.substr(i + 1);
    if (c == '\n' && (rest.starts_with('\t') || rest.starts_with("stack traceback:"))) {
      out += c;
    } else {
      out += escapeModText(text.substr(i, 1));
    }
  }
  if (cut) out += "...";
  return out;
}

// The bodies below run inside protectedModCall, so every Lua error they meet, memory
// errors while building the event table included, ends as an error of that call.

struct MainChunk {
  const std::string* text;
  const std::string* chunkName;
  const char* step;  // "load", then "run" once the text compiled
  LoadedMod* mod;
  size_t offset = 0;
  bool outOfTime = false;
};

// Hands the compiler the next piece of main.lua, or the end when the call's deadline
// has passed.
const char* readMainPiece(lua_State*, void* data, size_t* size) {
  auto& chunk = *static_cast<MainChunk*>(data);
  *size = 0;
  if (chunk.offset >= chunk.text->size()) return nullptr;
  if (Clock::now() >= chunk.mod->deadline) {
    chunk.outOfTime = true;
    return nullptr;
  }
  *size = std::min(kMainLuaPiece, chunk.text->size() - chunk.offset);
  const char* piece = chunk.text->data() + chunk.offset;
  chunk.offset += *size;
  return piece;
}

// Compiling and running main.lua share one deadline.
int runMainChunk(lua_State* L) {
  auto& chunk = *static_cast<MainChunk*>(lua_touserdata(L, 1));
  const int status = lua_load(L, readMainPiece, &chunk, chunk.chunkName->c_str(), "t");
  LoadedMod& mod = *chunk.mod;
  if (chunk.outOfTime || mod.timeUp) {
    mod.inCall = false;  // the allocator may hand out the error text again
    return luaL_error(L, "%s: %s", chunk.chunkName->c_str() + 1, kModTimeExceeded);
  }
  if (status != LUA_OK) return lua_error(L);
  chunk.step = "run";
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

  const std::vector<std::string> packages = listModPackages(modsFolder);
  // Every package's name is its own block-id prefix, whether it loads before or after.
  for (const std::string& package : packages) {
    claims_.modNames.insert(toLowerAscii(modNameOfPackage(package)));
  }
  for (const std::string& package : packages) {
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
      noteFailedMod(name);
      continue;
    }
    const std::optional<std::string> root = findMainLuaFolder(destination.string());
    if (!root) {
      std::fprintf(stderr, "[mod:%s] package has no main.lua\n", name.c_str());
      noteFailedMod(name);
      continue;
    }
    createMod(name, *root);
  }
}

void ModManager::noteFailedMod(const std::string& name) {
  std::erase_if(claims_.commandOwners, [&](const auto& entry) { return entry.second == name; });
  if (std::find(failedMods_.begin(), failedMods_.end(), name) == failedMods_.end()) {
    failedMods_.push_back(name);
  }
  if (context_) context_->notice("Mod %s failed to load; see the console", name);
}

void ModManager::unloadMods() {
  for (auto& mod : mods_) closeSandboxState(*mod);
  mods_.clear();
  failedMods_.clear();
  claims_ = ModClaims{};
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
  mod->claims = &claims_;
  claims_.modNames.insert(toLowerAscii(name));
  if (!createSandboxState(*mod)) {
    std::fprintf(stderr, "[mod:%s] failed to create Lua state\n", name.c_str());
    noteFailedMod(name);
    return false;
  }
  const fs::path mainPath = fs::path(rootFolder) / "main.lua";
  std::string text;
  const MainRead read = readMainLua(mainPath, text);
  if (read != MainRead::kOk) {
    std::fprintf(stderr, "[mod:%s] main.lua is %s\n", name.c_str(),
                 read == MainRead::kTooLarge ? "too large" : "empty");
    closeSandboxState(*mod);
    noteFailedMod(name);
    return false;
  }
  std::string chunkName = "@";
  chunkName += mainPath.string();
  MainChunk chunk{&text, &chunkName, "load", mod.get()};
  if (protectedModCall(*mod, runMainChunk, &chunk) != LUA_OK) {
    reportModError(*mod, chunk.step);
    closeSandboxState(*mod);
    noteFailedMod(name);
    return false;
  }
  removeModHook(*mod);
  modListHash_ = extendModListHash(modListHash_, name, text);
  mod->fingerprint = extendModListHash(kModListHashBasis, name, text);
  std::printf("mod: %s loaded\n", name.c_str());
  mods_.push_back(std::move(mod));
  return true;
}

void ModManager::reportModError(LoadedMod& mod, const char* what) {
  lua_State* L = mod.state;
  std::string_view text = "unknown error";
  if (lua_type(L, -1) == LUA_TSTRING) {
    size_t length = 0;
    const char* chars = lua_tolstring(L, -1, &length);
    text = std::string_view(chars, length);
  }
  const std::string safe = safeReport(text);
  if (admitModOutput(mod, safe.size() + mod.name.size() + 24)) {
    std::fprintf(stderr, "[mod:%s] %s failed: %s\n", mod.name.c_str(), what, safe.c_str());
  }
  lua_pop(L, 1);
}

void ModManager::reportHandlerError(LoadedMod& mod, const char* what, int handler) {
  const Clock::time_point now = Clock::now();
  const auto [it, first] = mod.handlerFailures.try_emplace(handler);
  LoadedMod::HandlerFailures& failures = it->second;
  if (!first && now - failures.lastReport < std::chrono::seconds(1)) {
    ++failures.unreported;
    lua_pop(mod.state, 1);
    return;
  }
  if (failures.unreported > 0 && admitModOutput(mod, mod.name.size() + 64)) {
    std::fprintf(stderr, "[mod:%s] %s failed %d more times since the last report\n",
                 mod.name.c_str(), what, static_cast<int>(failures.unreported));
  }
  failures.lastReport = now;
  failures.unreported = 0;
  reportModError(mod, what);
}

void ModManager::switchOff(LoadedMod& mod) {
  if (mod.switchedOff) return;
  mod.switchedOff = true;
  // The references die with the state.
  for (std::vector<int>& list : mod.handlers) list.clear();
  mod.commands.clear();
  mod.hostCommands.clear();
  std::erase_if(claims_.commandOwners, [&](const auto& entry) { return entry.second == mod.name; });
  closeSandboxState(mod);
  std::fprintf(stderr,
               "[mod:%s] switched off for this session: stopped by the time limit in %d events "
               "in a row\n",
               mod.name.c_str(), static_cast<int>(kModSlowEventStrikes));
  if (context_) context_->notice("Mod %s was switched off: it ran too long", mod.name);
}

// One event's dispatch. Every handler gets a slice of its own, ending no later than the
// event's time (250 ms after the first handler started) but always at least 2 ms long;
// the notice of a used-up event names the mod whose handlers took most of it;
// a mod stopped by the time limit sits the rest of the event out. The context knows the
// event's player while the handlers run.
class ModManager::EventDispatch {
 public:
  EventDispatch(ModManager& manager, const char* what, Clock::duration slice, uint32_t playerId = 0,
                const std::string& player = {})
      : manager_(manager), what_(what), slice_(slice) {
    for (auto& mod : manager.mods_) {
      mod->eventTime = {};
      mod->ranThisEvent = false;
      mod->stoppedThisEvent = false;
      mod->slowThisEvent = false;
    }
    if (manager.context_) manager.context_->setEventPlayer(playerId, player);
  }

  ~EventDispatch() {
    if (manager_.context_) manager_.context_->setEventPlayer(0, {});
    for (auto& mod : manager_.mods_) {
      if (!mod->ranThisEvent) continue;
      if (!mod->slowThisEvent) {
        mod->slowEvents = 0;
      } else if (++mod->slowEvents >= kModSlowEventStrikes) {
        manager_.switchOff(*mod);
      }
    }
  }
  EventDispatch(const EventDispatch&) = delete;
  EventDispatch& operator=(const EventDispatch&) = delete;

  // Runs one handler call; false when the mod sits the event out and nothing ran.
  // Errors are reported. The clock is read once per call, when the call starts; the
  // time a handler took is added when the next one starts.
  bool call(LoadedMod& mod, int handler, lua_CFunction body, void* data, bool& failed) {
    failed = false;
    if (mod.switchedOff || mod.stoppedThisEvent) return false;
    const int status = protectedModCall(mod, body, data, end_, slice_, kModLateHandlerSlice);
    if (status == kModCallSkipped) return false;
    const Clock::time_point start = mod.callStart;
    if (last_) {
      last_->eventTime += start - lastStart_;
    } else {
      end_ = start + kModEventTimeLimit;
    }
    last_ = &mod;
    lastStart_ = start;
    mod.ranThisEvent = true;
    if (start >= end_) noteUsedUp();
    if (status == LUA_OK) return true;
    failed = true;
    if (mod.stopReason == kModTimeExceeded) {
      // Only a stop within a whole slice counts against the mod: a handler cut short by
      // the event's end was not the one that used the time up.
      mod.stoppedThisEvent = true;
      mod.slowThisEvent = mod.deadline - start >= slice_;
      if (Clock::now() >= end_) noteUsedUp();
    }
    reportHandlerError(mod, what_, handler);
    return true;
  }

 private:
  // Names, once, the mod whose handlers used most of the event's time.
  void noteUsedUp() {
    if (usedUp_) return;
    usedUp_ = true;
    if (last_) last_->eventTime += Clock::now() - lastStart_;
    lastStart_ = Clock::now();
    LoadedMod* greediest = nullptr;
    for (auto& mod : manager_.mods_) {
      if (!greediest || mod->eventTime > greediest->eventTime) greediest = mod.get();
    }
    const std::string notice = "[mod:" + greediest->name + "] used up the time of a " + what_ +
                               " event; the handlers after it get 2 ms each\n";
    if (admitModOutput(*greediest, notice.size())) std::fputs(notice.c_str(), stderr);
  }

  ModManager& manager_;
  const char* what_;
  Clock::duration slice_;
  bool usedUp_ = false;
  Clock::time_point end_ = Clock::time_point::max();
  LoadedMod* last_ = nullptr;
  Clock::time_point lastStart_;
};

bool ModManager::fireBlockEvent(ModEvent event, int32_t x, int32_t y, int32_t z,
                                const std::string& block, uint32_t playerId,
                                const std::string& playerName) {
  if (!enabled_) return true;
  EventDispatch dispatch(*this, "block event", kModHandlerTimeSlice, playerId, playerName);
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[event];
    const size_t count = handlers.size();  // handlers added meanwhile wait for the next event
    for (size_t i = 0; i < count; ++i) {
      BlockEventCall call{handlers[i], x, y, z, &block, playerId, &playerName, false};
      bool failed = false;
      if (!dispatch.call(*mod, call.handler, callBlockHandler, &call, failed)) break;
      if (!failed && call.cancelled) return false;
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
  EventDispatch dispatch(*this, "tick", kModTickHandlerSlice);
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[kModEventTick];
    const size_t count = handlers.size();
    for (size_t i = 0; i < count; ++i) {
      TickCall call{handlers[i], dt};
      bool failed = false;
      if (!dispatch.call(*mod, call.handler, callTickHandler, &call, failed)) break;
    }
  }
}

void ModManager::firePlayerEvent(ModEvent event, uint32_t playerId, const std::string& playerName) {
  if (!enabled_) return;
  EventDispatch dispatch(*this, "player event", kModHandlerTimeSlice, playerId, playerName);
  for (auto& mod : mods_) {
    const std::vector<int>& handlers = mod->handlers[event];
    const size_t count = handlers.size();
    for (size_t i = 0; i < count; ++i) {
      PlayerEventCall call{handlers[i], playerId, &playerName};
      bool failed = false;
      if (!dispatch.call(*mod, call.handler, callPlayerHandler, &call, failed)) break;
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
                               const std::string& playerName, std::string& reply,
                               uint32_t playerId) {
  reply.clear();
  if (!enabled_) return false;
  for (auto& mod : mods_) {
    const auto it = mod->commands.find(word);
    if (it == mod->commands.end()) continue;
    CommandCall call{it->second, &arguments, &playerName, &reply};
    if (context_) context_->setEventPlayer(playerId, playerName);
    const int status = protectedModCall(*mod, callCommandHandler, &call);
    if (context_) context_->setEventPlayer(0, {});
    if (status != LUA_OK) {
      reply.clear();
      reportModError(*mod, "command");
      if (context_) context_->notice("Mod %s: a command failed; see the console", mod->name);
    }
    return true;
  }
  return false;
}

std::string ModManager::describeMods() const {
  std::string text;
  for (const auto& mod : mods_) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", mod->fingerprint);
    if (!text.empty()) text += ", ";
    text += mod->name + " (" + hex + ")";
  }
  return text.empty() ? "none" : text;
}

bool ModManager::isHostCommand(const std::string& word) const {
  if (!enabled_) return false;
  for (const auto& mod : mods_) {
    if (mod->commands.contains(word)) return mod->hostCommands.contains(word);
  }
  return false;
}

bool ModManager::switchedOff(const std::string& name) const {
  for (const auto& mod : mods_) {
    if (mod->name == name) return mod->switchedOff;
  }
  return false;
}
