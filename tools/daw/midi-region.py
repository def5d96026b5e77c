#!/usr/bin/env python3
"""Adds a MIDI region to the track "Synth" of an Ardour 7 session: 32 notes, an
eighth apart from bar 1, keys 36.., velocities 20 + 3n, note-offs velocity 64."""
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


events = []
for i in range(32):
    events.append((i * 480, bytes([0x90, 36 + i, 20 + 3 * i])))
    events.append((i * 480 + 240, bytes([0x80, 36 + i, 0x40])))
events.sort(key=lambda e: (e[0], e[1][0] != 0x80))
track, last = b"", 0
for tick, data in events:
    track += vlq(tick - last) + data
    last = tick
track += vlq(0) + b"\xff\x2f\x00"
midi_dir = os.path.join(session_dir, "interchange", os.path.basename(os.path.normpath(session_dir)), "midifiles")
os.makedirs(midi_dir, exist_ok=True)
with open(os.path.join(midi_dir, "Notes.mid"), "wb") as f:
    f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 960) + b"MTrk" + struct.pack(">I", len(track)) + track)

# Ardour 7 writes lengths as "distance@position"; 4 bars at 1920 ticks a beat.
attrs = ('muted="0" opaque="1" locked="0" video-locked="0" automatic="0" import="0" external="0" '
         'sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" position-locked="0" '
         'valid-transients="0" start="b0" length="b30720@b0" position="b0" sync-position="b0" '
         'ancestral-start="b0" ancestral-length="b0@b0" stretch="1" shift="1" layering-index="0" tags="" '
         'contents="1" type="midi" first-edit="nothing" source-0="9000" master-source-0="9000"')
path = os.path.join(session_dir, name + ".ardour")
text = open(path).read()
text = text.replace("<Sources/>", '<Sources>\n    <Source name="Notes.mid" type="midi" flags="" id="9000" origin=""/>\n  </Sources>')
text = text.replace("<Regions/>", f'<Regions>\n    <Region name="Notes" whole-file="1" {attrs} id="9001"/>\n  </Regions>')
text = re.sub(r'(<Playlist id="\d+" name="Synth" type="midi"[^>]*?)/>',
              lambda m: m.group(1) + f'>\n      <Region name="Notes.1" whole-file="0" {attrs} id="9002"/>\n    </Playlist>', text)
open(path, "w").write(text)
