// The three levels of a browser folder tree. The records refer to banks
// that the library owns.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct PatchFile;

struct SubFolderFiles2 {
  std::string name;
  std::vector<PatchFile*> files;
};

struct SubFolderFiles {
  std::string name;
  std::vector<SubFolderFiles2> subFolders;
  std::vector<PatchFile*> files;
};

struct FolderFiles {
  FolderFiles() = default;
  FolderFiles(std::string& folderName, SubFolderFiles& sub) : name(folderName) { subFolders.push_back(sub); }

  std::string name;
  std::vector<SubFolderFiles> subFolders;
  std::vector<PatchFile*> files;
};

using FolderTree = std::vector<std::unique_ptr<FolderFiles>>;

// A tree of the same nodes, referring to the same banks.
FolderTree copyTree(const FolderTree& tree);
