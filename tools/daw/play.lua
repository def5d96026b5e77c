io.stdout:setvbuf("no")
local dir, name = os.getenv("SESS_DIR"), os.getenv("SESS_NAME") or "base"
AudioEngine:set_backend("None (Dummy)", "", "")
load_session(dir, name)
print("loaded", Session:name(), "sr", Session:nominal_sample_rate())
for rt in Session:get_tracks():iter() do local t = rt:to_track()
  local pl = t:playlist()
  print("track", t:name(), "regions", pl:region_list():size())
  for r in pl:region_list():iter() do
    local mr = r:to_midiregion()
    if not mr:isnil() then print(" region", r:name(), "pos", r:position():samples(), "len", r:length():samples(), "notes", ARDOUR.LuaAPI.note_list(mr:model()):size()) end
  end
end
ARDOUR.LuaAPI.usleep(tonumber(os.getenv("WAIT_US") or "3000000"))
Session:request_locate(0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(500000)
print("roll", os.time())
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(tonumber(os.getenv("ROLL_US") or "9000000"))
print("rolling?", Session:transport_rolling(), "pos", Session:transport_sample())
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
close_session()
print("closed")
