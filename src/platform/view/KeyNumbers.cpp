#include "KeyNumbers.h"

namespace {
enum VstVirtualKey { kVstKeySpace = 7, kVstKeyLeft = 11, kVstKeyUp = 12, kVstKeyRight = 13, kVstKeyDown = 14 };
}  // namespace

int KeyNumberForCharacter(unsigned c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c) - 43;
  if (c >= 'A' && c <= 'Z') return static_cast<int>(c) - 50;
  if (c >= 'a' && c <= 'z') return static_cast<int>(c) - 82;
  return -1;
}

int KeyNumberForVstKey(int character, int virtualKey) {
  switch (virtualKey) {
    case kVstKeyUp: return kKeyUp;
    case kVstKeyDown: return kKeyDown;
    case kVstKeyLeft: return kKeyLeft;
    case kVstKeyRight: return kKeyRight;
    case kVstKeySpace: return kKeySpace;
    default: break;
  }
  if (character == ' ') return kKeySpace;
  return virtualKey == 0 && character > 0 ? KeyNumberForCharacter(static_cast<unsigned>(character)) : -1;
}
