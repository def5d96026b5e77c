// The lengths of the instrument's sound and multi dumps, shared by the
// library's built-in dumps and the protocol's frame.
#pragma once

constexpr int kSoundDumpSize = 392;
constexpr int kMultiDumpSize = 393;

// The command byte (the fifth) of each kind of dump: what tells a sound from
// a multi.
constexpr unsigned char kSoundDumpCommand = 0x10;
constexpr unsigned char kMultiDumpCommand = 0x11;
