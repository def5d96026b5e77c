#include "PatchLibrarian.h"

#include <cstring>

BankList& PatchLibrarian::listFor(int list) {
  switch (list) {
    case kMultiList: return mContents.multiBanks;
    case kCategoryList: return mContents.categoryBanks;
    case kSearchList: return mContents.searchBanks;
    default: return mContents.soundBanks;
  }
}

const BankList* PatchLibrarian::listOf(int list) const {
  switch (list) {
    case kSoundList: return &mContents.soundBanks;
    case kMultiList: return &mContents.multiBanks;
    case kCategoryList: return &mContents.categoryBanks;
    case kSearchList: return &mContents.searchBanks;
    default: return nullptr;
  }
}

std::shared_ptr<PatchFile> PatchLibrarian::bankAt(int list, int index) const {
  auto bank = bankHeaderAt(list, index);
  if (bank) bank->fillListed();
  return bank;
}

std::shared_ptr<PatchFile> PatchLibrarian::bankHeaderAt(int list, int index) const {
  auto guard = lock();
  const BankList* banks = listOf(list);
  if (!banks || index < 0 || index >= static_cast<int>(banks->size())) return nullptr;
  return (*banks)[static_cast<size_t>(index)];
}

int PatchLibrarian::bankCount(int list) const {
  auto guard = lock();
  const BankList* banks = listOf(list);
  return banks ? static_cast<int>(banks->size()) : 0;
}

std::shared_ptr<PatchFile> PatchLibrarian::bankForEdit(int list, int index) {
  auto guard = lock();
  if (!listOf(list) || index < 0 || index >= static_cast<int>(listFor(list).size())) return nullptr;
  std::shared_ptr<PatchFile>& bank = listFor(list)[static_cast<size_t>(index)];
  bank->fillListed();
  if (bank->shared) {
    // The tree keeps pointing at the shared bank, which has the same names
    // and stays alive with the load.
    auto copy = std::make_shared<PatchFile>(*bank);
    copy->shared = false;
    copy->source = bank;
    copy->listed = nullptr;
    copy->nameIndex.clear();  // its names change from now on
    bank = std::move(copy);
  }
  return bank;
}

std::shared_ptr<PatchFile> PatchLibrarian::selectedBank() {
  const int mode = librarianMode;
  if (mode != 0 && mode != 1) return nullptr;
  return bankForEdit(mode, upperBank);
}

bool PatchLibrarian::setSysexDatatoSelectedSlot(const LibrarianPatch* entry, int slot) {
  if (!entry) return false;
  LibrarianPatch copy = *entry;
  auto guard = lock();
  const auto bank = selectedBank();
  if (!bank) return false;
  bank->holdAt(kPatchesPerBank);
  if (slot < 0 || slot >= kPatchesPerBank) return false;
  bank->patches[static_cast<size_t>(slot)] = std::move(copy);
  return true;
}

LibrarianPatch PatchLibrarian::entryAt(int dataType, int bank, int slot) const {
  auto guard = lock();
  const auto file = bankAt(dataType, bank);
  if (!file || slot < 0 || slot >= static_cast<int>(file->patches.size())) return {};
  return file->patches[static_cast<size_t>(slot)];
}

int PatchLibrarian::addBank(int dataType, const std::string& fileName) {
  auto file = std::make_shared<PatchFile>();
  file->bankType = dataType == 1 ? 1 : 0;
  file->fileName = fileName;
  file->holdAt(kPatchesPerBank);
  auto guard = lock();
  auto& list = listFor(dataType == 1 ? kMultiList : kSoundList);
  list.push_back(std::move(file));
  return static_cast<int>(list.size()) - 1;
}

int PatchLibrarian::addBankInLibraryFolder(int dataType, const std::string& fileName) {
  auto guard = lock();
  const int index = addBank(dataType, fileName);
  const auto bank = bankAt(dataType == 1 ? kMultiList : kSoundList, index);
  // The library folder itself is the first and only directory.
  bank->folderName = "Patches";
  bank->directories = {"Patches"};
  hangIntoTree(dataType == 1 ? mContents.multiTree : mContents.soundTree, bank.get());
  return index;
}

void PatchLibrarian::clearDataStructures(int tree) {
  auto guard = lock();
  switch (tree) {
    case 0: mContents.soundTree.clear(); break;
    case 1: mContents.multiTree.clear(); break;
    case 2: mContents.categoryTree.clear(); break;
    case 3: mContents.searchTree.clear(); break;
    default: break;
  }
}

void PatchLibrarian::log(const std::string& line) const {
  if (hooks.debugLog) hooks.debugLog(line);
}

void removeCharsFromString(std::string& text, const char* chars) {
  if (!chars) return;
  for (const char* c = chars; *c; ++c) std::erase(text, *c);
}
