// The checksum of a dump frame as the instrument computes it: the sum of
// bytes 4 to length - 3, AND 7F, stored in byte length - 2. Written here on
// its own so that the simulated instrument and the expected bytes of the
// tests never check the plug-in with the plug-in's own arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {
inline uint8_t frameChecksum(const uint8_t* frame, size_t length) {
  uint8_t sum = 0;
  for (size_t i = 4; i + 3 <= length; ++i) sum = static_cast<uint8_t>((sum + frame[i]) & 0x7F);
  return sum;
}
// Writes it into byte length - 2 of a frame of at least six bytes.
inline void writeFrameChecksum(uint8_t* frame, size_t length) {
  if (frame && length >= 6) frame[length - 2] = frameChecksum(frame, length);
}
// Of a whole frame held in a byte container (the checksum at size - 2).
template <class Frame>
uint8_t frameChecksum(const Frame& frame) {
  return frameChecksum(frame.data(), frame.size());
}
}  // namespace sim
