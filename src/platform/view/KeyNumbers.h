// The editor's key numbers: 0 space, 1 up, 2 down, 3 left, 4 right, 5-14 the
// digits, 15-40 the letters (either case). -1: a key the editor does not take.
#pragma once

enum EditorKey { kKeySpace = 0, kKeyUp = 1, kKeyDown = 2, kKeyLeft = 3, kKeyRight = 4 };

// A typed character: digits and letters only.
int KeyNumberForCharacter(unsigned character);

// A key as a VST host reports it: the character and the host's virtual key
// code (arrows 11-14, space 7).
int KeyNumberForVstKey(int character, int virtualKey);
