// The category name list, merged while banks are read, and the category
// banks generated from it at the end of a load. Categories count up to their
// first zero byte; the list ignores letter case, the banks do not.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "ListedEdits.h"
#include "PatchLibrarian.h"
#include "SharedLibraryLoads.h"

namespace {
// Appends to names the categories of the banks' entries it lacks, in bank
// and slot order, after "Init" when it is empty. A set, not a list: a file of
// many odd categories must not cost time in the square of their number.
template <typename Banks>
void mergeCategoryNames(const Banks& banks, std::vector<std::string>& names) {
  if (names.empty()) names.push_back("Init");
  std::unordered_set<std::string> working;
  for (const auto& name : names) working.insert(asciiLower(name));
  for (const auto& bank : banks) {
    for (const auto& entry : bank->patches) {
      const std::string category = untilNul(entry.category);
      if (!working.insert(asciiLower(category)).second) continue;
      names.push_back(category);
    }
  }
}

// The banks of every category the names list, of the sounds in the sound
// banks, appended to banks and hung into tree. Touches nothing else: the
// library's lists are built apart and put in whole.
void appendCategoryBanks(const BankList& sounds, const std::vector<std::string>& names, BankList& banks,
                         FolderTree& tree) {
  if (names.size() < 2) return;
  // The sounds of every category in one pass, in bank and slot order.
  struct Source {
    const std::shared_ptr<PatchFile>* bank;
    std::uint32_t slot;
  };
  std::unordered_map<std::string, std::vector<Source>> byCategory;
  std::string category;
  for (const auto& bank : sounds) {
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
  for (auto& node : tree)
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
      banks.push_back(generated);

      if (child) {
        child->files.push_back(generated.get());
      } else {
        SubFolderFiles sub;
        sub.name = cat;
        sub.files.push_back(generated.get());
        tree.push_back(std::make_unique<FolderFiles>(generated->fileName, sub));
        child = &tree.back()->subFolders.back();
      }
    }
  }
}
}  // namespace

void PatchLibrarian::createCategories(PatchFile* bank) {
  if (!bank || bank->patches.empty()) return;
  auto guard = lock();
  mergeCategoryNames(std::vector<PatchFile*>{bank}, mContents.categoryNames);
}

BankList PatchLibrarian::soundBanksToRead(BankList* listed) const {
  auto guard = lock();
  if (listed) *listed = mContents.soundBanks;
  BankList banks;
  banks.reserve(mContents.soundBanks.size());
  // A bank of a shared load never changes; one of this library's own may
  // change under the next edit, so the reader gets a copy of it as it is.
  for (const auto& bank : mContents.soundBanks) {
    if (bank->shared) {
      banks.push_back(bank);
      continue;
    }
    auto copy = std::make_shared<PatchFile>();
    copy->bankType = bank->bankType;
    copy->patches = bank->patches;
    copy->fileName = bank->fileName;
    banks.push_back(std::move(copy));
  }
  return banks;
}

LibraryContents::ListedFrom PatchLibrarian::categoriesSource() const {
  auto guard = lock();
  if (!mContents.categoriesFrom.listed.empty() || !mLoad) return mContents.categoriesFrom;
  // The load made its categories from its own banks, which never change.
  if (mContents.categoryBanks != mLoad->contents.categoryBanks) return {};
  return {mLoad->contents.soundBanks, mLoad->contents.soundBanks};
}

bool PatchLibrarian::refreshCategories() {
  bool putIn = false;
  // Thousands of banks take a while: all of it runs beside the host's
  // calls, and the lock is held only to take the banks and to put the new
  // lists in. The old ones go after it.
  runBesideHost([&] {
    BankList listed, banks, takenCategories, takenSearches;
    FolderTree categoryTree, searchTree;
    LibraryContents::ListedFrom categoriesFrom, searchFrom;
    std::vector<std::string> names;
    std::uint64_t ticket = 0;
    {
      auto guard = lock();
      banks = soundBanksToRead(&listed);
      names = mContents.categoryNames;
      categoriesFrom = categoriesSource();
      searchFrom = mContents.searchFrom;
      takenCategories = mContents.categoryBanks;
      takenSearches = mContents.searchBanks;
      categoryTree = copyTree(mContents.categoryTree);
      searchTree = copyTree(mContents.searchTree);
      ticket = ++mCategoryBuilds.started;
    }
    const size_t namesBefore = names.size();
    // A sound that changed its category moves others in their banks: all
    // are built again. An edit within a category makes its sound's entries
    // anew, in their places.
    BankList categories = takenCategories, searches = takenSearches;
    const BankEdits edits = editsSince(categoriesFrom, listed, banks);
    if (edits.unmapped || edits.moved) {
      mergeCategoryNames(banks, names);
      categories.clear();
      categoryTree.clear();
      appendCategoryBanks(banks, names, categories, categoryTree);
      categoriesFrom = {listed, banks};
    } else {
      relist(categories, categoryTree, categoriesFrom, banks, edits.edited);
      categoriesFrom = readAfter(std::move(categoriesFrom), listed, banks, edits.edited);
    }
    // The search results keep their sounds; an edited one is listed as it
    // is now.
    const BankEdits found = editsSince(searchFrom, listed, banks);
    if (found.unmapped) {
      searchFrom = {};
    } else {
      relist(searches, searchTree, searchFrom, banks, found.edited);
      searchFrom = readAfter(std::move(searchFrom), listed, banks, found.edited);
    }
    if (hooks.listsBuilt) hooks.listsBuilt();
    auto guard = lock();
    // A reload, a bank taken for an edit, a search, or a later build put in
    // since the banks were taken: these lists would hide what is there now.
    if (mContents.soundBanks != listed || mContents.categoryNames.size() != namesBefore ||
        ticket < mCategoryBuilds.shown || mContents.categoryBanks != takenCategories ||
        mContents.searchBanks != takenSearches)
      return;
    mCategoryBuilds.shown = ticket;
    // Readers that hold a category bank keep it; the lists are new.
    std::swap(mContents.categoryNames, names);
    std::swap(mContents.categoryBanks, categories);
    std::swap(mContents.categoryTree, categoryTree);
    std::swap(mContents.categoriesFrom, categoriesFrom);
    std::swap(mContents.searchBanks, searches);
    std::swap(mContents.searchTree, searchTree);
    std::swap(mContents.searchFrom, searchFrom);
    putIn = true;
  });
  return putIn;
}

void PatchLibrarian::createNewCategoryPatchFiles() {
  auto guard = lock();
  // Made from this library's banks themselves: an edit of one cannot be
  // told from what they read.
  mContents.categoriesFrom = {};
  appendCategoryBanks(mContents.soundBanks, mContents.categoryNames, mContents.categoryBanks, mContents.categoryTree);
}

void PatchLibrarian::runBesideHost(const std::function<void()>& work) const {
  if (hooks.fileWork) hooks.fileWork(work);
  else work();
}
