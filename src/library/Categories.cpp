// The category name list, merged while banks are read, and the category
// banks generated from it at the end of a load. Categories count up to their
// first zero byte; the list ignores letter case, the banks do not.
#include <algorithm>

#include "GeneratedEntry.h"
#include "PatchLibrarian.h"

void PatchLibrarian::createCategories(PatchFile* bank) {
  if (!bank || bank->patches.empty()) return;
  auto guard = lock();
  auto& names = mContents.categoryNames;
  if (names.empty()) names.push_back("Init");
  std::vector<std::string> working;
  working.reserve(names.size());
  for (const auto& name : names) working.push_back(asciiLower(name));
  for (const auto& entry : bank->patches) {
    const std::string category = untilNul(entry.category);
    const std::string lower = asciiLower(category);
    if (std::find(working.begin(), working.end(), lower) != working.end()) continue;
    names.push_back(category);
    working.push_back(lower);
  }
}

void PatchLibrarian::refreshCategories() {
  auto guard = lock();
  for (const auto& bank : mContents.soundBanks) createCategories(bank.get());
  // Readers that hold a category bank keep it; the lists are new.
  clearDataStructures(2);
  mContents.categoryBanks.clear();
  createNewCategoryPatchFiles();
}

void PatchLibrarian::createNewCategoryPatchFiles() {
  auto guard = lock();
  const auto& names = mContents.categoryNames;
  if (names.size() < 2) return;
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string& cat = names[i];
    std::vector<const LibrarianPatch*> matches;
    for (const auto& bank : mContents.soundBanks) {
      for (const auto& entry : bank->patches)
        if (!entry.dumps.empty() && untilNul(entry.category) == cat) matches.push_back(&entry);
    }
    for (size_t first = 0, number = 1; first < matches.size(); first += kPatchesPerBank, ++number) {
      auto generated = std::make_shared<PatchFile>();
      generated->fileName = cat + " " + std::to_string(number);
      generated->folderName = cat;
      const size_t last = std::min(matches.size(), first + kPatchesPerBank);
      generated->patches.reserve(last - first);
      for (size_t k = first; k < last; ++k) generated->patches.push_back(generatedEntry(*matches[k], 1));
      mContents.categoryBanks.push_back(generated);

      bool hung = false;
      for (auto& node : mContents.categoryTree) {
        for (auto& sub : node->subFolders) {
          if (sub.name == cat) {
            sub.files.push_back(generated.get());
            hung = true;
          }
        }
      }
      if (!hung) {
        SubFolderFiles sub;
        sub.name = cat;
        sub.files.push_back(generated.get());
        mContents.categoryTree.push_back(std::make_unique<FolderFiles>(generated->fileName, sub));
      }
    }
  }
}
