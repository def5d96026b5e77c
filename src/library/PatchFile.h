// One bank of the library: 100 entries once loaded from or written to a file,
// 1 to 100 for the generated category and search banks.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FileStamp.h"
#include "LibrarianPatch.h"

constexpr int kPatchesPerBank = 100;

struct PatchFile {
  int bankType = 0;  // 0 sounds, 1 multis
  int kind = 0;
  std::vector<LibrarianPatch> patches;
  std::string fileName;
  std::string folderName;
  std::vector<std::string> directories;
  // Part of a load every instance of the process shares: never changed
  // (PatchLibrarian::bankForEdit changes a copy).
  bool shared = false;
  // The file's stamp as it was when the bank was read from it or last
  // written; a save that finds another one asks before it replaces the file.
  std::optional<userfiles::FileStamp> stamp;

  // A copy with bankType, kind (0, 1, other values 2), every entry and the
  // file name; folder name and directories stay empty. A bankType other
  // than 0 or 1 gives 0 and kind 0.
  std::unique_ptr<PatchFile> clone() const;
  // Appends empty entries or drops those beyond the count.
  void holdAt(size_t count) { patches.resize(count); }
};
