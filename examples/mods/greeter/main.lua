-- Greeter: a mod made for a server. It welcomes every player who joins, gives each
-- player a bookshelf for the first block they break, and keeps count of the blocks every
-- player broke in its data file "breaks.txt", so the counts survive a restart.
--
--   /tally      how many blocks you broke (run by the server, answered to you alone)
--
-- On a server, orva.message and orva.give reach the player whose action raised the event
-- or who typed the command; orva.broadcast speaks to everyone.

local breaks = {}

-- breaks.txt holds one "name=number" line per player.
local saved = orva.data_read("breaks.txt")
if saved then
  for name, number in saved:gmatch("([^\n=]+)=(%d+)") do breaks[name] = tonumber(number) end
end

local function save()
  local lines = {}
  for name, number in pairs(breaks) do lines[#lines + 1] = name .. "=" .. number end
  table.sort(lines)
  if not orva.data_write("breaks.txt", table.concat(lines, "\n") .. "\n") then
    orva.log("could not write breaks.txt")
  end
end

on_player_join(function(e)
  orva.message("Welcome, " .. e.player .. "! Your first broken block earns a bookshelf.")
  orva.broadcast(e.player .. " is here")
end)

on_block_break(function(e)
  breaks[e.player] = (breaks[e.player] or 0) + 1
  if breaks[e.player] == 1 and orva.give("orvane:bookshelf", 1) then
    orva.message("A bookshelf for your first block")
  end
  save()
end)

orva.register_command("tally", function(_, player)
  return player .. " broke " .. (breaks[player] or 0) .. " blocks"
end, { host = true })
