#pragma once
// The loaded mods: finding and unpacking the packages of the mods folder, running each
// mod's main.lua in its own sandbox, the fingerprint of the mod list that peers compare,
// and the dispatch of game events and chat commands to the mods' handlers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mods/loaded_mod.h"

class ModContext;

inline constexpr uint32_t kModListHashBasis = 0x811C9DC5;  // no mods loaded
inline constexpr uint32_t kModListHashPrime = 16777619;

// The fingerprint after one more mod: FNV-1a over its name, a zero byte and main.lua.
uint32_t extendModListHash(uint32_t hash, std::string_view name, std::string_view mainLua);

class ModManager {
 public:
  ModManager() = default;
  ~ModManager();
  ModManager(const ModManager&) = delete;
  ModManager& operator=(const ModManager&) = delete;

  // Unloads, then loads every package of `modsFolder` (unpacked into its ".cache"
  // folder) in path order. Problems with a package are printed and skip only it.
  void loadMods(const std::string& modsFolder, ModContext* context);
  // Closes every mod's state. Blocks the mods registered stay registered.
  void unloadMods();
  // Names of the loaded mods in load order (switched-off mods included).
  std::vector<std::string> modNames() const;
  // Names of the packages that failed to load, in load order.
  const std::vector<std::string>& failedModNames() const { return failedMods_; }
  // True for a loaded mod that was switched off for running too long.
  bool switchedOff(const std::string& name) const;
  // Runs the mod `name` from `rootFolder` (holding main.lua) in a new sandbox and keeps
  // it when main.lua ran without error. Its data folder is `name` in the mods folder.
  bool createMod(const std::string& name, const std::string& rootFolder);
  // Prints "[mod:<name>] <what> failed: <error>" with its traceback and pops the error.
  static void reportModError(LoadedMod& mod, const char* what);
  // reportModError for a failed event handler: at most one report a second per handler;
  // the failures in between are counted in the next report.
  static void reportHandlerError(LoadedMod& mod, const char* what, int handler);

  // Block events: false when a handler cancelled the event. Always true while no mods
  // are loaded. Each handler runs in a slice of its own (50 ms for a tick handler, 100 ms
  // for the others); once a handler of a mod
  // is stopped by the time limit, the rest of that mod's handlers sit the event out.
  // After 250 ms the remaining handlers get 2 ms each, and the mod whose handlers used
  // most of the time is named once on standard error. A mod stopped by the time limit
  // in three events in a row is switched off: its handlers and commands are dropped,
  // its blocks stay, and the console and the chat say so.
  bool fireBlockBreak(int32_t x, int32_t y, int32_t z, const std::string& block, uint32_t playerId,
                      const std::string& playerName);
  bool fireBlockPlace(int32_t x, int32_t y, int32_t z, const std::string& block, uint32_t playerId,
                      const std::string& playerName);
  void fireTick(double dt);
  void firePlayerJoin(uint32_t playerId, const std::string& playerName);
  void firePlayerLeave(uint32_t playerId, const std::string& playerName);
  // Runs the first mod command registered as `word` for the player; false when no mod
  // has it. A failed handler still counts as handled, with an empty reply, and the chat
  // says so.
  bool runModCommand(const std::string& word, const std::string& arguments,
                     const std::string& playerName, std::string& reply, uint32_t playerId = 0);
  // True when `word` is a command its mod registered for the host to run: a client sends
  // it to the host instead of running it.
  bool isHostCommand(const std::string& word) const;

  uint32_t modListHash() const { return modListHash_; }
  // "name (fingerprint), ..." of the loaded mods, each fingerprinted alone, so that two
  // games whose mod lists differ can tell which mods differ; "none" without mods.
  std::string describeMods() const;
  bool enabled() const { return enabled_; }
  size_t modCount() const { return mods_.size(); }
  const LoadedMod& mod(size_t index) const { return *mods_[index]; }

 private:
  void switchOff(LoadedMod& mod);
  // Remembers a package that failed to load and tells the player.
  void noteFailedMod(const std::string& name);
  bool fireBlockEvent(ModEvent event, int32_t x, int32_t y, int32_t z, const std::string& block,
                      uint32_t playerId, const std::string& playerName);
  void firePlayerEvent(ModEvent event, uint32_t playerId, const std::string& playerName);
  class EventDispatch;

  std::vector<std::unique_ptr<LoadedMod>> mods_;
  std::vector<std::string> failedMods_;
  ModClaims claims_;
  ModContext* context_ = nullptr;
  std::string modsFolder_;
  bool enabled_ = false;
  uint32_t modListHash_ = kModListHashBasis;
};
