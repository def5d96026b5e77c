#include "Sha1.h"

#include <cstdint>
#include <cstring>

namespace sha1 {
namespace {
uint32_t rol(uint32_t value, int steps) { return (value << steps) | (value >> (32 - steps)); }

// One 64-byte block, given as 16 words in w; w has room for the 80-word schedule.
void innerHash(unsigned int* state, unsigned int* w) {
  for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = rol(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rol(b, 30);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void loadBlock(const unsigned char* bytes, unsigned int* w) {
  for (int i = 0; i < 16; ++i)
    w[i] = (uint32_t{bytes[4 * i]} << 24) | (uint32_t{bytes[4 * i + 1]} << 16) | (uint32_t{bytes[4 * i + 2]} << 8) |
           uint32_t{bytes[4 * i + 3]};
}
}  // namespace

void calc(const void* source, int length, unsigned char* digest) {
  unsigned int state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  unsigned int w[80];
  const auto* bytes = static_cast<const unsigned char*>(source);
  const int n = length > 0 ? length : 0;

  int done = 0;
  for (; n - done >= 64; done += 64) {
    loadBlock(bytes + done, w);
    innerHash(state, w);
  }

  // The tail, the 0x80 marker and the bit count fill one or two blocks.
  unsigned char tail[128] = {};
  const int rest = n - done;
  if (rest > 0) std::memcpy(tail, bytes + done, static_cast<size_t>(rest));
  tail[rest] = 0x80;
  const int tailBlocks = rest < 56 ? 1 : 2;
  const uint32_t bits = static_cast<uint32_t>(n) << 3;
  unsigned char* end = tail + 64 * tailBlocks;
  end[-4] = static_cast<unsigned char>(bits >> 24);
  end[-3] = static_cast<unsigned char>(bits >> 16);
  end[-2] = static_cast<unsigned char>(bits >> 8);
  end[-1] = static_cast<unsigned char>(bits);
  for (int b = 0; b < tailBlocks; ++b) {
    loadBlock(tail + 64 * b, w);
    innerHash(state, w);
  }

  for (int i = 0; i < 20; ++i) digest[i] = static_cast<unsigned char>(state[i / 4] >> (24 - 8 * (i % 4)));
}

void toHexString(const unsigned char* digest, char* hex) {
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 20; ++i) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
  hex[40] = 0;
}
}  // namespace sha1
