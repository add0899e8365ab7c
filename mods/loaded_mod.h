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

// What the game keeps on a mod's behalf is bounded.
inline constexpr size_t kModMaxHandlersPerEvent = 256;
inline constexpr size_t kModMaxCommands = 256;
inline constexpr size_t kModMaxBlocks = 1024;
inline constexpr size_t kModMaxNameLength = 128;   // command names, block ids, names, drops
inline constexpr size_t kModMaxPathLength = 1024;  // texture references
// Output of one mod: the longest log or error line, and what passes per second.
inline constexpr size_t kModMaxLineLength = 1024;
inline constexpr size_t kModOutputBytesPerSecond = 65536;
inline constexpr size_t kModMaxMessageLength = 256;  // orva.message chat lines
inline constexpr int32_t kModMessagesPerSecond = 20;

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
  std::chrono::steady_clock::time_point callStart;
  const char* stopReason = nullptr;
  // While a call runs the allocator also looks at the clock, once per this many bytes
  // handed out, so that loops of large allocations (concatenations, the parser) stop
  // at the deadline too. Once it is past its deadline every growth is refused, except
  // for the error texts the sandbox builds itself (`reporting`).
  bool inCall = false;
  bool timeUp = false;
  bool reporting = false;
  size_t allocatedSinceCheck = 0;
  // Work done in C since the clock was last looked at (roughly nanoseconds: elements
  // moved, bytes copied, matcher steps).
  double workSinceCheck = 0;

  // The time this mod's handlers used of the event being dispatched.
  std::chrono::steady_clock::duration eventTime{};
  // Output accounting: log and error bytes and chat messages in the current second.
  std::chrono::steady_clock::time_point outputWindow;
  size_t outputBytes = 0;
  bool outputDropped = false;
  int32_t messagesInWindow = 0;
  size_t blocksRegistered = 0;

  std::array<std::vector<int>, kModEventCount> handlers;  // registry references
  std::unordered_map<std::string, int> commands;          // lower-case name -> reference
  std::string scratch;  // text handed between scripting functions and their helpers
};
