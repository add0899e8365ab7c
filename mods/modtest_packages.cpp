#include "mods/modtest_packages.h"

#include <filesystem>

#include "mods/package.h"

namespace {

constexpr const char* kGoodMain = R"lua(-- Exercises the scripting interface.
assert(os == nil and io == nil and load == nil, "the sandbox leaks os, io or load")
assert(debug == nil and package == nil and require == nil and dofile == nil)
assert(orva.api_version == 1 and orva.mod == "aaa_good")
orva.log("hello from test")

local gem = orva.register_block({ id = "test:gem", name = "Gem", texture = "stone",
                                  hardness = 2.5 })
assert(gem == "test:gem")
assert(orva.get_block(0, 10, 0) == "orvane:stone")
assert(orva.set_block(0, 11, 0, gem) == true)
local x, y, z = orva.player_position()
assert(x == 1 and y == 2 and z == 3)

assert(orva.data_write("state.json", '{"ok":true}') == true)
assert(orva.data_read("state.json") == '{"ok":true}')
assert(orva.data_read("missing.json") == nil)
assert(orva.data_write("../escape", "nope") == false)

on_block_break(function(e)
  if e.block == "orvane:grass" then e.cancelled = true end
end)
on_player_join(function(e) orva.message("joined " .. e.player) end)
orva.register_command("gem", function(args, player)
  orva.give("test:gem", 2)
  return "gave gem to " .. player
end)
)lua";

constexpr const char* kBudgetMain = R"lua(-- A tick handler that never returns.
on_tick(function(dt)
  while true do end
end)
)lua";

constexpr const char* kZipMain = R"lua(-- Lives in a folder of its package.
orva.log("archive mod loaded")
orva.register_block({ id = "test:zip_gem", texture = "zip_gem.png", solid = false })
)lua";

}  // namespace

bool writeModTestPackages(const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path base(folder);
  // Named entry lists: GCC 12 misreads temporaries of these lists as uninitialised when
  // building with ThreadSanitizer.
  const std::vector<ZipEntry> good{{"main.lua", kGoodMain}};
  const std::vector<ZipEntry> budget{{"main.lua", kBudgetMain}};
  const std::vector<ZipEntry> zipped{{"zip_mod/", ""}, {"zip_mod/main.lua", kZipMain}};
  return writeZip((base / "aaa_good.mod.orvac").string(), good, error) &&
         writeZip((base / "zzz_budget.mod.orvac").string(), budget, error) &&
         writeZip((base / "bbb_zip.mod.orvac").string(), zipped, error);
}
