// One bank of the library: 100 entries once loaded.
#pragma once

#include <string>
#include <vector>

#include "LibrarianPatch.h"

constexpr int kPatchesPerBank = 100;

struct PatchFile {
  int bankType = 0;  // 0 sounds, 1 multis
  int kind = 0;
  std::vector<LibrarianPatch> patches;
  std::string fileName;
  std::string folderName;
  std::vector<std::string> directories;
};
