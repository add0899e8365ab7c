-- Protect: nobody breaks blocks inside the protected area, and the mod counts what
-- happened in its data file "counts.txt" (in the folder "protect" of the mods folder),
-- so the numbers survive a restart.
--
--   /protect      shows the area and the counts

local AREA = { x1 = -16, z1 = -16, x2 = 15, z2 = 15, y1 = 0, y2 = 63 }

local counts = { blocked = 0, allowed = 0, joins = 0 }

-- counts.txt holds one "name=number" line per counter.
local saved = orva.data_read("counts.txt")
if saved then
  for name, number in saved:gmatch("(%w+)=(%d+)") do
    if counts[name] then counts[name] = tonumber(number) end
  end
end

local function save()
  local text = string.format("blocked=%d\nallowed=%d\njoins=%d\n",
                             counts.blocked, counts.allowed, counts.joins)
  if not orva.data_write("counts.txt", text) then
    orva.log("could not write counts.txt")
  end
end

local function inside(x, y, z)
  return x >= AREA.x1 and x <= AREA.x2 and y >= AREA.y1 and y <= AREA.y2
     and z >= AREA.z1 and z <= AREA.z2
end

on_block_break(function(e)
  if inside(e.x, e.y, e.z) then
    e.cancelled = true
    counts.blocked = counts.blocked + 1
    orva.message(e.player .. ": this area is protected")
  else
    counts.allowed = counts.allowed + 1
  end
  save()
end)

on_player_join(function(e)
  counts.joins = counts.joins + 1
  save()
  orva.message("Welcome, " .. e.player .. "! The spawn area is protected.")
end)

orva.register_command("protect", function()
  return string.format("Protected x %d..%d, z %d..%d; blocked %d, allowed %d, joins %d",
                       AREA.x1, AREA.x2, AREA.z1, AREA.z2,
                       counts.blocked, counts.allowed, counts.joins)
end)
