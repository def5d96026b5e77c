// Every bank holds 100 entries, the size of a bank in the instrument: short
// banks are filled with init sounds or init multis.
#include "InitPatches.h"
#include "PatchLibrarian.h"

namespace {
LibrarianPatch initMultiEntry() {
  LibrarianPatch entry;
  entry.dumps.push_back({Bytes(initMultiData.begin(), initMultiData.end())});
  entry.name.assign(initMultiData.begin() + 23, initMultiData.begin() + 39);
  entry.typeCode = kInitMultiFill;
  return entry;
}

LibrarianPatch initSoundEntry() {
  LibrarianPatch entry;
  entry.dumps.push_back({Bytes(initPatchData.begin(), initPatchData.end())});
  entry.name.assign(initPatchData.begin() + 370, initPatchData.begin() + 386);
  entry.parseCategory(386);
  entry.typeCode = kInitSoundFill;
  return entry;
}
}  // namespace

void PatchLibrarian::checkBankSizeAndAddData(PatchFile* bank) {
  if (!bank || bank->patches.empty()) return;
  if (bank->bankType != 0 && bank->bankType != 1) return;
  auto& patches = bank->patches;
  if (bank->bankType == 1) {
    while (patches.size() < kPatchesPerBank) patches.push_back(initMultiEntry());
    return;
  }
  while (patches.size() < kPatchesPerBank) {
    const int k = static_cast<int>(patches.size()) + 1;
    Bytes dump(initPatchData.begin(), initPatchData.begin() + 370);
    // "Init", nine blanks, the slot counted from 1 in three digits.
    char name[17] = "Init         000";
    name[13] = static_cast<char>('0' + k / 100 % 10);
    name[14] = static_cast<char>('0' + k / 10 % 10);
    name[15] = static_cast<char>('0' + k % 10);
    dump.insert(dump.end(), name, name + 16);
    dump.insert(dump.end(), {0x00, 0x00, 0x00, 0x00, 0x7F, 0xF7});
    LibrarianPatch entry;
    entry.name.assign(name, 16);
    entry.dumps.push_back({std::move(dump)});
    entry.parseCategory(386);
    entry.typeCode = kInitSoundFill;
    patches.push_back(std::move(entry));
  }
}

void PatchLibrarian::fillUncompletedBankFiles(PatchFile* bank) {
  if (!bank || bank->patches.empty()) return;
  const auto& first = bank->patches.front();
  const bool sound = !first.dumps.empty() && first.dumps.front().bytes.size() > 4 && first.dumps.front().bytes[4] == 0x10;
  auto& patches = bank->patches;
  while (patches.size() < kPatchesPerBank) {
    if (!sound) {
      patches.push_back(initMultiEntry());
      continue;
    }
    patches.push_back(initSoundEntry());
  }
}

void PatchLibrarian::padForSaving(PatchFile& bank) {
  bank.holdAt(kPatchesPerBank);
  // A bank of received sounds is a sound bank whatever slot came first.
  const bool multis = bank.bankType == 1;
  for (auto& entry : bank.patches)
    if (entry.dumps.empty()) entry = multis ? initMultiEntry() : initSoundEntry();
}
