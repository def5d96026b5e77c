#include "PatchManager.h"

#include <algorithm>
#include <cstdint>

#include "ByteChunk.h"
#include "Tarnivex.h"

namespace {
constexpr int kBlockMarker = 0x01000000;

uint32_t byteSwap(uint32_t v) { return __builtin_bswap32(v); }
}  // namespace

Patch::Patch() { mNames.fill("INIT"); }

std::string Patch::name(int entry) const {
  if (entry < 0 || entry >= kNameCount) return {};
  std::lock_guard<std::mutex> lock(mNamesMutex);
  return mNames[static_cast<size_t>(entry)];
}

void Patch::setName(int entry, const std::string& text) {
  if (entry < 0 || entry >= kNameCount) return;
  std::lock_guard<std::mutex> lock(mNamesMutex);
  mNames[static_cast<size_t>(entry)] = text;
}

void Patch::getName(std::string* out, int index) const {
  if (!out) return;
  *out = index >= kNameCount || index < 0 ? std::string("INIT") : name(index);
}

std::vector<unsigned char> Patch::snapshot() const {
  std::lock_guard<std::mutex> lock(mNamesMutex);
  return mSnapshot;
}

void Patch::init() {
  if (!plug) return;
  ByteChunk chunk;
  plug->SerializeState2(&chunk, false);
  std::lock_guard<std::mutex> lock(mNamesMutex);
  mSnapshot.assign(chunk.Data(), chunk.Data() + chunk.Size());
}

int Patch::widthOf(int index) {
  if (index <= 16) return 16;
  if (index <= 18) return 32;
  return 4;
}

void Patch::putStringToChunk(ByteChunk* chunk, const std::string& name, int width) {
  const size_t visible = name.find('\0');
  const int length = static_cast<int>(std::min(visible == std::string::npos ? name.size() : visible,
                                               static_cast<size_t>(width)));
  chunk->AppendValue(&length);
  if (length > 0) chunk->AppendBytes(name.data(), length);
}

void Patch::saveAllToChunk(ByteChunk* chunk) const {
  if (!chunk) return;
  ByteChunk block;
  std::lock_guard<std::mutex> lock(mNamesMutex);
  block.AppendValue(&kBlockMarker);
  block.AppendValue(&kBlockMarker);
  const uint32_t length = byteSwap(static_cast<uint32_t>(mSnapshot.size()));
  block.AppendValue(&length);
  if (!mSnapshot.empty()) block.AppendBytes(mSnapshot.data(), static_cast<int>(mSnapshot.size()));
  for (int i = 0; i < kNameCount; ++i) putStringToChunk(&block, mNames[static_cast<size_t>(i)], widthOf(i));
  chunk->AppendChunk(&block);
}

int Patch::readBlock(const ByteChunk& chunk, int pos, Block* out) {
  int marker1 = 0, marker2 = 0;
  uint32_t bigEndian = 0;
  pos = chunk.ReadValue(&marker1, pos);
  if (pos >= 0) pos = chunk.ReadValue(&marker2, pos);
  if (pos >= 0) pos = chunk.ReadValue(&bigEndian, pos);
  if (pos < 0 || marker1 != kBlockMarker || marker2 != kBlockMarker) return -1;
  const int64_t length = static_cast<int32_t>(byteSwap(bigEndian));
  if (length < 0 || length > static_cast<int64_t>(chunk.Size()) - pos) return -1;
  out->snapshot.assign(chunk.Data() + pos, chunk.Data() + pos + length);
  pos += static_cast<int>(length);
  for (int i = 0; i < kNameCount; ++i) {
    int n = 0;
    pos = chunk.ReadValue(&n, pos);
    if (pos < 0 || n < 0 || n > chunk.Size() - pos) return -1;
    std::string text(reinterpret_cast<const char*>(chunk.Data()) + pos, static_cast<size_t>(n));
    pos += n;
    if (const size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    if (i != kMidiInName && i != kMidiOutName) text.resize(static_cast<size_t>(widthOf(i)), '\0');
    out->names[static_cast<size_t>(i)] = std::move(text);
  }
  return pos;
}

void Patch::applyBlock(const Block& block) {
  std::lock_guard<std::mutex> lock(mNamesMutex);
  mSnapshot = block.snapshot;
  mNames = block.names;
}

int Patch::loadAllFromChunk(ByteChunk* chunk, int pos) {
  if (!chunk || pos < 0) return -1;
  Block block;
  pos = readBlock(*chunk, pos, &block);
  if (pos >= 0) applyBlock(block);
  return pos;
}
