#include "PatchLibrarian.h"

std::vector<std::unique_ptr<PatchFile>>& PatchLibrarian::listFor(int dataType) {
  return dataType == 1 ? mMultiBanks : mSoundBanks;
}

const std::vector<std::unique_ptr<PatchFile>>& PatchLibrarian::listFor(int dataType) const {
  return dataType == 1 ? mMultiBanks : mSoundBanks;
}

bool PatchLibrarian::setSysexDatatoSelectedSlot(const LibrarianPatch* entry) {
  if (!entry) return false;
  std::lock_guard<std::mutex> lock(mBanksMutex);
  auto& list = listFor(librarianMode);
  const int bank = upperBank;
  const int slot = targetSlot;
  if (bank < 0 || bank >= static_cast<int>(list.size())) return false;
  auto& patches = list[static_cast<size_t>(bank)]->patches;
  if (slot < 0 || slot >= static_cast<int>(patches.size())) return false;
  patches[static_cast<size_t>(slot)] = *entry;
  return true;
}

LibrarianPatch PatchLibrarian::entryAt(int dataType, int bank, int slot) const {
  std::lock_guard<std::mutex> lock(mBanksMutex);
  const auto& list = listFor(dataType);
  if (bank < 0 || bank >= static_cast<int>(list.size())) return {};
  const auto& patches = list[static_cast<size_t>(bank)]->patches;
  if (slot < 0 || slot >= static_cast<int>(patches.size())) return {};
  return patches[static_cast<size_t>(slot)];
}

int PatchLibrarian::addBank(int dataType, const std::string& fileName) {
  auto file = std::make_unique<PatchFile>();
  file->bankType = dataType;
  file->fileName = fileName;
  file->patches.resize(kPatchesPerBank);
  std::lock_guard<std::mutex> lock(mBanksMutex);
  auto& list = listFor(dataType);
  list.push_back(std::move(file));
  return static_cast<int>(list.size()) - 1;
}
