// A bank file's bytes as the library reads them. Whatever the file holds,
// a bank read from it and written back in either format reads back with the
// same entries: no dump is lost or cut, and no checksum changes.
#include <algorithm>

#include "BankFileFormat.h"
#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "PatchLibrarian.h"

namespace fuzz {
namespace {
// A dump the formats carry whole: one end byte, at its end; read again, it
// is not cut short.
bool carriedWhole(const Bytes& dump) {
  return dump.size() >= 7 && dump.front() == 0xF0 && dump.back() == 0xF7 &&
         std::find(dump.begin() + 1, dump.end() - 1, 0xF7) == dump.end() - 1;
}

PatchFile readBank(const Bytes& image) {
  PatchLibrarian library;
  PatchFile bank;
  library.loadFromChunk(image, static_cast<int>(image.size()), &bank);
  return bank;
}

// The first n entries of read hold the dumps of written; apart from the
// slot number in byte 5 and the checksum over it, which every read gives
// afresh, when exact is false.
void expectSameEntries(const PatchFile& written, const PatchFile& read, size_t n, bool exact) {
  FUZZ_CHECK(read.patches.size() >= n);
  for (size_t i = 0; i < n; ++i) {
    const Bytes& a = written.patches[i].dumps.at(0).bytes;
    const Bytes& b = read.patches[i].dumps.at(0).bytes;
    FUZZ_CHECK(a.size() == b.size());
    const size_t checksumAt = a[4] == 0x10 ? 390 : 391;
    for (size_t k = 0; k < a.size(); ++k) {
      if (exact || (k != 5 && k != checksumAt)) FUZZ_CHECK(a[k] == b[k]);
    }
  }
}
}  // namespace

int bankMemory(const uint8_t* data, size_t size) {
  const Bytes image(data, data + size);
  PatchFile bank = readBank(image);
  for (const auto& entry : bank.patches) {
    FUZZ_CHECK(entry.dumps.size() == 1);
    const Bytes& dump = entry.dumps[0].bytes;
    FUZZ_CHECK(dump.size() >= 392 && dump.front() == 0xF0 && dump.back() == 0xF7);
  }
  for (const auto& entry : bank.patches) FUZZ_CHECK(carriedWhole(entry.dumps[0].bytes));
  if (bank.patches.empty()) return 0;
  // The entries read from the file; those that fill the bank up follow them.
  size_t n = 0;
  while (n < std::min<size_t>(bank.patches.size(), kPatchesPerBank) &&
         (bank.patches[n].typeCode == kSoundFromFile || bank.patches[n].typeCode == kMultiFromFile))
    ++n;
  const bool multi = bank.bankType == 1;
  for (const bool midi : {false, true}) {
    // Written and read: the same dumps. Written and read again: the same
    // bytes; and once the filling entries have their checksums too, a bank
    // saved once more does not change at all.
    const PatchFile once = readBank(writeBankImage(bank, midi, multi));
    expectSameEntries(bank, once, n, false);
    const PatchFile twice = readBank(writeBankImage(once, midi, multi));
    expectSameEntries(once, twice, n, true);
    const Bytes twiceImage = writeBankImage(twice, midi, multi);
    FUZZ_CHECK(writeBankImage(readBank(twiceImage), midi, multi) == twiceImage);
  }
  return 0;
}

}  // namespace fuzz
