#!/usr/bin/env python3
"""Adds a MIDI region to the track "Synth" of an Ardour 7 session: 32 notes, an
eighth apart from bar 1, keys 36.., velocities 20 + 3n, note-offs velocity 64."""
import sys

from ardour_region import add_region

events = []
for i in range(32):
    events.append((i * 480, bytes([0x90, 36 + i, 20 + 3 * i])))
    events.append((i * 480 + 240, bytes([0x80, 36 + i, 0x40])))
events.sort(key=lambda e: (e[0], e[1][0] != 0x80))
add_region(sys.argv[1], sys.argv[2], "Notes", events)
