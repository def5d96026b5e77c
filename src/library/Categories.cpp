// The category name list, merged while banks are read, and the category
// banks generated from it at the end of a load. Categories count up to their
// first zero byte; the list ignores letter case, the banks do not.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "PatchLibrarian.h"

void PatchLibrarian::createCategories(PatchFile* bank) {
  if (!bank || bank->patches.empty()) return;
  auto guard = lock();
  auto& names = mContents.categoryNames;
  if (names.empty()) names.push_back("Init");
  // A set, not a list: a file of many odd categories must not cost time in
  // the square of their number.
  std::unordered_set<std::string> working;
  for (const auto& name : names) working.insert(asciiLower(name));
  for (const auto& entry : bank->patches) {
    const std::string category = untilNul(entry.category);
    if (!working.insert(asciiLower(category)).second) continue;
    names.push_back(category);
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
  // The sounds of every category in one pass, in bank and slot order.
  struct Source {
    const std::shared_ptr<PatchFile>* bank;
    std::uint32_t slot;
  };
  std::unordered_map<std::string, std::vector<Source>> byCategory;
  std::string category;
  for (const auto& bank : mContents.soundBanks) {
    for (std::uint32_t slot = 0; slot < bank->patches.size(); ++slot) {
      const LibrarianPatch& entry = bank->patches[slot];
      if (entry.dumps.empty()) continue;
      category.assign(entry.category.c_str());  // up to the first zero byte
      byCategory[category].push_back({&bank, slot});
    }
  }
  // The children of the tree by name; a category's banks join the first
  // child named after it, else the node its first bank makes.
  std::unordered_map<std::string, SubFolderFiles*> children;
  for (auto& node : mContents.categoryTree)
    for (auto& sub : node->subFolders) children.emplace(sub.name, &sub);
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string& cat = names[i];
    const auto found = byCategory.find(cat);
    if (found == byCategory.end()) continue;
    const std::vector<Source>& matches = found->second;
    const auto existing = children.find(cat);
    SubFolderFiles* child = existing == children.end() ? nullptr : existing->second;
    for (size_t first = 0, number = 1; first < matches.size(); first += kPatchesPerBank, ++number) {
      auto generated = std::make_shared<PatchFile>();
      generated->fileName = cat + " " + std::to_string(number);
      generated->folderName = cat;
      const size_t last = std::min(matches.size(), first + kPatchesPerBank);
      // The bank lists the sounds; its entries are made when it is read.
      auto listed = std::make_shared<ListedEntries>();
      listed->entries.reserve(last - first);
      for (size_t k = first; k < last; ++k) listed->add(*matches[k].bank, matches[k].slot);
      const bool fillNow = !listed->fromShared;
      generated->listed = std::move(listed);
      if (fillNow) generated->fillListed();
      mContents.categoryBanks.push_back(generated);

      if (child) {
        child->files.push_back(generated.get());
      } else {
        SubFolderFiles sub;
        sub.name = cat;
        sub.files.push_back(generated.get());
        mContents.categoryTree.push_back(std::make_unique<FolderFiles>(generated->fileName, sub));
        child = &mContents.categoryTree.back()->subFolders.back();
      }
    }
  }
}
