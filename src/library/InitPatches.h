// The built-in init sound and init multi: they fill banks up to 100 entries
// and give the placeholder bytes that complete short dumps.
#pragma once

#include <array>

#include "DumpSizes.h"

// "Init Patch   dVn", category "Init", stored byte 0x1E at 390.
extern const std::array<unsigned char, kSoundDumpSize> initPatchData;
// "Sequencer Multi ", model byte 0x0F, checksum 0x7A.
extern const std::array<unsigned char, kMultiDumpSize> initMultiData;
