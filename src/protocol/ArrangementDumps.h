// The byte layouts of the multi dump (393 bytes) and the global dump (207
// bytes): which parameter each byte carries and the offset its value takes
// on the wire. One table per dump serves writer, parser and tests.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "SysExFormat.h"

struct DumpByte {
  int byte;
  int param;   // index (a part block's base for the multi's part bytes)
  int offset;  // wire byte = value + offset
};

constexpr int kMultiNameByte = 23;
constexpr int kMultiNameLength = 16;
constexpr int kMultiPartBlockByte = 39;
constexpr int kMultiPartBlockSize = 22;
constexpr int kMultiChecksumByte = 391;
constexpr int kMultiEditBufferBank = 0x20;
constexpr int kMinimumMultiDump = 391;
constexpr int kGlobalChecksumByte = 205;
constexpr int kGlobalLocalControlByte = 31;
constexpr int kGlobalDeviceIdByte = 30;

// The common bytes 7..12 of the multi.
std::span<const DumpByte> multiCommonBytes();
// The bytes of one part block, by their offset within the block.
std::span<const DumpByte> multiPartBytes();
// The 28 mapped bytes of the global dump, in byte order (byte 3 excluded).
std::span<const DumpByte> globalDumpBytes();
const std::array<uint8_t, kMultiDumpSize>& multiDumpTemplate();
const std::array<uint8_t, kGlobalDumpSize>& globalDumpTemplate();

// The byte a value takes: truncated toward zero, offset, kept within 0..127
// so no data byte can pose as a status byte.
uint8_t dumpByteFor(double value, int offset);

class EditorServices;
// The dumps of the editor's state as it is now: the global dump (checksum
// left to the way out), the multi with its name and checksum.
std::array<uint8_t, kGlobalDumpSize> globalDumpOf(EditorServices& plug);
std::array<uint8_t, kMultiDumpSize> multiDumpOf(EditorServices& plug);
