io.stdout:setvbuf("no")
AudioEngine:set_backend("None (Dummy)", "", "")
create_session(os.getenv("MK_DIR"), "base", 48000)
local pi = nil
local wanted = os.getenv("PLUGIN_NAME") or "Tarnivex Editor"
for p in ARDOUR.LuaAPI.list_plugins():iter() do if p.name == wanted then pi = p end end
if not pi then for p in ARDOUR.LuaAPI.list_plugins():iter() do print("listed", p.name) end error(wanted .. " is not in Ardour's list: scan it first") end
local tl = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1), ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, pi, nil, nil, tonumber(os.getenv("TRACKS") or "1"), "Synth", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
-- SECOND_PLUGIN (an LV2 instrument, e.g. "ACE Reasonable Synth") after the
-- first on each track: taking the first off then leaves the track's outputs
-- as they were.
local second = os.getenv("SECOND_PLUGIN")
if second then
  for t in tl:iter() do
    local p = ARDOUR.LuaAPI.new_plugin(Session, second, ARDOUR.PluginType.LV2, "")
    if p:isnil() then error(second .. " is not an LV2 plug-in Ardour has") end
    t:add_processor_by_index(p, 1, nil, true)
  end
end
for t in tl:iter() do print("track", t:name()) local i = 0 while true do local p = t:nth_plugin(i) if p:isnil() then break end print(" plugin", p:display_name()) i = i + 1 end end
Session:save_state("", false, false, false, false, false)
