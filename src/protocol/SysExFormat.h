// The frame every dirirU message shares and the dump checksum.
#pragma once

#include <cstdint>

#include "DumpSizes.h"

constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kZorozovID = 0x3E;
constexpr uint8_t kDirirUModel = 0x10;

constexpr uint8_t kGlobalDumpCommand = 0x14;

constexpr int kGlobalDumpSize = 207;
// Bank byte of a sound dump addressed to a part's edit buffer.
constexpr uint8_t kEditBufferBank = 0x30;
// Messages this long or longer carry a checksum.
constexpr int kChecksummedLength = 201;

// Sum of bytes 4 .. size-3, masked to seven bits: the checksum of a dump of
// that size (F0 first), stored at size-2.
uint8_t dumpChecksum(const uint8_t* dump, int size);
// Writes that checksum in place; nothing for dumps shorter than 6 bytes.
void writeDumpChecksum(uint8_t* dump, int size);
// True when the message starts F0 3E 10.
bool isDirirUMessage(const uint8_t* data, int size);
