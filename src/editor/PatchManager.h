// The project-state holder: a snapshot of the plug-in state and 35 names
// (0 the multi, 1-16 the parts' sounds, 17-18 the MIDI devices, 19-34 the
// parts' categories). The names are written from worker and MIDI threads
// while the host thread saves them, so they sit behind their own lock.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <vector>

class ByteChunk;
class Tarnivex;

class Patch {
 public:
  static constexpr int kNameCount = 35;
  static constexpr int kMidiInName = 17;
  static constexpr int kMidiOutName = 18;

  // The block of the state chunk, as read before anything is applied.
  struct Block {
    std::vector<unsigned char> snapshot;
    std::array<std::string, kNameCount> names;
  };

  Patch();

  std::string name(int entry) const;
  void setName(int entry, const std::string& text);
  // *out := name index, "INIT" for an index of 35 or more.
  void getName(std::string* out, int index) const;
  std::vector<unsigned char> snapshot() const;

  // The first snapshot: the plug-in's short-form state, replacing any.
  void init();
  // Two int32 markers 0x01000000, the snapshot length big-endian, the
  // snapshot, then the 35 names, each an int32 length and its bytes, cut
  // to 16 (names 0-16), 32 (17-18) or 4 (19-34) bytes.
  void saveAllToChunk(ByteChunk* chunk) const;
  // Reads that block at pos; the next position, or -1 with nothing changed
  // when it is not whole (a negative or overlong length, a wrong marker).
  int loadAllFromChunk(ByteChunk* chunk, int pos);
  static int readBlock(const ByteChunk& chunk, int pos, Block* out);
  void applyBlock(const Block& block);
  static void putStringToChunk(ByteChunk* chunk, const std::string& name, int width);
  // Bytes kept of name i in the chunk.
  static int widthOf(int index);

  int bankSelection = 0;
  int patchSelection = 0;
  Tarnivex* plug = nullptr;

 private:
  mutable std::mutex mNamesMutex;
  std::array<std::string, kNameCount> mNames;
  std::vector<unsigned char> mSnapshot;
};

// The plug-in's one state holder.
class PatchManager : public Patch {};
