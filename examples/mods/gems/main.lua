-- Gems: two new blocks with their own textures.
--
-- Ruby ore looks like stone with red specks, is harder than stone and drops a ruby
-- block when broken in survival. The ruby block drops itself.
-- Try it: /give gems:ruby_ore 10, place it, switch to survival and break it.

local ruby = orva.register_block({
  id = "gems:ruby",
  name = "Ruby Block",
  texture = "ruby.png",        -- a 16 x 16 PNG beside main.lua
  hardness = 1.5,
})

orva.register_block({
  id = "gems:ruby_ore",
  name = "Ruby Ore",
  top = "ruby_ore.png",
  side = "ruby_ore.png",
  bottom = "stone",            -- no such file and no ".": the built-in stone texture
  hardness = 2.0,
  drop = ruby,                 -- register_block returned the full id "gems:ruby"
})

print("gems ready: " .. ruby .. " and gems:ruby_ore")
