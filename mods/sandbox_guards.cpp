// Guarded library functions of the mod sandbox.
//
// Sections:
//   [helpers]    calling the wrapped original, table argument checks
//   [string]     rep and the pattern functions, refused by their estimated cost; the
//                other string functions pay for the bytes they touch
//   [table]      move, insert, remove and concat, which pay for each element as they
//                go, and sort, whose comparisons are counted on large arrays
//   [catching]   pcall, xpcall, coroutine.resume, coroutine.wrap and coroutine.close:
//                a stopped call stays stopped, message handlers do not run for it,
//                and a coroutine it killed never runs code again
//   [install]
//
// Costs are counted in rough nanoseconds (chargeModWork): a call that has more work in
// one piece than a few milliseconds is refused with an error of the calling script, and
// every piece of work is charged so that loops of smaller calls meet the deadline.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "mods/sandbox.h"

namespace {

constexpr lua_Integer kMaxRepetitions = lua_Integer{1} << 24;
constexpr double kMaxPatternSteps = 16777216.0;  // 2^24 estimated matcher steps
constexpr double kElementWork = 16.0;            // one table element read and written
constexpr lua_Integer kSortUncounted = 16384;    // smaller arrays sort without counting
constexpr int kWorkBatch = 256;                  // elements charged at a time

// ---------------------------------------------------------------- [helpers]

// Calls the wrapped function (upvalue 1) with this call's arguments, returning all
// its results.
int callWrapped(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

// Charges the element work of a loop in batches.
class ElementMeter {
 public:
  explicit ElementMeter(lua_State* L) : L_(L) {}
  void step() {
    if (++count_ == kWorkBatch) {
      count_ = 0;
      chargeModWork(L_, kWorkBatch * kElementWork);
    }
  }

 private:
  lua_State* L_;
  int count_ = 0;
};

// Functions whose work grows with the bytes of their string arguments.
int chargeStringArguments(lua_State* L) {
  double bytes = 64;
  const int top = lua_gettop(L);
  for (int i = 1; i <= top; ++i) {
    if (lua_type(L, i) == LUA_TSTRING) bytes += static_cast<double>(lua_rawlen(L, i));
  }
  chargeModWork(L, bytes);
  return callWrapped(L);
}

constexpr int kTabR = 1, kTabW = 2, kTabL = 4;

bool hasField(lua_State* L, const char* key, int n) {
  lua_pushstring(L, key);
  return lua_rawget(L, -n) != LUA_TNIL;
}

// A table, or a value whose metatable has the fields the operation needs.
void checkTable(lua_State* L, int arg, int what) {
  if (lua_type(L, arg) == LUA_TTABLE) return;
  int n = 1;
  if (lua_getmetatable(L, arg) && (!(what & kTabR) || hasField(L, "__index", ++n)) &&
      (!(what & kTabW) || hasField(L, "__newindex", ++n)) &&
      (!(what & kTabL) || hasField(L, "__len", ++n))) {
    lua_pop(L, n);
  } else {
    luaL_checktype(L, arg, LUA_TTABLE);
  }
}

lua_Integer checkLength(lua_State* L, int arg, int what) {
  checkTable(L, arg, what | kTabL);
  return luaL_len(L, arg);
}

// ---------------------------------------------------------------- [string]

// Refused above 2^24 repetitions (each costs a step even when it copies nothing);
// otherwise charged a step per repetition and a unit per four bytes copied.
int guardedRep(lua_State* L) {
  size_t length = 0, separator = 0;
  luaL_checklstring(L, 1, &length);
  const lua_Integer count = luaL_checkinteger(L, 2);
  luaL_optlstring(L, 3, "", &separator);
  if (count > kMaxRepetitions) return luaL_error(L, "string.rep: too many repetitions");
  if (count > 0) {
    const double bytes = static_cast<double>(count) * static_cast<double>(length + separator);
    const LoadedMod& mod = modOf(L);
    // A result larger than the memory left fails at once, before any copying.
    if (bytes <= static_cast<double>(mod.memoryLimit)) {
      chargeModWork(L, static_cast<double>(count) + bytes / 4);
    }
  }
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
// a search that may start at every position adds one more factor of the length. Each
// subject byte costs as much as the pattern items it is tested against, and a set is
// tested member by member.
double patternSteps(std::string_view p, size_t length, bool everyStart) {
  const bool anchored = !p.empty() && p.front() == '^';
  size_t i = anchored ? 1 : 0;
  int repeats = 0, optionals = 0;
  double itemCost = 0;
  while (i < p.size()) {
    const char c = p[i];
    if (c == '(' || c == ')' || (c == '$' && i + 1 == p.size())) {
      ++i;
      continue;
    }
    const size_t start = i;
    if (c == '%' && i + 1 < p.size() && p[i + 1] == 'b') {
      ++repeats;
      itemCost += 1;
      i += 4;
      continue;
    }
    if (c == '%' && i + 1 < p.size() && p[i + 1] == 'f') {
      i = skipSet(p, i + 2);
      itemCost += static_cast<double>(i - start);
      continue;
    }
    i = c == '[' ? skipSet(p, i) : i + (c == '%' ? 2 : 1);
    itemCost += c == '[' ? static_cast<double>(i - start) : 1.0;
    if (i >= p.size()) break;
    if (p[i] == '*' || p[i] == '+' || p[i] == '-') {
      ++i;
      // Nothing but closing captures and the end anchor after it: nothing to retry.
      const size_t rest = p.find_first_not_of(')', i);
      const bool last = rest == std::string_view::npos || (rest + 1 == p.size() && p[rest] == '$');
      if (!last) ++repeats;
    } else if (p[i] == '?') {
      ++i;
      ++optionals;
    }
  }
  const double n = std::max<double>(1.0, static_cast<double>(length));
  const double starts = (anchored && !everyStart) ? 1.0 : n;
  return starts * std::pow(n, repeats) * std::pow(2.0, std::min(optionals, 64)) *
         std::max(itemCost, 1.0);
}

bool isPlainPattern(std::string_view p) {
  return p.find_first_of("^$*+?.([%-") == std::string_view::npos;
}

// find, match, gmatch and gsub: refuse a pattern whose estimated work on this subject
// is too large.
template <bool kEveryStart, bool kMayBePlain>
int guardedPattern(lua_State* L) {
  size_t subjectLength = 0, patternLength = 0;
  luaL_checklstring(L, 1, &subjectLength);
  const char* pattern = luaL_checklstring(L, 2, &patternLength);
  const std::string_view p(pattern, patternLength);
  double steps = 0;
  if (kMayBePlain && (lua_toboolean(L, 4) || isPlainPattern(p))) {
    // A plain search skips to candidates with memchr and compares whole words at a time.
    const auto n = static_cast<double>(subjectLength);
    steps = n / 8 + n * static_cast<double>(patternLength) / 64;
  } else {
    steps = patternSteps(p, subjectLength, kEveryStart);
  }
  if (steps > kMaxPatternSteps) {
    return luaL_error(L, "pattern too complex for a subject of %d bytes",
                      static_cast<int>(std::min<size_t>(subjectLength, 0x7fffffff)));
  }
  chargeModWork(L, steps);
  return callWrapped(L);
}

// ---------------------------------------------------------------- [table]

int guardedMove(lua_State* L) {
  const lua_Integer f = luaL_checkinteger(L, 2);
  const lua_Integer e = luaL_checkinteger(L, 3);
  const lua_Integer t = luaL_checkinteger(L, 4);
  const int tt = !lua_isnoneornil(L, 5) ? 5 : 1;  // destination table
  checkTable(L, 1, kTabR);
  checkTable(L, tt, kTabW);
  if (e >= f) {
    luaL_argcheck(L, f > 0 || e < LUA_MAXINTEGER + f, 3, "too many elements to move");
    const lua_Integer n = e - f + 1;
    luaL_argcheck(L, t <= LUA_MAXINTEGER - n + 1, 4, "destination wrap around");
    ElementMeter meter(L);
    if (t > e || t <= f || (tt != 1 && !lua_compare(L, 1, tt, LUA_OPEQ))) {
      for (lua_Integer i = 0; i < n; ++i) {
        meter.step();
        lua_geti(L, 1, f + i);
        lua_seti(L, tt, t + i);
      }
    } else {
      for (lua_Integer i = n - 1; i >= 0; --i) {
        meter.step();
        lua_geti(L, 1, f + i);
        lua_seti(L, tt, t + i);
      }
    }
  }
  lua_pushvalue(L, tt);
  return 1;
}

int guardedInsert(lua_State* L) {
  const lua_Integer e = luaL_intop(+, checkLength(L, 1, kTabR | kTabW), 1);  // first empty
  lua_Integer pos = e;
  switch (lua_gettop(L)) {
    case 2:
      break;
    case 3: {
      pos = luaL_checkinteger(L, 2);
      luaL_argcheck(L, static_cast<lua_Unsigned>(pos) - 1u < static_cast<lua_Unsigned>(e), 2,
                    "position out of bounds");
      ElementMeter meter(L);
      for (lua_Integer i = e; i > pos; --i) {
        meter.step();
        lua_geti(L, 1, i - 1);
        lua_seti(L, 1, i);
      }
      break;
    }
    default:
      return luaL_error(L, "wrong number of arguments to 'insert'");
  }
  lua_seti(L, 1, pos);
  return 0;
}

int guardedRemove(lua_State* L) {
  const lua_Integer size = checkLength(L, 1, kTabR | kTabW);
  lua_Integer pos = luaL_optinteger(L, 2, size);
  if (pos != size) {
    luaL_argcheck(L, static_cast<lua_Unsigned>(pos) - 1u <= static_cast<lua_Unsigned>(size), 2,
                  "position out of bounds");
  }
  lua_geti(L, 1, pos);
  ElementMeter meter(L);
  for (; pos < size; ++pos) {
    meter.step();
    lua_geti(L, 1, pos + 1);
    lua_seti(L, 1, pos);
  }
  lua_pushnil(L);
  lua_seti(L, 1, pos);
  return 1;
}

void addConcatField(lua_State* L, luaL_Buffer* b, lua_Integer i) {
  lua_geti(L, 1, i);
  if (!lua_isstring(L, -1)) {
    luaL_error(L, "invalid value (at index %I) in table for 'concat'", static_cast<LUAI_UACINT>(i));
  }
  luaL_addvalue(b);
}

int guardedConcat(lua_State* L) {
  lua_Integer last = checkLength(L, 1, kTabR);
  size_t separatorLength = 0;
  const char* separator = luaL_optlstring(L, 2, "", &separatorLength);
  lua_Integer i = luaL_optinteger(L, 3, 1);
  last = luaL_optinteger(L, 4, last);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  ElementMeter meter(L);
  for (; i < last; ++i) {
    meter.step();
    addConcatField(L, &b, i);
    luaL_addlstring(&b, separator, separatorLength);
  }
  if (i == last) addConcatField(L, &b, i);
  luaL_pushresult(&b);
  return 1;
}

// The comparison of a large sort: the script's comparator (upvalue 1) or "<", counted.
int countedLess(lua_State* L) {
  chargeModWork(L, kElementWork);
  if (lua_isnil(L, lua_upvalueindex(1))) {
    lua_pushboolean(L, lua_compare(L, 1, 2, LUA_OPLT));
    return 1;
  }
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, 2, 1);
  return 1;
}

// Small plain arrays go straight to the library sort, paying for n log n comparisons
// up front; anything else sorts with a counted comparison.
int guardedSort(lua_State* L) {
  const bool badComparator = !lua_isnoneornil(L, 2) && lua_type(L, 2) != LUA_TFUNCTION;
  if (badComparator) return callWrapped(L);  // the library raises the argument error
  if (lua_type(L, 1) == LUA_TTABLE) {
    if (!lua_getmetatable(L, 1)) {
      const auto n = static_cast<double>(lua_rawlen(L, 1));
      if (n <= kSortUncounted) {
        chargeModWork(L, kElementWork * n * std::log2(std::max(n, 2.0)));
        return callWrapped(L);
      }
    } else {
      lua_pop(L, 1);
    }
  }
  lua_settop(L, 2);
  lua_pushcclosure(L, countedLess, 1);
  return callWrapped(L);
}

// Charges a full collection by the size of the heap.
int guardedCollectGarbage(lua_State* L) {
  const char* option = luaL_optstring(L, 1, "collect");
  if (std::string_view(option) == "collect") {
    chargeModWork(L, static_cast<double>(modOf(L).bytesInUse));
  } else {
    chargeModWork(L, 64);
  }
  return callWrapped(L);
}

// ---------------------------------------------------------------- [catching]

// After pcall, xpcall or coroutine.resume: a call stopped by its limits stays stopped.
int rethrowIfStopped(lua_State* L, int, lua_KContext) {
  const char* reason = modOf(L).stopReason;
  if (reason) stopModCall(L, reason, 1);
  return lua_gettop(L);
}

int guardedCatch(lua_State* L) {
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_callk(L, lua_gettop(L) - 1, LUA_MULTRET, 0, rethrowIfStopped);
  return rethrowIfStopped(L, LUA_OK, 0);
}

// The message handler of a script's xpcall (upvalue 1). Once the call is stopped it
// does not run: Lua would run it with the instruction hook switched off.
int guardedHandler(lua_State* L) {
  if (modOf(L).stopReason) {
    lua_settop(L, 1);
    return 1;
  }
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, 1);
  return 1;
}

int guardedXpcall(lua_State* L) {
  if (lua_type(L, 2) == LUA_TFUNCTION) {
    lua_pushvalue(L, 2);
    lua_pushcclosure(L, guardedHandler, 1);
    lua_replace(L, 2);
  }
  return guardedCatch(L);
}

// A coroutine that dies while the call is stopped is killed: its pending __close
// handlers would run with the hook switched off, so they never run.
void noteDeadCoroutine(lua_State* L, lua_State* co) {
  const int status = lua_status(co);
  if (status != LUA_OK && status != LUA_YIELD && modOf(L).stopReason) markKilledThread(co);
}

int guardedResume(lua_State* L) {
  lua_State* co = lua_tothread(L, 1);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  if (co) noteDeadCoroutine(L, co);
  return rethrowIfStopped(L, LUA_OK, 0);
}

int guardedClose(lua_State* L) {
  lua_State* co = lua_tothread(L, 1);
  if (co && isKilledThread(co)) {
    lua_pushboolean(L, 0);
    lua_pushliteral(L, "coroutine was stopped by the call limits");
    return 2;
  }
  return callWrapped(L);
}

// Resumes `co` with the top `nargs` values of L; the results, or the error on top and
// -1.
int resumeWith(lua_State* L, lua_State* co, int nargs) {
  if (!lua_checkstack(co, nargs)) {
    lua_pushliteral(L, "too many arguments to resume");
    return -1;
  }
  lua_xmove(L, co, nargs);
  int results = 0;
  const int status = lua_resume(co, L, nargs, &results);
  if (status == LUA_OK || status == LUA_YIELD) {
    if (!lua_checkstack(L, results + 1)) {
      lua_pop(co, results);
      lua_pushliteral(L, "too many results to resume");
      return -1;
    }
    lua_xmove(co, L, results);
    return results;
  }
  lua_xmove(co, L, 1);
  return -1;
}

// The function coroutine.wrap returns (upvalue 1: the coroutine). Errors close the
// coroutine and travel on with the position of the caller, except for a coroutine the
// stopped call killed, which is left as it is.
int wrappedCoroutine(lua_State* L) {
  lua_State* co = lua_tothread(L, lua_upvalueindex(1));
  const int results = resumeWith(L, co, lua_gettop(L));
  if (results >= 0) return results;
  noteDeadCoroutine(L, co);
  int status = lua_status(co);
  if (status != LUA_OK && status != LUA_YIELD && !isKilledThread(co)) {
    status = lua_resetthread(co);
    lua_xmove(co, L, 1);
  }
  rethrowIfStopped(L, LUA_OK, 0);
  if (status != LUA_ERRMEM && lua_type(L, -1) == LUA_TSTRING) {
    luaL_where(L, 1);
    lua_insert(L, -2);
    lua_concat(L, 2);
  }
  return lua_error(L);
}

int guardedWrap(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_State* co = lua_newthread(L);
  lua_pushvalue(L, 1);
  lua_xmove(L, co, 1);
  lua_pushcclosure(L, wrappedCoroutine, 1);
  return 1;
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

// ---------------------------------------------------------------- [install]

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

void replaceField(lua_State* L, const char* table, const char* field, lua_CFunction function) {
  lua_getglobal(L, table);
  lua_pushcfunction(L, function);
  lua_setfield(L, -2, field);
  lua_pop(L, 1);
}

}  // namespace

void installLibraryGuards(lua_State* L) {
  wrapField(L, LUA_STRLIBNAME, "rep", guardedRep);
  wrapField(L, LUA_STRLIBNAME, "find", guardedPattern<false, true>);
  wrapField(L, LUA_STRLIBNAME, "match", guardedPattern<false, false>);
  wrapField(L, LUA_STRLIBNAME, "gmatch", guardedPattern<true, false>);
  wrapField(L, LUA_STRLIBNAME, "gsub", guardedPattern<true, false>);
  for (const char* name : {"format", "upper", "lower", "reverse", "byte", "pack", "unpack"}) {
    wrapField(L, LUA_STRLIBNAME, name, chargeStringArguments);
  }
  for (const char* name : {"len", "codepoint", "offset"}) {
    wrapField(L, LUA_UTF8LIBNAME, name, chargeStringArguments);
  }
  replaceField(L, LUA_TABLIBNAME, "move", guardedMove);
  replaceField(L, LUA_TABLIBNAME, "insert", guardedInsert);
  replaceField(L, LUA_TABLIBNAME, "remove", guardedRemove);
  replaceField(L, LUA_TABLIBNAME, "concat", guardedConcat);
  wrapField(L, LUA_TABLIBNAME, "sort", guardedSort);
  wrapField(L, nullptr, "collectgarbage", guardedCollectGarbage);
  wrapField(L, nullptr, "pcall", guardedCatch);
  wrapField(L, nullptr, "xpcall", guardedXpcall);
  wrapField(L, LUA_COLIBNAME, "resume", guardedResume);
  wrapField(L, LUA_COLIBNAME, "close", guardedClose);
  replaceField(L, LUA_COLIBNAME, "wrap", guardedWrap);
  wrapField(L, nullptr, "setmetatable", guardedSetMetatable);
}
