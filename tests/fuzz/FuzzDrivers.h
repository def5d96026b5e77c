// One entry function per input the plug-in reads. Each takes any bytes,
// never crashes, and aborts (through a failed check) when what the input led
// to breaks a promise the plug-in makes about that input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

using Entry = int (*)(const uint8_t* data, size_t size);

struct Driver {
  const char* name;  // also the corpus folder
  Entry run;
};

int stateChunk(const uint8_t* data, size_t size);
int programFiles(const uint8_t* data, size_t size);
int bankMemory(const uint8_t* data, size_t size);
int bankFolder(const uint8_t* data, size_t size);
int midiPorts(const uint8_t* data, size_t size);
int settingsFile(const uint8_t* data, size_t size);
int iniFiles(const uint8_t* data, size_t size);
int documents(const uint8_t* data, size_t size);
int pngImages(const uint8_t* data, size_t size);

const std::vector<Driver>& drivers();

// Releases what the drivers keep between inputs (the plug-ins, temporary
// folders), so a test can end without them.
void releaseAll();

}  // namespace fuzz
