// How X input becomes the editor's: buttons and modifier states as mouse
// modifiers, key symbols as key numbers, wheel buttons as steps, and the
// click counting X leaves to its clients.
#pragma once

#include <X11/Xlib.h>

#include "ViewRecords.h"

// The left button, or the right one (which sets R and clears L). Super with
// the left button counts as the right-button action.
ViewMouseMod ModForButton(bool rightButton, unsigned state);

// A drag reports the button held: the left one first.
ViewMouseMod ModForMotion(unsigned state);

// Wheel steps of a button: 4 up (+1), 5 down (-1); 0 for every other button,
// sideways scrolling included.
int WheelStepsForButton(unsigned button);

// The key number for a key symbol and the text it types (modifiers other
// than Shift left out), or -1.
int KeyNumberForKeysym(KeySym keysym, const char* text, int length);

// Counts presses of one button close in time and place, as a double-click
// needs; a count of two or more is a double-click.
class ClickCounter {
 public:
  static constexpr unsigned long kIntervalMs = 400;
  static constexpr int kSlop = 4;
  int Press(unsigned button, unsigned long timeMs, int x, int y);

 private:
  unsigned mButton = 0;
  unsigned long mTime = 0;
  int mX = 0, mY = 0;
  int mCount = 0;
};
