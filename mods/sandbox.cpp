// The mod sandbox.
//
// Sections:
//   [allocator]  counts every byte a state holds and refuses growth above its limit
//   [limits]     instruction budget and deadline, checked by the count hook
//   [guards]     string functions that refuse work that would run for seconds, pcall,
//                xpcall and coroutine.resume that cannot swallow a stopped call, and a
//                setmetatable that refuses finalizers
//   [state]      creating, calling into and closing a mod state
//
// Why the guards: the count hook only runs between virtual-machine instructions, so a
// single call into C (a backtracking pattern match, string.rep of an empty string a
// billion times) would hold the game with no hook in sight. Finalizers (__gc) run with
// hooks switched off altogether, so a mod may not set them. And a script that catches
// the budget error with pcall must not be able to carry on.

#include "mods/sandbox.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "mods/script_api.h"

namespace {

using Clock = std::chrono::steady_clock;

// The hook runs every 1000 instructions and the budget drops every fifth run, so the
// budget still counts steps of 5000 instructions while the deadline is looked at more
// often.
constexpr int kHookInstructionStep = 1000;
constexpr int kHookRunsPerBudgetStep = 5;

constexpr lua_Integer kMaxRepetitions = lua_Integer{1} << 26;
constexpr double kMaxPatternSteps = 1073741824.0;  // 2^30 estimated matcher steps

constexpr const char* kBudgetExceeded = "instruction budget exceeded";
constexpr const char* kTimeExceeded = "time limit exceeded";

// ---------------------------------------------------------------- [allocator]

void* countingAlloc(void* ud, void* ptr, size_t osize, size_t nsize) {
  LoadedMod& mod = *static_cast<LoadedMod*>(ud);
  const size_t old = ptr ? std::min(osize, mod.bytesInUse) : 0;
  if (nsize == 0) {
    std::free(ptr);
    mod.bytesInUse -= old;
    return nullptr;
  }
  if (nsize > old && mod.bytesInUse - old + nsize > mod.memoryLimit) return nullptr;
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

// Raises `reason` with the position of the function at `level` (0 inside the hook,
// where the running function itself is at level 0).
[[noreturn]] void stopCall(lua_State* L, const char* reason, int level) {
  modOf(L).stopReason = reason;
  luaL_where(L, level);
  lua_pushstring(L, reason);
  lua_concat(L, 2);
  lua_error(L);
  std::abort();  // lua_error does not return
}

void countHook(lua_State* L, lua_Debug*) {
  LoadedMod& mod = modOf(L);
  if (++mod.hookRuns >= kHookRunsPerBudgetStep) {
    mod.hookRuns = 0;
    --mod.budget;
  }
  if (mod.budget <= 0) stopCall(L, kBudgetExceeded, 0);
  if (Clock::now() >= mod.deadline) stopCall(L, kTimeExceeded, 0);
}

// Message handler of every call into a mod: the error text and a traceback.
int messageHandler(lua_State* L) {
  const int type = lua_type(L, 1);
  const char* text =
      (type == LUA_TSTRING || type == LUA_TNUMBER) ? lua_tostring(L, 1) : "unknown error";
  luaL_traceback(L, L, text, 1);
  return 1;
}

// ---------------------------------------------------------------- [guards]

// Calls the wrapped function (upvalue 1) with this call's arguments, returning all
// its results.
int callWrapped(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

int deadlineOnly(lua_State* L) {
  checkModDeadline(L);
  return callWrapped(L);
}

int guardedRep(lua_State* L) {
  checkModDeadline(L);
  luaL_checkstring(L, 1);
  const lua_Integer count = luaL_checkinteger(L, 2);
  luaL_optstring(L, 3, "");
  if (count > kMaxRepetitions) return luaL_error(L, "string.rep: too many repetitions");
  return callWrapped(L);
}

// Index just past the set that starts at pattern[i] == '[', the way the matcher reads it.
size_t skipSet(std::string_view p, size_t i) {
  size_t j = i + 1;
  if (j < p.size() && p[j] == '^') ++j;
  do {
    if (j >= p.size()) return p.size();
    if (p[j++] == '%' && j < p.size()) ++j;
  } while (j < p.size() && p[j] != ']');
  return std::min(j + 1, p.size());
}

// A rough upper bound of the steps the pattern matcher can take on a subject of
// `length` bytes: each repeated item that has more pattern after it can make the
// matcher retry the rest at every position, each optional item doubles the work, and
// a search that may start at every position adds one more factor of the length.
double patternSteps(std::string_view p, size_t length, bool everyStart) {
  const bool anchored = !p.empty() && p.front() == '^';
  size_t i = anchored ? 1 : 0;
  int repeats = 0, optionals = 0, items = 0;
  while (i < p.size()) {
    const char c = p[i];
    if (c == '(' || c == ')' || (c == '$' && i + 1 == p.size())) {
      ++i;
      continue;
    }
    ++items;
    if (c == '%' && i + 1 < p.size() && p[i + 1] == 'b') {
      ++repeats;
      i += 4;
      continue;
    }
    if (c == '%' && i + 1 < p.size() && p[i + 1] == 'f') {
      i = skipSet(p, i + 2);
      continue;
    }
    i = c == '[' ? skipSet(p, i) : i + (c == '%' ? 2 : 1);
    if (i >= p.size()) break;
    if (p[i] == '*' || p[i] == '+' || p[i] == '-') {
      ++i;
      const bool last = p.find_first_not_of(')', i) == std::string_view::npos;
      if (!last) ++repeats;
    } else if (p[i] == '?') {
      ++i;
      ++optionals;
    }
  }
  const double n = std::max<double>(1.0, static_cast<double>(length));
  const double starts = (anchored && !everyStart) ? 1.0 : n;
  return starts * std::pow(n, repeats) * std::pow(2.0, std::min(optionals, 64)) *
         std::max(items, 1);
}

bool isPlainPattern(std::string_view p) {
  return p.find_first_of("^$*+?.([%-") == std::string_view::npos;
}

// find, match, gmatch and gsub: refuse a pattern whose estimated work on this subject
// is too large.
template <bool kEveryStart, bool kMayBePlain>
int guardedPattern(lua_State* L) {
  checkModDeadline(L);
  size_t subjectLength = 0, patternLength = 0;
  luaL_checklstring(L, 1, &subjectLength);
  const char* pattern = luaL_checklstring(L, 2, &patternLength);
  const std::string_view p(pattern, patternLength);
  double steps = 0;
  if (kMayBePlain && (lua_toboolean(L, 4) || isPlainPattern(p))) {
    steps = static_cast<double>(subjectLength) * static_cast<double>(patternLength);
  } else {
    steps = patternSteps(p, subjectLength, kEveryStart);
  }
  if (steps > kMaxPatternSteps) {
    return luaL_error(L, "pattern too complex for a subject of %d bytes",
                      static_cast<int>(std::min<size_t>(subjectLength, 0x7fffffff)));
  }
  return callWrapped(L);
}

// After pcall, xpcall or coroutine.resume: a call stopped by its limits stays stopped.
int rethrowIfStopped(lua_State* L, int, lua_KContext) {
  const char* reason = modOf(L).stopReason;
  if (reason) {
    lua_pushstring(L, reason);
    return lua_error(L);
  }
  return lua_gettop(L);
}

int guardedCatch(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_callk(L, lua_gettop(L) - 1, LUA_MULTRET, 0, rethrowIfStopped);
  return rethrowIfStopped(L, LUA_OK, 0);
}

int guardedSetMetatable(lua_State* L) {
  if (lua_type(L, 2) == LUA_TTABLE) {
    lua_pushliteral(L, "__gc");
    if (lua_rawget(L, 2) != LUA_TNIL) {
      return luaL_error(L, "setmetatable: finalizers (__gc) are not allowed in mods");
    }
    lua_pop(L, 1);
  }
  return callWrapped(L);
}

void wrapField(lua_State* L, const char* table, const char* field, lua_CFunction guard) {
  if (table) {
    lua_getglobal(L, table);
  } else {
    lua_pushglobaltable(L);
  }
  lua_getfield(L, -1, field);
  lua_pushcclosure(L, guard, 1);
  lua_setfield(L, -2, field);
  lua_pop(L, 1);
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
  wrapField(L, LUA_STRLIBNAME, "rep", guardedRep);
  wrapField(L, LUA_STRLIBNAME, "find", guardedPattern<false, true>);
  wrapField(L, LUA_STRLIBNAME, "match", guardedPattern<false, false>);
  wrapField(L, LUA_STRLIBNAME, "gmatch", guardedPattern<true, false>);
  wrapField(L, LUA_STRLIBNAME, "gsub", guardedPattern<true, false>);
  for (const char* name : {"format", "upper", "lower", "reverse"}) {
    wrapField(L, LUA_STRLIBNAME, name, deadlineOnly);
  }
  wrapField(L, LUA_TABLIBNAME, "concat", deadlineOnly);
  wrapField(L, LUA_UTF8LIBNAME, "len", deadlineOnly);
  wrapField(L, nullptr, "pcall", guardedCatch);
  wrapField(L, nullptr, "xpcall", guardedCatch);
  wrapField(L, LUA_COLIBNAME, "resume", guardedCatch);
  wrapField(L, nullptr, "setmetatable", guardedSetMetatable);
  installScriptApi(L, mod);
  return 0;
}

}  // namespace

LoadedMod& modOf(lua_State* L) {
  return **static_cast<LoadedMod**>(lua_getextraspace(L));
}

void checkModDeadline(lua_State* L) {
  LoadedMod& mod = modOf(L);
  if (mod.stopReason) stopCall(L, mod.stopReason, 1);
  if (Clock::now() >= mod.deadline) stopCall(L, kTimeExceeded, 1);
}

lua_State* createSandboxState(LoadedMod& mod) {
  lua_State* L = lua_newstate(countingAlloc, &mod);
  if (!L) return nullptr;
  *static_cast<LoadedMod**>(lua_getextraspace(L)) = &mod;
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
}

void beginModCall(LoadedMod& mod) {
  mod.budget = kModCallBudget;
  mod.hookRuns = 0;
  mod.deadline = Clock::now() + kModCallTimeLimit;
  mod.stopReason = nullptr;
  lua_sethook(mod.state, countHook, LUA_MASKCOUNT, kHookInstructionStep);
}

void removeModHook(LoadedMod& mod) {
  lua_sethook(mod.state, nullptr, 0, 0);
}

int protectedModCall(LoadedMod& mod, lua_CFunction body, void* data) {
  lua_State* L = mod.state;
  beginModCall(mod);
  const int base = lua_gettop(L);
  lua_pushcfunction(L, messageHandler);
  lua_pushcfunction(L, body);
  lua_pushlightuserdata(L, data);
  const int status = lua_pcall(L, 1, 0, base + 1);
  lua_remove(L, base + 1);
  return status;
}
