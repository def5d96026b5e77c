#include "TeaKey.h"

namespace {
// Chosen once at random; the build enciphers with it and the plug-in
// deciphers with it, so changing it only needs a rebuild.
constexpr unsigned char kTeaKey[16] = {0x18, 0x67, 0xFE, 0x41, 0x06, 0x9A, 0x00, 0x6D,
                                       0x65, 0x24, 0x02, 0x9A, 0x15, 0x30, 0xAF, 0xF6};
}  // namespace

void teaKeyWords(unsigned int key[4]) {
  for (int i = 0; i < 4; ++i)
    key[i] = static_cast<unsigned int>(kTeaKey[4 * i]) | (static_cast<unsigned int>(kTeaKey[4 * i + 1]) << 8) |
             (static_cast<unsigned int>(kTeaKey[4 * i + 2]) << 16) |
             (static_cast<unsigned int>(kTeaKey[4 * i + 3]) << 24);
}
