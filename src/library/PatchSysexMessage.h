// One complete SysEx message of the library, F0 first and F7 last.
#pragma once

#include <vector>

struct PatchSysexMessage {
  std::vector<unsigned char> bytes;
};
