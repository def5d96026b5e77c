io.stdout:setvbuf("no")
local dir, name = os.getenv("SESS_DIR"), os.getenv("SESS_NAME") or "base"
AudioEngine:set_backend("None (Dummy)", "", "")
load_session(dir, name)
print("loaded", os.time())
ARDOUR.LuaAPI.usleep(tonumber(os.getenv("CLOSE_AFTER_US") or "2500000"))
if os.getenv("REMOVE_PLUGIN") then
  for rt in Session:get_tracks():iter() do
    local p = rt:nth_plugin(0)
    if not p:isnil() then print("remove", rt:remove_processor(p, nil, true)) end
    p = nil
  end
  collectgarbage()
  print("removed", ARDOUR.LuaAPI.monotonic_time() / 1e6)
  ARDOUR.LuaAPI.usleep(tonumber(os.getenv("LINGER_US") or "12000000"))
  close_session()
else
  print("closing", ARDOUR.LuaAPI.monotonic_time() / 1e6)
  close_session()
  print("closed", ARDOUR.LuaAPI.monotonic_time() / 1e6)
  ARDOUR.LuaAPI.usleep(tonumber(os.getenv("LINGER_US") or "12000000"))
end
print("exit")
