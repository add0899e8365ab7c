#pragma once
// The scripting functions a mod sees: the global table "orva", the five event
// registration functions and "print".

#include <string_view>

#include "mods/loaded_mod.h"

struct lua_State;

// Installs "orva", on_block_break, on_block_place, on_tick, on_player_join,
// on_player_leave and print into the state's globals. Runs inside a protected call.
void installScriptApi(lua_State* L, LoadedMod& mod);

// Sends "[<mod name>] <text>" to the context's log; nothing without a context.
void logModLine(LoadedMod& mod, std::string_view text);
