// Name search: every library sound whose name holds the text, byte for
// byte, copied into result banks of at most 100.
#include <string.h>

#include <algorithm>

#include "GeneratedEntry.h"
#include "PatchLibrarian.h"

void PatchLibrarian::createNewSearchPatchFiles(std::string text) {
  auto guard = lock();
  // The tree refers to the banks of the last search, which go now.
  mContents.searchTree.clear();
  mContents.searchBanks.clear();
  std::vector<const LibrarianPatch*> matches;
  const auto take = [&](const LibrarianPatch& entry) {
    if (!entry.dumps.empty() && entry.name.find(text) != std::string::npos) matches.push_back(&entry);
  };
  // The name index holds the names lower-cased: a place where the text
  // lower-cased is found is only a candidate, which the name itself decides.
  const std::string lowered = asciiLower(text);
  for (const auto& bank : mContents.soundBanks) {
    if (bank->bankType != 0 || bank->patches.empty()) continue;
    const std::string& index = bank->nameIndex;
    if (!bank->shared || index.size() != bank->patches.size() * kIndexedNameSize || text.empty()) {
      for (const auto& entry : bank->patches) take(entry);
      continue;
    }
    if (text.size() > kIndexedNameSize) continue;  // no indexed name is that long
    size_t from = 0;
    while (from < index.size()) {
      const void* hit = memmem(index.data() + from, index.size() - from, lowered.data(), lowered.size());
      if (!hit) break;
      const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - index.data());
      const size_t slot = at / kIndexedNameSize;
      if (at % kIndexedNameSize + lowered.size() > kIndexedNameSize) {
        from = at + 1;  // across two names
        continue;
      }
      take(bank->patches[slot]);
      from = (slot + 1) * kIndexedNameSize;
    }
  }
  for (size_t first = 0, number = 1; first < matches.size(); first += kPatchesPerBank, ++number) {
    auto generated = std::make_shared<PatchFile>();
    generated->fileName = "Search Results " + std::to_string(number);
    generated->folderName = "Patches";
    const size_t last = std::min(matches.size(), first + kPatchesPerBank);
    generated->patches.reserve(last - first);
    for (size_t k = first; k < last; ++k) generated->patches.push_back(generatedEntry(*matches[k], 2));
    mContents.searchBanks.push_back(generated);
    auto& tree = mContents.searchTree;
    if (!tree.empty() && tree.front()->name == "Patches") {
      tree.front()->files.push_back(generated.get());
    } else {
      auto node = std::make_unique<FolderFiles>();
      node->name = "Patches";
      node->files.push_back(generated.get());
      tree.push_back(std::move(node));
    }
  }
}
