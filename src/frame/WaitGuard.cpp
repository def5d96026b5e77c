#include "WaitGuard.h"

#ifdef TARNIVEX_WAIT_GUARD
#include <cstdio>
#include <cstdlib>

#include "RealtimeScope.h"

namespace {
thread_local int tHeld = 0;
thread_local int tPluginLock = 0;

[[noreturn]] void stop(const char* what, const char* how) {
  std::fprintf(stderr, "Tarnivex: %s %s\n", what, how);
  std::fflush(stderr);
  std::abort();
}
}  // namespace

namespace WaitGuard {
void held(int delta) { tHeld += delta; }

void pluginLockHeld(int delta) {
  tHeld += delta;
  tPluginLock += delta;
}

void beforeWait(const char* what) {
  if (tHeld > 0) stop(what, "waited holding a lock the host's threads take");
}

void beforeLock(const char* what) {
  if (RealtimeScope::active()) stop(what, "taken on the audio thread");
}

void beforeGate() {
  if (tPluginLock > 0) stop("the picks' gate", "was met under the plug-in's lock");
}
}  // namespace WaitGuard
#endif
