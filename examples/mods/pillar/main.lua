-- Pillar: a command with arguments.
--
--   /pillar <block> [height]
--
-- builds a column of the block, 1 to 16 high (default 4), one block east of the player,
-- starting at the player's feet.

local MAX_HEIGHT = 16

orva.register_command("pillar", function(args, player)
  local block, height = args:match("^(%S+)%s*(%S*)")
  if not block then
    return "Usage: /pillar <block> [height]"
  end
  height = tonumber(height ~= "" and height or "4")
  if not height or height ~= math.floor(height) or height < 1 or height > MAX_HEIGHT then
    return "Height must be a whole number from 1 to " .. MAX_HEIGHT
  end
  if not orva.is_host() then
    return "Only the host can build pillars"
  end

  local x, y, z = orva.player_position()        -- eye position, about 1.6 above the feet
  x, y, z = math.floor(x) + 1, math.floor(y - 1.6), math.floor(z)
  local built = 0
  for i = 0, height - 1 do
    if orva.set_block(x, y + i, z, block) then built = built + 1 end
  end
  if built == 0 then
    return "Unknown block: " .. block
  end
  orva.log(player .. " built a pillar of " .. built .. " " .. block)
  return "Built a pillar of " .. built .. " " .. block
end)
