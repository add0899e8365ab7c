#pragma once
// The record of one loaded mod: its folders, its Lua state with the memory account, the
// limits of the running call, and its event handlers and commands. The Lua state keeps
// a pointer to this record in its extra space.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct lua_State;
class ModContext;

enum ModEvent : int {
  kModEventBlockBreak,
  kModEventBlockPlace,
  kModEventTick,
  kModEventPlayerJoin,
  kModEventPlayerLeave,
  kModEventCount
};

inline constexpr size_t kModMemoryLimit = 67108864;  // 64 MiB per mod state
inline constexpr int32_t kModCallBudget = 40;        // hook runs of 5000 instructions
inline constexpr std::chrono::milliseconds kModCallTimeLimit{250};

struct LoadedMod {
  std::string name;
  std::string rootFolder;  // the extracted folder holding main.lua
  std::string dataFolder;  // <mods folder>/<name>, for data_read and data_write
  ModContext* context = nullptr;
  lua_State* state = nullptr;

  size_t bytesInUse = 0;
  size_t memoryLimit = kModMemoryLimit;

  // Limits of the running call: the instruction budget, the count-hook runs since it
  // last dropped, the wall-clock deadline, and why the call was stopped (nullptr while it
  // runs; a stopped call cannot go on by catching the error in the script).
  int32_t budget = 0;
  int32_t hookRuns = 0;
  std::chrono::steady_clock::time_point deadline;
  const char* stopReason = nullptr;

  std::array<std::vector<int>, kModEventCount> handlers;  // registry references
  std::unordered_map<std::string, int> commands;          // lower-case name -> reference
  std::string scratch;  // text handed between scripting functions and their helpers
};
