"""Adds a MIDI region to the track "Synth" of an Ardour 7 session: from bar 1,
a beat apart, program changes on channel 2 with no bank select (programs
FIRST.., COUNT of them, default 90 and 8), each followed by a note.

    pc-region.py SESSION_DIR NAME [FIRST [COUNT]]"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from ardour_region import add_region  # noqa: E402

first = int(sys.argv[3]) if len(sys.argv) > 3 else 90
count = int(sys.argv[4]) if len(sys.argv) > 4 else 8
events = []
for i in range(count):
    events.append((i * 960, bytes([0xC1, first + i])))
    events.append((i * 960 + 240, bytes([0x91, 60, 90])))
    events.append((i * 960 + 480, bytes([0x81, 60, 0x40])))
add_region(sys.argv[1], sys.argv[2], "Picks", events)
