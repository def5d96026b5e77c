// A library that counts the entry-point calls the loader makes, and can refuse to attach.
#include <cstdlib>

namespace {
// attach, detach, DllMain attach, DllMain detach
int gCounts[4];
}

extern "C" {
__attribute__((visibility("default"))) int SWELL_dllMain(void*, int reason, void*) {
  ++gCounts[reason == 1 ? 0 : 1];
  return reason == 1 && getenv("WINSYS_TESTLIB_REFUSE") ? 0 : 1;
}
__attribute__((visibility("default"))) int DllMain(void*, int reason, void*) {
  ++gCounts[reason == 1 ? 2 : 3];
  return 1;
}
__attribute__((visibility("default"))) int* WinsysTestCounters() { return gCounts; }
}
