// A bank file of more than 100 entries becomes bank files of 100 sounds and
// files of 100 multis next to it, in its own format.
#include <algorithm>

#include "BankFileFormat.h"
#include "LibraryFiles.h"
#include "PatchLibrarian.h"

void PatchLibrarian::createNewPatchFile(PatchFile* source, std::string newFolderName, std::string sourceFileName,
                                        std::string extension, std::string sourcePath, int, int pass,
                                        bool standardMidiFile, bool multis, bool) {
  if (!source) return;
  const std::string stem = sourceFileName.substr(0, sourceFileName.find_last_of('.'));
  const unsigned char command = multis ? 0x11 : 0x10;
  std::vector<const LibrarianPatch*> collected;
  for (const auto& entry : source->patches) {
    if (!entry.dumps.empty() && entry.dumps.front().bytes.size() > 4 && entry.dumps.front().bytes[4] == command)
      collected.push_back(&entry);
  }
  const int count = static_cast<int>(collected.size());
  const int start = (pass + 1) * kPatchesPerBank;
  const int rest = count - start;
  splitPassCount = count / kPatchesPerBank + (!multis && rest >= 1 && rest <= 99 ? 1 : 0);
  if (count <= start) return;

  auto bank = std::make_shared<PatchFile>();
  for (int k = start; k < start + std::min(rest, kPatchesPerBank); ++k) {
    LibrarianPatch copy = *collected[static_cast<size_t>(k)];
    copy.typeCode = multis ? kMultiFromFile : kSoundFromFile;
    bank->patches.push_back(std::move(copy));
  }
  bank->bankType = multis ? 1 : 0;
  bank->kind = 0;
  // Every hundred multis gets a name of its own, so no pass replaces the
  // file of another.
  std::string& name = bank->fileName;
  name = stem;
  name += multis ? " Multis" : " Singles";
  if (!multis || pass >= 0) {
    name += ' ';
    name += std::to_string(pass + 2);
  }
  name += '.';
  name += extension;
  bank->folderName = newFolderName;
  fillUncompletedBankFiles(bank.get());
  bank->holdAt(kPatchesPerBank);
  {
    auto guard = lock();
    listFor(multis ? kMultiList : kSoundList).push_back(bank);
  }
  const size_t slash = sourcePath.find_last_of("/\\");
  const std::string path = (slash == std::string::npos ? std::string() : sourcePath.substr(0, slash + 1)) + bank->fileName;
  if (!writeFileAtomically(path, writeBankImage(*bank, standardMidiFile, multis))) {
    mSplitWritesFailed = true;
    log("PATCH LIBRARIAN: could not write file " + path);
  }
}
