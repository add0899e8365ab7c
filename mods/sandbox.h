#pragma once
// The sandbox a mod's Lua code runs in: a memory-counting allocator, only the base,
// string, table, math, utf8 and coroutine libraries, no loading of code or files, and
// limits on every call into the mod (instruction budget, wall-clock deadline, and
// library functions that refuse or break off work that would hold the game).

#include <chrono>
#include <lua.hpp>

#include "mods/loaded_mod.h"

// protectedModCall's answer when the deadline had already passed and nothing ran.
inline constexpr int kModCallSkipped = -1;

// Why a call was stopped. Arrays, not pointers to literals, so that every file sees the
// same address: the reason is compared by address, and unoptimised builds do not merge
// equal literals.
inline constexpr char kModBudgetExceeded[] = "instruction budget exceeded";
inline constexpr char kModTimeExceeded[] = "time limit exceeded";

// The mod record of a state or of one of its coroutines (from its extra space).
LoadedMod& modOf(lua_State* L);

// A new state for `mod` with the libraries, globals and scripting functions installed;
// nullptr when the state cannot be created.
lua_State* createSandboxState(LoadedMod& mod);

// Closes the mod's state; finalizers that run meanwhile are held to the call limits.
void closeSandboxState(LoadedMod& mod);

// Arms the limits of a new call: budget 40, deadline (now + `slice`, 250 ms unless
// given, or `deadline` when that is earlier, but never less than `minimum` from now), and
// the instruction hook. Returns the time the call starts.
std::chrono::steady_clock::time_point beginModCall(
    LoadedMod& mod,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max(),
    std::chrono::steady_clock::duration slice = kModCallTimeLimit,
    std::chrono::steady_clock::duration minimum = {});

// Removes the instruction hook and ends the call's clock checks in the allocator.
void removeModHook(LoadedMod& mod);

// Calls `body(L)` with `data` as its only argument in protected mode under fresh call
// limits (beginModCall's `deadline`, `slice` and `minimum`). On failure returns the Lua
// status and leaves the error text with a traceback on the stack (for reportModError).
// Returns kModCallSkipped, with nothing on the stack, when `deadline` has already passed
// and no `minimum` was given.
int protectedModCall(
    LoadedMod& mod, lua_CFunction body, void* data,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max(),
    std::chrono::steady_clock::duration slice = kModCallTimeLimit,
    std::chrono::steady_clock::duration minimum = {});

// Raises "time limit exceeded" when the running call is past its deadline, and the
// call's stop reason again when it was already stopped.
void checkModDeadline(lua_State* L);

// Counts `units` of work done in C (roughly nanoseconds) and looks at the deadline
// whenever enough has gathered, so loops of costly calls stop in time too.
void chargeModWork(lua_State* L, double units);

// Stops the running call: raises `reason` with the position of the function at `level`.
// The call stays stopped (pcall cannot swallow it) and a coroutine it hits is dead for
// good.
[[noreturn]] void stopModCall(lua_State* L, const char* reason, int level);

// True for a coroutine that a stopped call killed; it may not run code again.
bool isKilledThread(lua_State* L);
void markKilledThread(lua_State* L);

// Replaces the library functions that could hold the game on small input by guarded
// versions (sandbox_guards.cpp).
void installLibraryGuards(lua_State* L);
