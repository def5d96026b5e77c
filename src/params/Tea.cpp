#include "Tea.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherSum = 0xC6EF3720u;  // 32 * delta, modulo 2^32
constexpr int kCycles = 32;

void encipher(uint32_t& y, uint32_t& z, const unsigned int* k) {
  uint32_t sum = 0;
  for (int i = 0; i < kCycles; ++i) {
    sum += kDelta;
    y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
  }
}

void decipher(uint32_t& y, uint32_t& z, const unsigned int* k) {
  uint32_t sum = kDecipherSum;
  for (int i = 0; i < kCycles; ++i) {
    z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    sum -= kDelta;
  }
}

uint32_t readBigEndian(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void writeBigEndian(unsigned char* p, uint32_t w) {
  p[0] = static_cast<unsigned char>(w >> 24);
  p[1] = static_cast<unsigned char>(w >> 16);
  p[2] = static_cast<unsigned char>(w >> 8);
  p[3] = static_cast<unsigned char>(w);
}

// Native-word blocks, copied out and back so no unaligned access happens.
template <typename Cipher>
void nativeBlock(unsigned char* block, const unsigned int* key, Cipher cipher) {
  uint32_t v[2];
  std::memcpy(v, block, sizeof(v));
  cipher(v[0], v[1], key);
  std::memcpy(block, v, sizeof(v));
}
}  // namespace

unsigned int Tea::encryptBlock(unsigned char* data, unsigned int* length, unsigned int* key) {
  const unsigned int blocks = (*length + 7) / 8;
  const uint32_t trailer = *length;
  std::memcpy(data + 8 * blocks + 4, &trailer, sizeof(trailer));
  *length = 8 * blocks + 8;
  for (unsigned int b = 0; b <= blocks; ++b) nativeBlock(data + 8 * b, key, encipher);
  return blocks + 1;
}

void Tea::encryptTea(unsigned int* v, unsigned int* key) {
  uint32_t y = v[0], z = v[1];
  encipher(y, z, key);
  v[0] = y;
  v[1] = z;
}

unsigned int Tea::decryptBlock(unsigned char* data, unsigned int* length, unsigned int* key) {
  const unsigned int blocks = *length / 8;
  if (blocks == 0) {
    *length = 0;
    return 0;
  }
  for (unsigned int b = 0; b < blocks; ++b) nativeBlock(data + 8 * b, key, decipher);
  uint32_t trailer;
  std::memcpy(&trailer, data + 8 * (blocks - 1) + 4, sizeof(trailer));
  *length = trailer;
  return trailer;
}

void Tea::decryptTea(unsigned int* v, unsigned int* key) {
  uint32_t y = v[0], z = v[1];
  decipher(y, z, key);
  v[0] = y;
  v[1] = z;
}

void Tea::simpleencrypt(unsigned char* block, unsigned int* key) {
  uint32_t y = readBigEndian(block), z = readBigEndian(block + 4);
  encipher(y, z, key);
  writeBigEndian(block, y);
  writeBigEndian(block + 4, z);
}

void Tea::simpledecrypt(unsigned char* block, unsigned int* key) {
  uint32_t y = readBigEndian(block), z = readBigEndian(block + 4);
  decipher(y, z, key);
  writeBigEndian(block, y);
  writeBigEndian(block + 4, z);
}

void Tea::simpledecryptBlocks(unsigned char* blocks, size_t count, const unsigned int* key) {
  // Four words a vector, four vectors a group: sixteen blocks side by side.
  typedef uint32_t Lanes __attribute__((vector_size(16)));
  constexpr size_t kVectors = 4, kLanes = 4 * kVectors;
  size_t b = 0;
  for (; b + kLanes <= count; b += kLanes) {
    unsigned char* group = blocks + 8 * b;
    Lanes y[kVectors], z[kVectors];
    for (size_t v = 0; v < kVectors; ++v)
      for (size_t l = 0; l < 4; ++l) {
        y[v][l] = readBigEndian(group + 8 * (4 * v + l));
        z[v][l] = readBigEndian(group + 8 * (4 * v + l) + 4);
      }
    uint32_t sum = kDecipherSum;
    for (int i = 0; i < kCycles; ++i) {
      for (size_t v = 0; v < kVectors; ++v) {
        z[v] -= ((y[v] << 4) + key[2]) ^ (y[v] + sum) ^ ((y[v] >> 5) + key[3]);
        y[v] -= ((z[v] << 4) + key[0]) ^ (z[v] + sum) ^ ((z[v] >> 5) + key[1]);
      }
      sum -= kDelta;
    }
    for (size_t v = 0; v < kVectors; ++v)
      for (size_t l = 0; l < 4; ++l) {
        writeBigEndian(group + 8 * (4 * v + l), y[v][l]);
        writeBigEndian(group + 8 * (4 * v + l) + 4, z[v][l]);
      }
  }
  for (; b < count; ++b) {
    unsigned char* block = blocks + 8 * b;
    uint32_t y = readBigEndian(block), z = readBigEndian(block + 4);
    decipher(y, z, key);
    writeBigEndian(block, y);
    writeBigEndian(block + 4, z);
  }
}

void Tea::printBuffer(unsigned char* buffer, int length) {
  for (int i = 0; i < length; ++i) std::putchar(buffer[i]);
  std::putchar('\n');
}
