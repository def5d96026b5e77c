io.stdout:setvbuf("no")
-- Ardour on JACK with the session's instances of the plug-in; RESTART_CMD
-- stops jackd and starts it again under its name, RESTARTS times (it is
-- given the round's number). Each time: is Ardour told (its engine halts),
-- does it start again HOST_DELAY_US after being told (5 s: a person at the
-- GUI), does it save, and are the plug-in's ports back and connected
-- (jack_lsp -c).
local dir, name = os.getenv("SESS_DIR"), os.getenv("SESS_NAME") or "base"
local restarts, restart = tonumber(os.getenv("RESTARTS") or "10"), os.getenv("RESTART_CMD")
local want = tonumber(os.getenv("CONNECTIONS") or "4")
local hostDelay = tonumber(os.getenv("HOST_DELAY_US") or "5000000")
local function wait(done, us)
  for _ = 1, us / 100000 do if done() then return true end ARDOUR.LuaAPI.usleep(100000) end
  return done()
end
-- Connections of the plug-in's ports, as jack_lsp -c lists them.
local function connections()
  local out = io.popen("jack_lsp -c 2>/dev/null") local text = out:read("a") out:close()
  local n, port = 0, nil
  for line in text:gmatch("[^\n]+") do
    if line:sub(1, 1) ~= " " then port = line elseif port:find("^Tarnivex Editor:") then n = n + 1 end
  end
  return n
end
AudioEngine:set_backend("JACK", "", "")
load_session(dir, name)
print("loaded", AudioEngine:running(), "connections", connections())
for i = 1, restarts do
  print("restart", i, "running before", wait(function() return AudioEngine:running() end, 10000000))
  os.execute(restart .. " " .. i)
  print("restart", i, "told", wait(function() return not AudioEngine:running() end, 10000000))
  -- The host comes back late, as a person does: the plug-in must not open first.
  ARDOUR.LuaAPI.usleep(hostDelay)
  print("restart", i, "starting", os.time())
  print("restart", i, "started", wait(function() return AudioEngine:running() or AudioEngine:start(false) == 0 end, 20000000))
  Session:save_state("", false, false, false, false, false)
  print("restart", i, "saved")
  local n = 0
  wait(function() n = connections() return n >= want end, 30000000)
  print("restart", i, "connections", n)
end
close_session()
print("exit")
