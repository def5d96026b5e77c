#include "X11Input.h"

#include <X11/keysym.h>

#include <cstdlib>

#include "KeyNumbers.h"

ViewMouseMod ModForButton(bool rightButton, unsigned state) {
  ViewMouseMod mod;
  mod.L = !rightButton;
  mod.R = rightButton || (state & Mod4Mask);
  mod.S = state & ShiftMask;
  mod.C = state & ControlMask;
  mod.A = state & Mod1Mask;
  return mod;
}

ViewMouseMod ModForMotion(unsigned state) {
  const bool right = !(state & Button1Mask) && (state & Button3Mask);
  return ModForButton(right, state);
}

int WheelStepsForButton(unsigned button) {
  if (button == Button4) return 1;
  if (button == Button5) return -1;
  return 0;
}

int KeyNumberForKeysym(KeySym keysym, const char* text, int length) {
  switch (keysym) {
    case XK_Up: return kKeyUp;
    case XK_Down: return kKeyDown;
    case XK_Left: return kKeyLeft;
    case XK_Right: return kKeyRight;
    case XK_space: return kKeySpace;
    default: break;
  }
  if (length != 1 || !text) return -1;
  return KeyNumberForCharacter(static_cast<unsigned char>(text[0]));
}

int ClickCounter::Press(unsigned button, unsigned long timeMs, int x, int y) {
  const bool again = mCount > 0 && button == mButton && timeMs - mTime <= kIntervalMs &&
                     std::abs(x - mX) <= kSlop && std::abs(y - mY) <= kSlop;
  mCount = again ? mCount + 1 : 1;
  mButton = button;
  mTime = timeMs;
  mX = x;
  mY = y;
  return mCount;
}
