// A host process's whole life with the plug-in: load, create, open, close,
// unload and exit. It writes "closed" once the instance is gone, so a test
// can time what the unload and the exit take.
#include <cstdio>

#include "TestHost.h"

int main() {
  {
    TestHost host;
    if (!host.Loaded() || !host.Create()) return 2;
    host.Dispatch(effOpen);
    host.Close();
    std::puts("closed");
    std::fflush(stdout);
  }
  return 0;
}
