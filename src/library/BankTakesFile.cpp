// A bank that takes another file (Save As, or a save that kept both files)
// leaves the file it stood for listed: until the next load the library lists
// both files, each once, each with what it holds.
#include <algorithm>

#include "PatchLibrarian.h"
#include "UserFiles.h"

namespace {
// What names a bank's file in the lists and the trees.
struct FileNames {
  std::string file, folder, outside;
  std::vector<std::string> directories;

  static FileNames of(const PatchFile& bank) {
    return {bank.fileName, bank.folderName, bank.outsidePath, bank.directories};
  }
  bool operator==(const FileNames&) const = default;
};

// Every record of the tree that refers to a bank the match picks refers to
// `to` instead.
template <typename Match>
void repoint(FolderTree& tree, const Match& match, PatchFile* to) {
  const auto follow = [&](std::vector<PatchFile*>& files) {
    for (PatchFile*& file : files)
      if (file && match(*file)) file = to;
  };
  for (const auto& top : tree) {
    follow(top->files);
    for (SubFolderFiles& sub : top->subFolders) {
      follow(sub.files);
      for (SubFolderFiles2& below : sub.subFolders) follow(below.files);
    }
  }
}

void unhang(FolderTree& tree, const PatchFile* bank) {
  const auto drop = [bank](std::vector<PatchFile*>& files) { std::erase(files, bank); };
  for (const auto& top : tree) {
    drop(top->files);
    for (SubFolderFiles& sub : top->subFolders) {
      drop(sub.files);
      for (SubFolderFiles2& below : sub.subFolders) drop(below.files);
    }
  }
}
}  // namespace

std::shared_ptr<PatchFile> PatchLibrarian::bankOnDisk(const std::string& path, int bankType) {
  if (path.empty()) return nullptr;
  const auto stamp = userfiles::StampOf(path);
  const auto data = userfiles::readWholeFile(path, maxBankFileSize);
  if (!stamp || !data) return nullptr;
  auto bank = std::make_shared<PatchFile>();
  bank->patches.reserve(kPatchesPerBank);
  // More than a bank would be split by a load, not listed as it is.
  if (!fillBank(*data, static_cast<int>(data->size()), bank.get()) || bank->patches.empty() ||
      bank->patches.size() > static_cast<size_t>(kPatchesPerBank) || bank->bankType != bankType)
    return nullptr;
  fillUncompletedBankFiles(bank.get());
  bank->holdAt(kPatchesPerBank);
  bank->indexNames();
  bank->stamp = stamp;
  bank->digest = userfiles::digestOf(*data);
  return bank;
}

void PatchLibrarian::bankTakesFile(const std::shared_ptr<PatchFile>& bank, const std::string& readPath,
                                   const std::string& written, const std::function<void(PatchFile&)>& take) {
  if (readPath == written) {
    auto guard = lock();
    take(*bank);
    return;
  }
  std::shared_ptr<PatchFile> fileRead;
  FileNames before;
  int bankType = 0;
  {
    auto guard = lock();
    fileRead = bank->source;
    before = FileNames::of(*bank);
    bankType = bank->bankType;
  }
  // Read off the lock: a file is only ever replaced whole.
  if (!fileRead && (fileRead = bankOnDisk(readPath, bankType))) {
    fileRead->fileName = before.file;
    fileRead->folderName = before.folder;
    fileRead->outsidePath = before.outside;
    fileRead->directories = before.directories;
  }
  auto guard = lock();
  take(*bank);
  bank->source.reset();
  const FileNames now = FileNames::of(*bank);
  if (now == before) return;
  const bool multi = bank->bankType == 1;
  BankList& list = listFor(multi ? kMultiList : kSoundList);
  FolderTree& tree = multi ? mContents.multiTree : mContents.soundTree;
  const auto at = std::find(list.begin(), list.end(), bank);
  if (at == list.end()) return;
  const auto index = static_cast<int>(at - list.begin());
  if (!fileRead) {
    // Nothing stands for the old names: the bank moves in its tree.
    unhang(tree, bank.get());
    hangIntoTree(tree, bank.get());
    return;
  }
  // The file read keeps the bank's place in the list and the tree.
  list[static_cast<size_t>(index)] = fileRead;
  repoint(tree, [&](const PatchFile& file) { return &file == bank.get() || FileNames::of(file) == before; },
          fileRead.get());
  // The file written takes the entry that lists it, its old bytes gone;
  // a file not listed yet becomes a new entry.
  const auto listed = std::find_if(list.begin(), list.end(), [&](const std::shared_ptr<PatchFile>& file) {
    return file && FileNames::of(*file) == now;
  });
  int position = static_cast<int>(list.size());
  if (listed != list.end()) {
    position = static_cast<int>(listed - list.begin());
    const PatchFile* old = listed->get();
    repoint(tree, [&](const PatchFile& file) { return &file == old || FileNames::of(file) == now; }, bank.get());
    *listed = bank;
  } else {
    list.push_back(bank);
    hangIntoTree(tree, bank.get());
  }
  // The upper pane stays on the bank, which names the file it saves to.
  if (librarianMode == (multi ? 1 : 0) && upperBank == index) upperBank = position;
}

int PatchLibrarian::listSavedOutside(const std::shared_ptr<PatchFile>& saved, int list) {
  if (!saved || (list != kSoundList && list != kMultiList)) return -1;
  std::string path;
  {
    auto guard = lock();
    path = saved->outsidePath;
  }
  if (path.empty()) return -1;
  // Read off the lock, as the reload that left it out reads.
  std::shared_ptr<PatchFile> bank = bankOnDisk(path, list == kMultiList ? 1 : 0);
  auto guard = lock();
  if (bank) {
    bank->fileName = saved->fileName;
    bank->folderName = saved->folderName;
    bank->outsidePath = saved->outsidePath;
    bank->directories = saved->directories;
  } else {
    bank = saved;
  }
  BankList& banks = listFor(list);
  for (std::size_t i = 0; i < banks.size(); ++i)
    if (banks[i] && banks[i]->outsidePath == path) {
      banks[i] = bank;
      return static_cast<int>(i);
    }
  banks.push_back(bank);
  return static_cast<int>(banks.size()) - 1;
}
