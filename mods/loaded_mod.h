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
#include <unordered_set>
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

// One event: each handler runs in a slice of its own, so one slow mod cannot take the
// time of the mods behind it: 50 ms for a tick handler (ticks come every frame), 100 ms
// for the handlers of the rarer block and player events. Once the event has used its
// whole time, the handlers still to come get a short slice each: enough for a
// well-behaved handler, and the event stays bounded. A mod stopped by the time limit in
// this many events in a row is switched off.
inline constexpr std::chrono::milliseconds kModTickHandlerSlice{50};
inline constexpr std::chrono::milliseconds kModHandlerTimeSlice{100};
inline constexpr std::chrono::milliseconds kModEventTimeLimit{250};
inline constexpr std::chrono::milliseconds kModLateHandlerSlice{2};
inline constexpr int32_t kModSlowEventStrikes = 3;

// A mod's data folder.
inline constexpr size_t kModDataMaxDepth = 16;          // folders above a file
inline constexpr size_t kModDataMaxNameLength = 255;    // one name, ".tmp" included
inline constexpr size_t kModDataMaxPathLength = 1024;   // below the data folder
inline constexpr uint64_t kModDataMaxBytes = 67108864;  // 64 MiB of files
inline constexpr size_t kModDataMaxEntries = 4096;      // files and folders

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

// The names the mods of one manager share out: every package's name (the prefix of its
// block ids), and which mod owns each block id, texture and command word.
struct ModClaims {
  std::unordered_set<std::string> modNames;                    // lower-case, loaded or not
  std::unordered_map<std::string, std::string> blockOwners;    // id -> mod name
  std::unordered_map<std::string, std::string> textureOwners;  // texture -> mod name
  std::unordered_map<std::string, std::string> commandOwners;  // word -> mod name
};

// What a mod keeps in its data folder, counted once and then kept up to date.
struct ModDataUsage {
  bool counted = false;
  uint64_t bytes = 0;
  size_t entries = 0;
  std::chrono::steady_clock::time_point lastRefusal;
  bool refused = false;
};

struct LoadedMod {
  std::string name;
  std::string rootFolder;    // the extracted folder holding main.lua
  std::string dataFolder;    // <mods folder>/<name>, for data_read and data_write
  uint32_t fingerprint = 0;  // the mod-list fingerprint of this mod alone
  ModContext* context = nullptr;
  ModClaims* claims = nullptr;  // shared with the other mods of the manager
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

  // The time this mod's handlers used of the event being dispatched, whether one ran,
  // whether one was stopped by the time limit (the mod then sits the event out), whether
  // that happened within a whole slice (a strike), and the events in a row with a strike.
  std::chrono::steady_clock::duration eventTime{};
  bool ranThisEvent = false;
  bool stoppedThisEvent = false;
  bool slowThisEvent = false;
  int32_t slowEvents = 0;
  bool switchedOff = false;  // handlers and commands dropped for the rest of the session
  // Failures of each handler (by reference): one report a second, the ones between
  // counted.
  struct HandlerFailures {
    std::chrono::steady_clock::time_point lastReport;
    int32_t unreported = 0;
  };
  std::unordered_map<int, HandlerFailures> handlerFailures;
  // Output accounting: log and error bytes and chat messages in the current second.
  std::chrono::steady_clock::time_point outputWindow;
  size_t outputBytes = 0;
  bool outputDropped = false;
  int32_t messagesInWindow = 0;
  size_t blocksRegistered = 0;

  std::array<std::vector<int>, kModEventCount> handlers;  // registry references
  std::unordered_map<std::string, int> commands;          // lower-case name -> reference
  std::unordered_set<std::string> hostCommands;           // run by the host for a joined player
  ModDataUsage data;
  std::string scratch;  // text handed between scripting functions and their helpers
};
