"""Writes a Standard MIDI File of events into an Ardour 7 session and lays it
as a region on the track "Synth" from bar 1."""
import os
import re
import struct


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def add_region(session_dir, name, region, events):
    """events: (tick at 960 a beat, message bytes), in order."""
    track, last = b"", 0
    for tick, data in events:
        track += vlq(tick - last) + data
        last = tick
    track += vlq(0) + b"\xff\x2f\x00"
    midi_dir = os.path.join(session_dir, "interchange", os.path.basename(os.path.normpath(session_dir)), "midifiles")
    os.makedirs(midi_dir, exist_ok=True)
    with open(os.path.join(midi_dir, region + ".mid"), "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 960) + b"MTrk" + struct.pack(">I", len(track)) + track)

    # Ardour 7 writes lengths as "distance@position"; 4 bars at 1920 ticks a beat.
    attrs = ('muted="0" opaque="1" locked="0" video-locked="0" automatic="0" import="0" external="0" '
             'sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" position-locked="0" '
             'valid-transients="0" start="b0" length="b30720@b0" position="b0" sync-position="b0" '
             'ancestral-start="b0" ancestral-length="b0@b0" stretch="1" shift="1" layering-index="0" tags="" '
             'contents="1" type="midi" first-edit="nothing" source-0="9000" master-source-0="9000"')
    path = os.path.join(session_dir, name + ".ardour")
    text = open(path).read()
    text = text.replace("<Sources/>", f'<Sources>\n    <Source name="{region}.mid" type="midi" flags="" id="9000" origin=""/>\n  </Sources>')
    text = text.replace("<Regions/>", f'<Regions>\n    <Region name="{region}" whole-file="1" {attrs} id="9001"/>\n  </Regions>')
    text = re.sub(r'(<Playlist id="\d+" name="Synth" type="midi"[^>]*?)/>',
                  lambda m: m.group(1) + f'>\n      <Region name="{region}.1" whole-file="0" {attrs} id="9002"/>\n    </Playlist>', text)
    open(path, "w").write(text)
