#include "PatchFile.h"

#include "GeneratedEntry.h"

void ListedEntries::add(const std::shared_ptr<PatchFile>& bank, std::uint32_t slot) {
  entries.emplace_back(bank.get(), slot);
  if (holders.empty() || holders.back() != bank) holders.push_back(bank);
  fromShared = fromShared && bank->shared;
}

void PatchFile::fillListed() {
  if (!listed) return;
  std::call_once(listed->filled, [this] {
    patches.reserve(listed->entries.size());
    for (const auto& [bank, slot] : listed->entries)
      patches.push_back(slot < bank->patches.size() ? generatedEntry(bank->patches[slot], listed->dumpCount) : LibrarianPatch{});
  });
}

void PatchFile::indexNames() {
  nameIndex.clear();
  for (const auto& entry : patches)
    if (entry.name.size() > kIndexedNameSize) return;  // a name the index cannot hold: none
  nameIndex.assign(patches.size() * kIndexedNameSize, '\0');
  for (size_t i = 0; i < patches.size(); ++i) {
    const std::string& name = patches[i].name;
    for (size_t c = 0; c < name.size(); ++c) {
      const char ch = name[c];
      nameIndex[i * kIndexedNameSize + c] = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    }
  }
}

std::string PatchFile::pathIn(const std::string& libraryFolder) const {
  if (!outsidePath.empty()) return outsidePath;
  // The first directory is the library folder itself.
  std::string path = libraryFolder;
  for (size_t d = 1; d < directories.size(); ++d) path += "/" + directories[d];
  return path + "/" + fileName;
}

std::unique_ptr<PatchFile> PatchFile::clone() const {
  auto copy = std::make_unique<PatchFile>();
  if (bankType == 0 || bankType == 1) {
    copy->bankType = bankType;
    copy->kind = (kind == 0 || kind == 1) ? kind : 2;
  }
  copy->patches = patches;
  copy->fileName = fileName;
  return copy;
}
