// The Tiny Encryption Algorithm: 64-bit blocks, 128-bit key, 32 cycles.
// The configuration resources use the big-endian block form
// (simpleencrypt/simpledecrypt); the other operations take words as the
// processor stores them and are not interchangeable with it.
#pragma once

#include <cstddef>

class Tea {
 public:
  // Enciphers the buffer as whole blocks after storing *length as a native
  // word in the second word of the block past the data; the buffer must have
  // room for 8 * ((*length + 7) / 8) + 8 bytes. Returns the blocks enciphered
  // and sets *length to their byte count.
  unsigned int encryptBlock(unsigned char* data, unsigned int* length, unsigned int* key);
  void encryptTea(unsigned int* v, unsigned int* key);
  // Deciphers the whole blocks of the buffer and restores the length from the
  // trailer that encryptBlock wrote; returns it.
  unsigned int decryptBlock(unsigned char* data, unsigned int* length, unsigned int* key);
  void decryptTea(unsigned int* v, unsigned int* key);
  void simpleencrypt(unsigned char* block, unsigned int* key);
  void simpledecrypt(unsigned char* block, unsigned int* key);
  // simpledecrypt over count blocks in a row, several side by side: each
  // block is on its own, so the rounds run over lanes the compiler vectorises.
  static void simpledecryptBlocks(unsigned char* blocks, size_t count, const unsigned int* key);
  void printBuffer(unsigned char* buffer, int length);
};
