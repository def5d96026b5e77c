io.stdout:setvbuf("no")
AudioEngine:set_backend("None (Dummy)", "", "")
create_session(os.getenv("MK_DIR"), "base", 48000)
local pi = nil
for p in ARDOUR.LuaAPI.list_plugins():iter() do if p.name == "Tarnivex Editor" then pi = p end end
if not pi then error("the plug-in is not in Ardour's list: scan it first") end
local tl = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1), ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, pi, nil, nil, tonumber(os.getenv("TRACKS") or "1"), "Synth", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
for t in tl:iter() do print("track", t:name()) local i = 0 while true do local p = t:nth_plugin(i) if p:isnil() then break end print(" plugin", p:display_name()) i = i + 1 end end
Session:save_state("", false, false, false, false, false)
