// The mod sandbox.
//
// Sections:
//   [allocator]  counts every byte a state holds and refuses growth above its limit,
//                and past the running call's deadline
//   [limits]     instruction budget and deadline, checked by the count hook
//   [state]      creating, calling into and closing a mod state
//
// The library guards live in sandbox_guards.cpp. Why they are needed: the count hook
// only runs between virtual-machine instructions, so a single call into C (a
// backtracking pattern match, a table.move over 2^40 indices) would hold the game with
// no hook in sight; and Lua runs message handlers and the __close of a dying coroutine
// with hooks switched off when the error came from the hook, so those must not be
// able to run mod code once a call is stopped.

#include "mods/sandbox.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mods/script_api.h"

namespace {

using Clock = std::chrono::steady_clock;

// The hook runs every 1000 instructions and the budget drops every fifth run, so the
// budget still counts steps of 5000 instructions while the deadline is looked at more
// often.
constexpr int kHookInstructionStep = 1000;
constexpr int kHookRunsPerBudgetStep = 5;

// The allocator looks at the clock once per this many bytes handed out during a call.
constexpr size_t kAllocatorClockStep = size_t{1} << 20;

// Guarded library functions look at the clock once per this much work (about 0.25 ms).
constexpr double kWorkClockStep = 262144.0;

// The extra space of a coroutine that a stopped call killed carries this bit.
constexpr uintptr_t kKilledBit = 1;

uintptr_t& extraWord(lua_State* L) {
  return *static_cast<uintptr_t*>(lua_getextraspace(L));
}

// ---------------------------------------------------------------- [allocator]

void* countingAlloc(void* ud, void* ptr, size_t osize, size_t nsize) {
  LoadedMod& mod = *static_cast<LoadedMod*>(ud);
  const size_t old = ptr ? std::min(osize, mod.bytesInUse) : 0;
  if (nsize == 0) {
    std::free(ptr);
    mod.bytesInUse -= old;
    return nullptr;
  }
  if (nsize > old) {
    if (mod.bytesInUse - old + nsize > mod.memoryLimit) return nullptr;
    if (mod.inCall && !mod.reporting) {
      mod.allocatedSinceCheck += nsize;
      if (mod.allocatedSinceCheck >= kAllocatorClockStep) {
        mod.allocatedSinceCheck = 0;
        if (Clock::now() >= mod.deadline) mod.timeUp = true;
      }
      if (mod.timeUp) {
        if (!mod.stopReason) mod.stopReason = kModTimeExceeded;
        return nullptr;
      }
    }
  }
  void* grown = std::realloc(ptr, nsize);
  if (!grown) return nullptr;
  mod.bytesInUse = mod.bytesInUse - old + nsize;
  return grown;
}

int panic(lua_State* L) {
  const char* text = lua_tostring(L, -1);
  std::fprintf(stderr, "[mod:%s] unprotected error: %s\n", modOf(L).name.c_str(),
               text ? text : "unknown error");
  return 0;  // Lua aborts
}

// ---------------------------------------------------------------- [limits]

void countHook(lua_State* L, lua_Debug*) {
  LoadedMod& mod = modOf(L);
  if (++mod.hookRuns >= kHookRunsPerBudgetStep) {
    mod.hookRuns = 0;
    --mod.budget;
  }
  if (mod.stopReason) stopModCall(L, mod.stopReason, 0);
  if (mod.budget <= 0) stopModCall(L, kModBudgetExceeded, 0);
  if (Clock::now() >= mod.deadline) stopModCall(L, kModTimeExceeded, 0);
}

// Message handler of every call into a mod: the error text, its control characters
// escaped and its length capped, and a traceback. The allocator hands out the bytes
// this needs even when the call is stopped.
int messageHandler(lua_State* L) {
  LoadedMod& mod = modOf(L);
  mod.reporting = true;
  const int type = lua_type(L, 1);
  size_t length = 0;
  const char* text =
      (type == LUA_TSTRING || type == LUA_TNUMBER) ? lua_tolstring(L, 1, &length) : nullptr;
  if (text) {
    char safe[kModEscapedLineCapacity];
    const size_t size = escapeModText(std::string_view(text, length), safe, sizeof(safe));
    lua_pushlstring(L, safe, size);
  } else {
    lua_pushliteral(L, "unknown error");
  }
  luaL_traceback(L, L, lua_tostring(L, -1), 1);
  mod.reporting = false;
  return 1;
}

// ---------------------------------------------------------------- [state]

int setUpSandbox(lua_State* L) {
  LoadedMod& mod = modOf(L);
  static const luaL_Reg kLibraries[] = {
      {LUA_GNAME, luaopen_base},       {LUA_STRLIBNAME, luaopen_string},
      {LUA_TABLIBNAME, luaopen_table}, {LUA_MATHLIBNAME, luaopen_math},
      {LUA_UTF8LIBNAME, luaopen_utf8}, {LUA_COLIBNAME, luaopen_coroutine},
  };
  for (const luaL_Reg& library : kLibraries) {
    luaL_requiref(L, library.name, library.func, 1);
    lua_pop(L, 1);
  }
  for (const char* name : {"dofile", "loadfile", "load", "require", "package"}) {
    lua_pushnil(L);
    lua_setglobal(L, name);
  }
  installLibraryGuards(L);
  installScriptApi(L, mod);
  return 0;
}

}  // namespace

LoadedMod& modOf(lua_State* L) {
  return *reinterpret_cast<LoadedMod*>(extraWord(L) & ~kKilledBit);
}

bool isKilledThread(lua_State* L) {
  return (extraWord(L) & kKilledBit) != 0;
}

void markKilledThread(lua_State* L) {
  if (L != modOf(L).state) extraWord(L) |= kKilledBit;
}

void chargeModWork(lua_State* L, double units) {
  LoadedMod& mod = modOf(L);
  mod.workSinceCheck += units;
  if (mod.workSinceCheck >= kWorkClockStep || mod.stopReason) {
    mod.workSinceCheck = 0;
    checkModDeadline(L);
  }
}

void stopModCall(lua_State* L, const char* reason, int level) {
  LoadedMod& mod = modOf(L);
  mod.reporting = true;
  luaL_where(L, level);
  lua_pushstring(L, reason);
  lua_concat(L, 2);
  mod.reporting = false;
  mod.stopReason = reason;
  markKilledThread(L);
  // Whatever still runs in this thread while the error unwinds (__close handlers)
  // meets the hook after every instruction.
  lua_sethook(L, countHook, LUA_MASKCOUNT, 1);
  lua_error(L);
  std::abort();  // lua_error does not return
}

void checkModDeadline(lua_State* L) {
  LoadedMod& mod = modOf(L);
  if (mod.stopReason) stopModCall(L, mod.stopReason, 1);
  if (Clock::now() >= mod.deadline) stopModCall(L, kModTimeExceeded, 1);
}

lua_State* createSandboxState(LoadedMod& mod) {
  lua_State* L = lua_newstate(countingAlloc, &mod);
  if (!L) return nullptr;
  extraWord(L) = reinterpret_cast<uintptr_t>(&mod);
  lua_atpanic(L, panic);
  mod.state = L;
  beginModCall(mod);
  lua_pushcfunction(L, setUpSandbox);
  const int status = lua_pcall(L, 0, 0, 0);
  removeModHook(mod);
  if (status != LUA_OK) {
    lua_close(L);
    mod.state = nullptr;
    return nullptr;
  }
  return L;
}

void closeSandboxState(LoadedMod& mod) {
  if (!mod.state) return;
  beginModCall(mod);
  lua_close(mod.state);
  mod.state = nullptr;
  mod.inCall = false;
}

Clock::time_point beginModCall(LoadedMod& mod, Clock::time_point deadline, Clock::duration slice,
                               Clock::duration minimum) {
  const Clock::time_point now = Clock::now();
  mod.budget = kModCallBudget;
  mod.hookRuns = 0;
  mod.callStart = now;
  mod.deadline = std::max(std::min(deadline, now + slice), now + minimum);
  mod.stopReason = nullptr;
  mod.inCall = true;
  mod.timeUp = false;
  mod.reporting = false;
  mod.allocatedSinceCheck = 0;
  mod.workSinceCheck = 0;
  lua_sethook(mod.state, countHook, LUA_MASKCOUNT, kHookInstructionStep);
  return now;
}

void removeModHook(LoadedMod& mod) {
  lua_sethook(mod.state, nullptr, 0, 0);
  mod.inCall = false;
}

int protectedModCall(LoadedMod& mod, lua_CFunction body, void* data, Clock::time_point deadline,
                     Clock::duration slice, Clock::duration minimum) {
  lua_State* L = mod.state;
  if (beginModCall(mod, deadline, slice, minimum) >= deadline && minimum == Clock::duration{}) {
    mod.inCall = false;
    return kModCallSkipped;
  }
  const int base = lua_gettop(L);
  lua_pushcfunction(L, messageHandler);
  lua_pushcfunction(L, body);
  lua_pushlightuserdata(L, data);
  const int status = lua_pcall(L, 1, 0, base + 1);
  lua_remove(L, base + 1);
  mod.inCall = false;
  mod.reporting = false;
  // A call that ran out of time inside the allocator, or whose stop could not be
  // raised again for want of memory, ends as a memory error: report why it stopped.
  if (status == LUA_ERRMEM && mod.stopReason) {
    lua_pop(L, 1);
    lua_pushstring(L, mod.stopReason);
  }
  return status;
}
