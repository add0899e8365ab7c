#pragma once
// The scripting functions a mod sees: the global table "orva", the five event
// registration functions and "print".

#include <string>
#include <string_view>

#include "mods/loaded_mod.h"

struct lua_State;

// Installs "orva", on_block_break, on_block_place, on_tick, on_player_join,
// on_player_leave and print into the state's globals. Runs inside a protected call.
void installScriptApi(lua_State* L, LoadedMod& mod);

// Sends "[<mod name>] <text>" to the context's log; nothing without a context. The text
// is escaped and capped like escapeModText, and counts against the mod's output rate.
void logModLine(LoadedMod& mod, std::string_view text);

// Room escapeModText needs for any text.
inline constexpr size_t kModEscapedLineCapacity = 4 * kModMaxLineLength + 8;

// Writes `text` into `out` (room for kModEscapedLineCapacity bytes) with control
// characters other than tab escaped ("\n", "\r", "\xNN") and at most
// kModMaxLineLength bytes of it, "..." marking a cut. Returns the length written.
size_t escapeModText(std::string_view text, char* out, size_t capacity);
std::string escapeModText(std::string_view text);

// True when `bytes` more of the mod's output (log lines and error reports) fit in this
// second's allowance. The first refusal in a second prints one notice.
bool admitModOutput(LoadedMod& mod, size_t bytes);
