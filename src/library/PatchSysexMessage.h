// One complete SysEx message of the library, F0 first and F7 last: 392 bytes
// for a sound, 393 for a multi once read from a file.
#pragma once

#include <cstddef>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct PatchSysexMessage {
  Bytes bytes;

  bool operator==(const PatchSysexMessage&) const = default;

  // Appends the dump to a bank file image: the whole message for a SysEx
  // file; for a Standard MIDI File one SysEx event whose delta is 0 for the
  // first event of the track (eventIndex 0) and 500 ticks otherwise, with the
  // message's own length. dumpIndex and multi do not change the bytes.
  void save(Bytes& out, bool midi, int eventIndex, int dumpIndex = 0, bool multi = false) const;

  // Completes a short dump with the placeholder bytes of the built-in dumps
  // (sound to 392 bytes, multi to 393) and writes its checksum.
  static void checkPatchDataSize(PatchSysexMessage* dump, bool isSound, bool = false);
};

// The dump checksum: the sum of bytes 4 to n-3, masked with 0x7F; the byte
// at checksumAt, where the checksum goes, is not counted.
unsigned char dumpChecksum(const Bytes& dump, size_t checksumAt = static_cast<size_t>(-1));
