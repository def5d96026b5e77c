"""Adds a MIDI region to the track "Synth" of an Ardour 7 session: from bar 1,
a beat apart, program changes on channel 2 with no bank select (programs
FIRST.., COUNT of them, default 90 and 8), each followed by a note.

    pc-region.py SESSION_DIR NAME [FIRST [COUNT]]"""
import os
import re
import struct
import sys

session_dir, name = sys.argv[1], sys.argv[2]


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


first = int(sys.argv[3]) if len(sys.argv) > 3 else 90
count = int(sys.argv[4]) if len(sys.argv) > 4 else 8
events = []
for i in range(count):
    events.append((i * 960, bytes([0xC1, first + i])))
    events.append((i * 960 + 240, bytes([0x91, 60, 90])))
    events.append((i * 960 + 480, bytes([0x81, 60, 0x40])))
track, last = b"", 0
for tick, data in events:
    track += vlq(tick - last) + data
    last = tick
track += vlq(0) + b"\xff\x2f\x00"
midi_dir = os.path.join(session_dir, "interchange", os.path.basename(os.path.normpath(session_dir)), "midifiles")
os.makedirs(midi_dir, exist_ok=True)
with open(os.path.join(midi_dir, "Picks.mid"), "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 960) + b"MTrk" + struct.pack(">I", len(track)) + track)

# Ardour 7 writes lengths as "distance@position"; 4 bars at 1920 ticks a beat.
attrs = ('muted="0" opaque="1" locked="0" video-locked="0" automatic="0" import="0" external="0" '
         'sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" position-locked="0" '
         'valid-transients="0" start="b0" length="b30720@b0" position="b0" sync-position="b0" '
         'ancestral-start="b0" ancestral-length="b0@b0" stretch="1" shift="1" layering-index="0" tags="" '
         'contents="1" type="midi" first-edit="nothing" source-0="9000" master-source-0="9000"')
path = os.path.join(session_dir, name + ".ardour")
text = open(path).read()
text = text.replace("<Sources/>", '<Sources>\n    <Source name="Picks.mid" type="midi" flags="" id="9000" origin=""/>\n  </Sources>')
text = text.replace("<Regions/>", f'<Regions>\n    <Region name="Picks" whole-file="1" {attrs} id="9001"/>\n  </Regions>')
text = re.sub(r'(<Playlist id="\d+" name="Synth" type="midi"[^>]*?)/>',
              lambda m: m.group(1) + f'>\n      <Region name="Picks.1" whole-file="0" {attrs} id="9002"/>\n    </Playlist>', text)
open(path, "w").write(text)
