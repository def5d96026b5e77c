// The three bank file formats: SysEx files ("syx", and the editor's own
// "tvx", same content) and Standard MIDI Files ("mid"), format 1, two
// tracks, 480 ticks per quarter note, one SysEx event per dump 500 ticks apart.
#pragma once

#include <array>
#include <string>

#include "PatchFile.h"

// The file heads of a bank of 100 standard dumps, up to and with the first
// event's prefix.
extern const std::array<unsigned char, 53> patchBankHeader;
extern const std::array<unsigned char, 53> multiBankHeader;
extern const std::array<unsigned char, 5> patchBankInBetween;
extern const std::array<unsigned char, 5> multiBankInBetween;

// The file image of the bank's first 100 entries, every dump of each entry in
// order. For a Standard MIDI File the second track's length is that of the
// bytes written; for 100 dumps of 392 (393) bytes the image is the sound
// (multi) template byte for byte.
Bytes writeBankImage(const PatchFile& bank, bool midi, bool multi = false);

// Moves pos past the next byte equal to value; false (pos -1) when the data
// ends first. A negative pos returns at once: false for -1, else true.
bool findByte(const Bytes& data, int& pos, int value);

// What a file image holds that the library does not keep when it reads
// the file ("a global dump", "another maker's SysEx", ...); "" when every
// byte belongs to a dump it reads or to the file format it writes.
std::string unkeptData(const Bytes& image);
