#pragma once
// The sandbox a mod's Lua code runs in: a memory-counting allocator, only the base,
// string, table, math, utf8 and coroutine libraries, no loading of code or files, and
// limits on every call into the mod (instruction budget, wall-clock deadline, and
// string functions that refuse work that would run for seconds).

#include <lua.hpp>

#include "mods/loaded_mod.h"

// The mod record of a state (from its extra space).
LoadedMod& modOf(lua_State* L);

// A new state for `mod` with the libraries, globals and scripting functions installed;
// nullptr when the state cannot be created.
lua_State* createSandboxState(LoadedMod& mod);

// Closes the mod's state; finalizers that run meanwhile are held to the call limits.
void closeSandboxState(LoadedMod& mod);

// Arms the limits of a new call: budget 40, deadline, and the instruction hook.
void beginModCall(LoadedMod& mod);

// Removes the instruction hook.
void removeModHook(LoadedMod& mod);

// Calls `body(L)` with `data` as its only argument in protected mode under fresh call
// limits. On failure returns the Lua status and leaves the error text with a traceback on
// the stack (for reportModError).
int protectedModCall(LoadedMod& mod, lua_CFunction body, void* data);

// Raises "time limit exceeded" when the running call is past its deadline.
void checkModDeadline(lua_State* L);
