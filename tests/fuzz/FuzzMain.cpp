// The libFuzzer entry of one driver, chosen when the program is built.
#include "FuzzDrivers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzz::TARNIVEX_FUZZ_ENTRY(data, size); }
