#include "XErrorTrap.h"

#include <atomic>

namespace {
std::atomic<long> gCaught{0};
// Traps nest on the GUI thread that sets them.
thread_local XErrorTrap* gInnermost = nullptr;
}  // namespace

XErrorTrap::XErrorTrap(Display* display) : mDisplay(display), mOuter(gInnermost) {
  XSync(mDisplay, False);
  gInnermost = this;
  mPrevious = XSetErrorHandler(&XErrorTrap::Handler);
}

XErrorTrap::~XErrorTrap() {
  XSync(mDisplay, False);
  XSetErrorHandler(mPrevious);
  gInnermost = mOuter;
}

bool XErrorTrap::Sync() {
  XSync(mDisplay, False);
  return mErrors == 0;
}

long XErrorTrap::CaughtSoFar() { return gCaught.load(); }

int XErrorTrap::Handler(Display* display, XErrorEvent* event) {
  for (XErrorTrap* trap = gInnermost; trap; trap = trap->mOuter) {
    if (trap->mDisplay == display) {
      ++trap->mErrors;
      ++gCaught;
      return 0;
    }
  }
  XErrorTrap* outermost = gInnermost;
  while (outermost && outermost->mOuter) outermost = outermost->mOuter;
  XErrorHandler previous = outermost ? outermost->mPrevious : nullptr;
  return previous ? previous(display, event) : 0;
}
