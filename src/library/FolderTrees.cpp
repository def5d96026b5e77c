// Hanging banks into the browser's sound and multi folder trees: up to
// three levels, records matched by the name of the bank's own folder.
#include "PatchLibrarian.h"

FolderTree copyTree(const FolderTree& tree) {
  FolderTree copy;
  copy.reserve(tree.size());
  for (const auto& node : tree) copy.push_back(std::make_unique<FolderFiles>(*node));
  return copy;
}

void PatchLibrarian::createSingleFolderFilesStructure(PatchFile* bank, std::string) {
  auto guard = lock();
  hangIntoTree(mContents.soundTree, bank);
}

void PatchLibrarian::createMultiFolderFilesStructure(PatchFile* bank, std::string) {
  auto guard = lock();
  hangIntoTree(mContents.multiTree, bank);
}

void PatchLibrarian::hangIntoTree(FolderTree& tree, PatchFile* bank) {
  if (!bank) return;
  const auto& dirs = bank->directories;
  const size_t n = dirs.size();
  if (n < 1 || n > 3) return;
  const std::string& folder = bank->folderName;
  bool matched = false;
  for (auto& node : tree) {
    if (n == 1) {
      if (node->name == folder) {
        node->files.push_back(bank);
        matched = true;
      }
      continue;
    }
    for (auto& sub : node->subFolders) {
      if (n == 2) {
        if (sub.name == folder) {
          sub.files.push_back(bank);
          matched = true;
        }
        continue;
      }
      for (auto& sub2 : sub.subFolders) {
        if (sub2.name == folder) {
          sub2.files.push_back(bank);
          matched = true;
        }
      }
    }
  }
  if (matched) return;
  auto node = std::make_unique<FolderFiles>();
  if (n == 1) {
    node->name = dirs[0];
    node->files.push_back(bank);
  } else {
    SubFolderFiles sub;
    sub.name = dirs[1];
    if (n == 2) {
      sub.files.push_back(bank);
    } else {
      SubFolderFiles2 sub2;
      sub2.name = dirs[2];
      sub2.files.push_back(bank);
      sub.subFolders.push_back(std::move(sub2));
    }
    node->subFolders.push_back(std::move(sub));
  }
  tree.push_back(std::move(node));
}
