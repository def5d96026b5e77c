#include "SysExFormat.h"

uint8_t dumpChecksum(const uint8_t* dump, int size) {
  unsigned sum = 0;
  for (int i = 4; i <= size - 3; ++i) sum += dump[i];
  return static_cast<uint8_t>(sum & 0x7F);
}

void writeDumpChecksum(uint8_t* dump, int size) {
  if (!dump || size < 6) return;
  dump[size - 2] = dumpChecksum(dump, size);
}

bool isDirirUMessage(const uint8_t* data, int size) {
  return data && size >= 3 && data[0] == kSysExStart && data[1] == kZorozovID && data[2] == kDirirUModel;
}
