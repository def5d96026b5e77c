#include "ListedEdits.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// Whether the category banks list two entries alike: both sounds or
// neither, of one category (up to its first zero byte, as they compare).
bool listedAlike(const LibrarianPatch& a, const LibrarianPatch& b) {
  return a.dumps.empty() == b.dumps.empty() && std::strcmp(a.category.c_str(), b.category.c_str()) == 0;
}

// Whether the generated banks make the same entry of two: the first two
// dumps and the bytes read are what they copy.
bool madeAlike(const LibrarianPatch& a, const LibrarianPatch& b) {
  const size_t dumps = std::min<size_t>(a.dumps.size(), 2);
  if (dumps != std::min<size_t>(b.dumps.size(), 2)) return false;
  for (size_t d = 0; d < dumps; ++d)
    if (a.dumps[d].bytes != b.dumps[d].bytes) return false;
  return a.asRead == b.asRead;
}

using Replacements = std::vector<std::pair<const PatchFile*, std::shared_ptr<PatchFile>>>;

const std::shared_ptr<PatchFile>* replacementOf(const Replacements& replacements, const PatchFile* bank) {
  const auto at = std::lower_bound(replacements.begin(), replacements.end(), bank,
                                   [](const auto& entry, const PatchFile* key) { return entry.first < key; });
  return at != replacements.end() && at->first == bank ? &at->second : nullptr;
}

// The bank listing the same sounds, those of replaced banks from their
// replacements.
std::shared_ptr<PatchFile> relisted(const PatchFile& bank, const Replacements& replacements) {
  const ListedEntries& before = *bank.listed;
  auto sounds = std::make_shared<ListedEntries>();
  sounds->dumpCount = before.dumpCount;
  sounds->entries = before.entries;
  for (auto& entry : sounds->entries)
    if (const auto* now = replacementOf(replacements, entry.first)) entry.first = now->get();
  sounds->holders.reserve(before.holders.size());
  for (const auto& holder : before.holders) {
    const auto* now = replacementOf(replacements, holder.get());
    sounds->holders.push_back(now ? *now : holder);
    sounds->fromShared = sounds->fromShared && sounds->holders.back()->shared;
  }
  auto made = std::make_shared<PatchFile>();
  made->bankType = bank.bankType;
  made->kind = bank.kind;
  made->fileName = bank.fileName;
  made->folderName = bank.folderName;
  made->directories = bank.directories;
  const bool fillNow = !sounds->fromShared;
  made->listed = std::move(sounds);
  if (fillNow) made->fillListed();
  return made;
}

void renameFiles(std::vector<PatchFile*>& files, const std::vector<std::pair<PatchFile*, PatchFile*>>& renamed) {
  for (PatchFile*& file : files) {
    const auto at = std::lower_bound(renamed.begin(), renamed.end(), file,
                                     [](const auto& entry, const PatchFile* key) { return entry.first < key; });
    if (at != renamed.end() && at->first == file) file = at->second;
  }
}
}  // namespace

BankEdits editsSince(const LibraryContents::ListedFrom& from, const BankList& listed, const BankList& read) {
  BankEdits edits;
  if (from.listed.size() != listed.size() || from.read.size() != listed.size() || read.size() != listed.size()) {
    edits.unmapped = true;
    return edits;
  }
  for (size_t i = 0; i < listed.size(); ++i) {
    // A bank of a load never changes.
    if (listed[i] == from.listed[i] && listed[i]->shared) continue;
    const PatchFile& before = *from.read[i];
    const PatchFile& now = *read[i];
    if (&before == &now) {
      if (now.shared) continue;
      edits.unmapped = true;
      return edits;
    }
    bool edited = false, moved = before.patches.size() != now.patches.size();
    for (size_t slot = 0; !moved && slot < now.patches.size(); ++slot) {
      const LibrarianPatch& a = before.patches[slot];
      const LibrarianPatch& b = now.patches[slot];
      moved = !listedAlike(a, b);
      edited = edited || moved || !madeAlike(a, b);
    }
    edits.moved = edits.moved || moved;
    if (edited || moved) edits.edited.push_back(i);
  }
  return edits;
}

bool relist(BankList& banks, FolderTree& tree, const LibraryContents::ListedFrom& from, const BankList& read,
            const std::vector<size_t>& edited) {
  if (edited.empty()) return false;
  // Every sound of an edited bank is listed from the bank as read now: its
  // unedited sounds are alike in both.
  Replacements replacements;
  for (size_t i : edited) replacements.emplace_back(from.read[i].get(), read[i]);
  std::sort(replacements.begin(), replacements.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::pair<PatchFile*, PatchFile*>> renamed;
  for (auto& bank : banks) {
    const ListedEntries* sounds = bank->listed.get();
    if (!sounds || std::none_of(sounds->holders.begin(), sounds->holders.end(), [&](const auto& holder) {
          return replacementOf(replacements, holder.get()) != nullptr;
        }))
      continue;
    auto made = relisted(*bank, replacements);
    renamed.emplace_back(bank.get(), made.get());
    bank = std::move(made);
  }
  if (renamed.empty()) return false;
  std::sort(renamed.begin(), renamed.end());
  for (auto& node : tree) {
    renameFiles(node->files, renamed);
    for (SubFolderFiles& second : node->subFolders) {
      renameFiles(second.files, renamed);
      for (SubFolderFiles2& third : second.subFolders) renameFiles(third.files, renamed);
    }
  }
  return true;
}

LibraryContents::ListedFrom readAfter(LibraryContents::ListedFrom from, const BankList& listed, const BankList& read,
                                      const std::vector<size_t>& edited) {
  from.listed = listed;
  for (size_t i : edited) from.read[i] = read[i];
  return from;
}
