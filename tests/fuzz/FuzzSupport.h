// What the drivers share: a check that aborts, a reader of the input, a
// private scratch folder and the in-process plug-in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class MemoryMidiBackend;
class Tarnivex;

namespace fuzz {

// A broken promise: the fuzzer keeps the input that led to it.
#define FUZZ_CHECK(cond)                                                           \
  do {                                                                             \
    if (!(cond)) {                                                                 \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                \
    }                                                                              \
  } while (0)

// Takes the input apart front to back; past the end it yields zeros.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool empty() const { return mPos >= mSize; }
  size_t left() const { return mSize - mPos; }
  uint8_t byte() { return mPos < mSize ? mData[mPos++] : 0; }
  uint32_t word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return v;
  }
  std::vector<uint8_t> bytes(size_t n) {
    n = std::min(n, left());
    std::vector<uint8_t> out(mData + mPos, mData + mPos + n);
    mPos += n;
    return out;
  }
  std::vector<uint8_t> rest() { return bytes(left()); }
  // Up to the next separator byte (consumed), or the rest.
  std::string until(uint8_t separator) {
    std::string out;
    while (!empty()) {
      const uint8_t b = byte();
      if (b == separator) break;
      out.push_back(static_cast<char>(b));
    }
    return out;
  }

 private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

// base cut to the length the input gives next (4 bytes) and changed by the
// records that follow: [offset (4), length (1), bytes], the offset taken
// modulo the size.
std::vector<uint8_t> changed(std::vector<uint8_t> base, Input& in);

// A folder of the process's own under the system's temporary folder, made
// once; the drivers' files live below it.
const std::string& scratchFolder();
// Empties (and makes) a folder below the scratch folder; its path.
std::string freshFolder(const std::string& name);

void writeBytes(const std::string& path, const void* data, size_t size);
std::vector<uint8_t> readBytes(const std::string& path);

// The plug-in in-process on the in-memory MIDI system, built once per role:
// "plain" with no port open, "ports" with the instrument's in and out open.
// Its pauses take no time. The data folder is below the scratch folder.
Tarnivex& plugin(bool withPorts);
// One more plain plug-in, whose parameters the documents driver may rebuild
// without changing the other drivers' plug-in.
Tarnivex& windowPlugin();
MemoryMidiBackend& midiBackend();
void releasePlugins();

}  // namespace fuzz
