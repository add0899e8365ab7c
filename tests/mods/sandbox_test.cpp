// Hostile scripts: reaching outside the sandbox, precompiled chunks, endless loops at load
// and in handlers, memory bombs and single C calls that would stall the game.

#include <chrono>
#include <lua.hpp>

#include "tests/mods/mod_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

class ModSandbox : public ModFolderTest {
 protected:
  // Loads one mod whose main.lua is `script`; returns its error output.
  std::string loadOne(const std::string& script) {
    addMod("m", script);
    return load();
  }
  // Runs the tick handlers, returning the error output and the seconds they took.
  std::string tick(double* seconds = nullptr) {
    ::testing::internal::CaptureStderr();
    const auto start = Clock::now();
    manager.fireTick(0.05);
    if (seconds) *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return ::testing::internal::GetCapturedStderr();
  }
};

std::string precompiledChunk() {
  lua_State* L = luaL_newstate();
  luaL_loadstring(L, "orva.log('from bytecode')");
  std::string bytes;
  lua_dump(
      L,
      [](lua_State*, const void* p, size_t size, void* out) {
        static_cast<std::string*>(out)->append(static_cast<const char*>(p), size);
        return 0;
      },
      &bytes, 0);
  lua_close(L);
  return bytes;
}

}  // namespace

TEST_F(ModSandbox, NoWayOutOfTheSandbox) {
  const std::string errors = loadOne(R"(
    for _, name in ipairs({"io", "os", "debug", "package", "require", "load", "dofile",
                           "loadfile", "loadstring", "module"}) do
      assert(_G[name] == nil, name .. " is reachable")
    end
    assert(string and table and math and utf8 and coroutine)
    orva.log(tostring(string.dump ~= nil))
  )");
  EXPECT_EQ(errors, "");
  EXPECT_EQ(manager.modNames(), std::vector<std::string>{"m"});
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[m] true"});
}

TEST_F(ModSandbox, PrecompiledChunkIsRefused) {
  const std::string errors = loadOne(precompiledChunk());
  EXPECT_NE(errors.find("[mod:m] load failed: "), std::string::npos);
  EXPECT_NE(errors.find("binary chunk"), std::string::npos);
  EXPECT_EQ(manager.modCount(), 0u);
  EXPECT_TRUE(context.logLines.empty());
}

TEST_F(ModSandbox, EndlessLoopAtLoadFailsAndTheNextModLoads) {
  addMod("a_loop", "while true do end");
  addMod("b_fine", "orva.log('fine')");
  const std::string errors = load();
  EXPECT_NE(errors.find("[mod:a_loop] run failed: "), std::string::npos);
  EXPECT_NE(errors.find("main.lua:1: instruction budget exceeded"), std::string::npos);
  EXPECT_NE(errors.find("stack traceback:"), std::string::npos);
  EXPECT_EQ(manager.modNames(), std::vector<std::string>{"b_fine"});
}

TEST_F(ModSandbox, EndlessTickHandlerFailsEveryTickAndTheGameGoesOn) {
  loadOne(R"(
    local ticks = 0
    on_tick(function(dt) ticks = ticks + 1; while true do end end)
    on_tick(function(dt) orva.log("after " .. ticks .. " " .. dt) end)
  )");
  // The failure of every tick is reported once a second; the tick in between is counted.
  const std::string first = tick();
  EXPECT_NE(first.find("[mod:m] tick failed: "), std::string::npos);
  EXPECT_NE(first.find("instruction budget exceeded"), std::string::npos);
  EXPECT_EQ(tick().find("[mod:m] tick failed: "), std::string::npos);
  EXPECT_EQ(context.logLines, (std::vector<std::string>{"[m] after 1 0.05", "[m] after 2 0.05"}));
}

TEST_F(ModSandbox, CatchingTheBudgetErrorDoesNotKeepALoopAlive) {
  loadOne(R"(
    on_tick(function()
      while true do pcall(function() while true do end end) end
    end)
    on_tick(function()
      while true do
        xpcall(function() while true do end end, function(e) return e end)
        coroutine.resume(coroutine.create(function() while true do end end))
      end
    end)
  )");
  double seconds = 0;
  const std::string errors = tick(&seconds);
  EXPECT_LT(seconds, 2.0);
  size_t failures = 0;
  for (size_t at = errors.find("tick failed"); at != std::string::npos;
       at = errors.find("tick failed", at + 1)) {
    ++failures;
  }
  EXPECT_EQ(failures, 2u);
}

TEST_F(ModSandbox, MemoryBombsStopAtTheLimit) {
  loadOne(R"(
    on_tick(function() local s = string.rep(string.rep("x", 1024), 1 << 20) end)
    on_tick(function()
      local t = {}
      for i = 1, 1e9 do t[i] = string.rep("y", 4096) .. i end
    end)
    on_player_join(function() orva.log("still here") end)
  )");
  const std::string errors = tick();
  EXPECT_NE(errors.find("not enough memory"), std::string::npos) << errors;
  EXPECT_LE(manager.mod(0).bytesInUse, kModMemoryLimit);
  // The bombs may use up the tick's time; the mod goes on at the next event.
  manager.firePlayerJoin(1, "p");
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[m] still here"});
}

TEST_F(ModSandbox, SingleStringCallsCannotStallTheGame) {
  loadOne(R"(
    local long = string.rep("a", 100000)
    on_tick(function() return string.rep("", math.maxinteger) end)
    on_tick(function() return long:find(".-.-.-.-b") end)
    on_tick(function() return string.rep("a", 40):match(string.rep("a*", 30) .. "b") end)
    on_tick(function() return long:gsub("(a-)(a-)(a-)x", "") end)
    on_tick(function()
      local s = string.rep("x", 1 << 24)
      while true do s:upper() end
    end)
    on_player_join(function()
      -- ordinary uses still work
      assert(("  trim me  "):match("^%s*(.-)%s*$") == "trim me")
      local text = " " .. string.rep("word ", 400) .. " "
      assert(#text:match("^%s*(.-)%s*$") == 1999)  -- a trim of 2 KB
      local spaced = string.rep("a b ", 250000)
      assert(select(2, spaced:gsub("%s+", "")) == 500000)
      assert(spaced:find("b a", 1, true) == 3)
      orva.log("ordinary")
    end)
  )");
  double seconds = 0;
  const std::string errors = tick(&seconds);
  EXPECT_LT(seconds, 3.0);
  EXPECT_NE(errors.find("too many repetitions"), std::string::npos);
  EXPECT_NE(errors.find("pattern too complex"), std::string::npos);
  EXPECT_NE(errors.find("time limit exceeded"), std::string::npos);
  manager.firePlayerJoin(1, "p");
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[m] ordinary"}) << errors;
}

TEST_F(ModSandbox, FinalizersAreRefused) {
  const std::string errors = loadOne("setmetatable({}, {__gc = function() while true do end end})");
  EXPECT_NE(errors.find("finalizers (__gc) are not allowed"), std::string::npos);
  EXPECT_EQ(manager.modCount(), 0u);
}

TEST_F(ModSandbox, HandlerErrorsAreReportedAndSkipped) {
  loadOne(R"(
    on_tick(function() error({}) end)
    on_tick(function() error("plain") end)
    on_tick(function() orva.log("third") end)
  )");
  const std::string errors = tick();
  EXPECT_NE(errors.find("[mod:m] tick failed: unknown error\nstack traceback:"), std::string::npos);
  EXPECT_NE(errors.find("[mod:m] tick failed: "), std::string::npos);
  EXPECT_NE(errors.find("plain"), std::string::npos);
  EXPECT_EQ(context.logLines, std::vector<std::string>{"[m] third"});
}
