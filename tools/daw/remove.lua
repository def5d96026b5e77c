io.stdout:setvbuf("no")
-- Ardour on JACK with a session of instances of the plug-in: REMOVE_AFTER_US
-- (6 s) after the load, the first track's instance is taken off its track;
-- the time the removal took is printed, then the session closes.
local dir, name = os.getenv("SESS_DIR"), os.getenv("SESS_NAME") or "base"
AudioEngine:set_backend("JACK", "", "")
load_session(dir, name)
print("loaded", AudioEngine:running(), ARDOUR.LuaAPI.monotonic_time() / 1e6)
ARDOUR.LuaAPI.usleep(tonumber(os.getenv("REMOVE_AFTER_US") or "6000000"))
for rt in Session:get_tracks():iter() do
  local p = rt:nth_plugin(0)
  if not p:isnil() then
    local began = ARDOUR.LuaAPI.monotonic_time()
    print("removing", rt:name(), began / 1e6)
    local result = rt:remove_processor(p, nil, true)
    print("removed", result, (ARDOUR.LuaAPI.monotonic_time() - began) / 1e3, "ms")
    break
  end
end
collectgarbage()
ARDOUR.LuaAPI.usleep(tonumber(os.getenv("LINGER_US") or "2000000"))
close_session()
print("exit")
