// Catches the X errors of one connection while it lives, so a window the
// host has already destroyed (or an id that was never a window) fails a call
// instead of ending the host through Xlib's default handler. Errors of other
// connections go on to the handler that was there before.
#pragma once

#include <X11/Xlib.h>

class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Waits for the server to answer everything sent so far; true when no
  // error came back since the trap was set.
  bool Sync();
  // Errors every trap of the process has caught so far: a close that runs
  // clean adds none.
  static long CaughtSoFar();

 private:
  static int Handler(Display* display, XErrorEvent* event);

  Display* mDisplay;
  XErrorHandler mPrevious;
  XErrorTrap* mOuter;
  int mErrors = 0;
};
