// Turning a bank file's bytes into entries: the file is scanned for dumps of
// the dirirU (model 0x10), the Q (0x0F) and the Rerover (0x13); every dump
// found is rebuilt in the dirirU form.
#include <algorithm>
#include <cstring>

#include "PatchLibrarian.h"
#include "SmfSysEx.h"

namespace {
constexpr unsigned char kSmfHead[8] = {'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06};

// A read past either end fails and leaves pos at -1.
bool readByte(const Bytes& data, int size, int& pos, unsigned char& value) {
  if (pos < 0 || pos >= size) {
    pos = -1;
    return false;
  }
  value = data[static_cast<size_t>(pos++)];
  return true;
}
}  // namespace

int PatchLibrarian::readSysexMessage(const Bytes& data, int& pos, PatchFile* bank, int format, int slot) {
  return readDump(data, pos, bank, format, slot);
}

int PatchLibrarian::readMIDIMessage(const Bytes& data, int& pos, PatchFile* bank, int format, int slot) {
  return readDump(data, pos, bank, format, slot);
}

int PatchLibrarian::readDump(const Bytes& data, int& pos, PatchFile* bank, int format, int slot) {
  const int size = static_cast<int>(data.size());
  unsigned char b = 0;
  do {
    if (!readByte(data, size, pos, b)) return -1;
  } while (b != 0x3E);
  // In a run of 0x3E bytes the last one starts the dump: the length of a
  // Standard MIDI File event can end in 0x3E just before the dump's own.
  unsigned char model = 0x3E;
  while (model == 0x3E)
    if (!readByte(data, size, pos, model)) return -1;
  const int dumpAt = pos - 2;  // the 0x3E
  if (model != 0x0F && model != 0x10 && model != 0x13) return pos;
  const int working = model == 0x0F ? 1 : model == 0x13 ? 2 : format;
  unsigned char device = 0, command = 0, sourceBank = 0;
  if (!readByte(data, size, pos, device)) return -1;
  if (device >= 0x80) return pos;
  if (!readByte(data, size, pos, command)) return -1;
  if (command != 0x10 && command != 0x11) return pos;
  if (!readByte(data, size, pos, sourceBank)) return -1;
  if (sourceBank >= 0x80) return pos;

  const bool sound = command == 0x10;
  // Up to and with the next F7; a dump cut short ends where the next
  // message begins (F0), which is read as its own, and one cut off by the
  // end of the data keeps what was read. Both get their F7.
  const int start = pos;
  int end = start;
  while (end < size && data[static_cast<size_t>(end)] != 0xF7 && data[static_cast<size_t>(end)] != 0xF0) ++end;
  const bool found = end < size && data[static_cast<size_t>(end)] == 0xF7;
  PatchSysexMessage dump;
  Bytes& d = dump.bytes;
  d.resize(static_cast<size_t>(6 + (end - start) + 1));
  d[0] = 0xF0, d[1] = 0x3E, d[2] = 0x10, d[3] = 0x00, d[4] = command;
  d[5] = static_cast<unsigned char>(slot & 0xFF);
  // The checksum of a whole dirirU sound is summed while its bytes are
  // copied (bytes 4 to 389); every other dump has it written afterwards.
  const size_t count = static_cast<size_t>(end - start);
  const unsigned char* from = data.data() + start;
  unsigned char* to = d.data() + 6;
  unsigned sum = d[4] + d[5];
  const size_t summed = std::min<size_t>(count, 384);
  for (size_t i = 0; i < summed; ++i) sum += (to[i] = from[i]);
  if (count > summed) std::memcpy(to + summed, from + summed, count - summed);
  d.back() = 0xF7;
  pos = found ? end + 1 : end < size ? end : -1;
  // A short dump is completed before its end byte, not after it: an F7 left
  // inside would cut the dump short when the file is read again.
  const size_t fullSize = sound && working != 1 ? 392 : 393;  // a Q sound is read as 393 bytes
  // A dump short of its kind's size is cut, whether or not an F7 ends it
  // (the instrument's own cut reply has one); completed, it holds made-up
  // bytes, so the file's own are kept with it.
  const bool cut = !found || d.size() < fullSize;
  if (d.size() < fullSize) d.pop_back();
  Bytes asRead;
  if (cut) {
    asRead.reserve(static_cast<size_t>(end - dumpAt) + 2);
    asRead.push_back(0xF0);
    asRead.insert(asRead.end(), data.begin() + dumpAt, data.begin() + end);
    if (found) asRead.push_back(0xF7);
  }

  if (sound && working == 1) {
    alterPatchFromQFormat(&dump);
  } else if (sound && working == 2) {
    alterPatchFromReroverFormat(&dump);
    alterReroverCategoryFormat(&dump);
  }
  // A conversion passes on what it has no rule for: a byte of 0x80 or more
  // would stay in the body (or be made an F0 or F7), which no file or
  // instrument takes as data. Such a sound cannot be converted.
  if (sound && working != 0 && std::any_of(d.begin() + 1, d.begin() + 390, [](unsigned char b) { return b >= 0x80; })) {
    bank->unconverted = true;
    return pos;
  }
  if (cut) bank->cutShort = true;
  if (sound && working == 0 && d.size() == 392) {
    d[390] = static_cast<unsigned char>(sum & 0x7F);
  } else {
    PatchSysexMessage::checkPatchDataSize(&dump, sound);
  }

  LibrarianPatch entry;
  if (sound) {
    if (d.size() < 390) return pos;
    entry.name.assign(d.begin() + 370, d.begin() + 386);
    entry.typeCode = kSoundFromFile;
    bank->bankType = 0;
  } else {
    entry.name.assign(d.begin() + 23, d.begin() + 39);
    entry.typeCode = kMultiFromFile;
    bank->bankType = 1;
  }
  entry.dumps.push_back(std::move(dump));
  entry.asRead = std::move(asRead);
  if (sound) entry.parseCategory(386);
  bank->kind = 0;
  bank->patches.push_back(std::move(entry));
  return pos;
}

void PatchLibrarian::loadFromChunk(const Bytes& data, int size, PatchFile* bank, int) {
  if (fillBank(data, size, bank)) createCategories(bank);
}

std::size_t PatchLibrarian::countEntries(const Bytes& data, bool* unconverted) {
  PatchFile scratch;
  readEntries(data, static_cast<int>(data.size()), &scratch);
  if (unconverted) *unconverted = scratch.unconverted;
  return scratch.patches.size();
}

bool PatchLibrarian::fillBank(const Bytes& data, int size, PatchFile* bank) {
  if (!readEntries(data, size, bank)) return false;
  checkBankSizeAndAddData(bank);
  return true;
}

bool PatchLibrarian::readEntries(const Bytes& data, int size, PatchFile* bank) {
  // A file of more entries than a split may write is read no further than
  // that: it is not split, and its reading costs no more than this.
  const size_t limit = maxSplitEntries;
  if (!bank || size < 15 || static_cast<size_t>(size) > data.size()) return false;
  const bool smf = std::memcmp(data.data(), kSmfHead, sizeof(kSmfHead)) == 0;
  const Bytes* image = &data;
  Bytes cut;
  if (smf) {
    // A dump sent in packets is one message again before it is scanned. A
    // file cut short keeps what was read of it; a dump the cut goes into is
    // then not whole, and names the file as each such dump does. A cut after
    // the last whole dump (in the track's end) costs no dump, and is no cut
    // dump; the file is named all the same, as a save would mend it.
    SmfReading reading;
    cut = joinedSmfSysEx(data, static_cast<size_t>(size), &reading);
    image = &cut;
    if (reading.cut) bank->fileCutShort = true;
  } else if (static_cast<size_t>(size) < data.size()) {
    cut.assign(data.begin(), data.begin() + size);
    image = &cut;
  }
  int pos = 0;
  int wrap = 99;
  if (!smf) {
    const bool header = data[1] == 0x3E && data[2] == 0x10 && data[3] < 0x80 && (data[4] == 0x10 || data[4] == 0x11);
    wrap = header ? 99 : 127;
  }
  int slot = 0;
  int last = smf ? readMIDIMessage(*image, pos, bank, 0, slot) : readSysexMessage(*image, pos, bank, 0, slot);
  while (last >= 1) {
    if (bank->patches.size() > limit) return false;
    if (!bank->patches.empty()) ++slot;
    if (slot > wrap) slot = 0;
    last = smf ? readMIDIMessage(*image, pos, bank, 0, slot) : readSysexMessage(*image, pos, bank, 0, slot);
  }
  return bank->patches.size() <= limit;
}
