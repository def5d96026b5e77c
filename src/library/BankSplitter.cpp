// A bank file of more than 100 entries becomes bank files of 100 sounds and
// files of 100 multis next to it, in its own format. The entries of each
// kind are collected once, so a split costs time in proportion to its size;
// a new file never replaces a file that is there: it takes a free name.
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "BankFileFormat.h"
#include "FailureText.h"
#include "FileLock.h"
#include "PatchLibrarian.h"
#include "UserFiles.h"

namespace {
std::vector<const LibrarianPatch*> entriesOfKind(const PatchFile& source, bool multis) {
  const unsigned char command = multis ? 0x11 : 0x10;
  std::vector<const LibrarianPatch*> collected;
  for (const auto& entry : source.patches) {
    if (!entry.dumps.empty() && entry.dumps.front().bytes.size() > 4 && entry.dumps.front().bytes[4] == command)
      collected.push_back(&entry);
  }
  return collected;
}
}  // namespace

using userfiles::folderOf;
using userfiles::nameOf;

std::shared_ptr<PatchFile> PatchLibrarian::splitPass(const std::vector<const LibrarianPatch*>& collected, bool multis,
                                                     int pass, const std::string& stem, const std::string& extension,
                                                     const std::string& folderName, const std::string& sourcePath,
                                                     bool standardMidiFile, std::string* written) {
  const int count = static_cast<int>(collected.size());
  const int start = (pass + 1) * kPatchesPerBank;
  const int rest = count - start;
  splitPassCount = count / kPatchesPerBank + (!multis && rest >= 1 && rest <= 99 ? 1 : 0);
  if (count <= start) return nullptr;

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
  std::string suffix = multis ? " Multis" : " Singles";
  if (!multis || pass >= 0) {
    suffix += ' ';
    suffix += std::to_string(pass + 2);
  }
  suffix += '.';
  suffix += extension;
  // A long source name gives up the end of its stem, never the piece's
  // number, and leaves room for the " (n)" of a free name.
  constexpr std::size_t kFreeNameRoom = 6;
  const std::size_t room = userfiles::kMaxNameBytes - kFreeNameRoom;
  const std::string name = userfiles::cutToBytes(stem, suffix.size() < room ? room - suffix.size() : 0) + suffix;
  bank->folderName = folderName;
  fillUncompletedBankFiles(bank.get());
  bank->holdAt(kPatchesPerBank);
  const std::string folder = folderOf(sourcePath);
  *written = userfiles::writeUnderFreeName(folder, name, writeBankImage(*bank, standardMidiFile, multis));
  bank->fileName = written->empty() ? name : nameOf(*written);
  if (written->empty()) {
    const int error = errno;  // the caller says why
    log("PATCH LIBRARIAN: could not write file " + folder + name);
    errno = error;
  }
  return bank;
}

void PatchLibrarian::createNewPatchFile(PatchFile* source, std::string newFolderName, std::string sourceFileName,
                                        std::string extension, std::string sourcePath, int, int pass,
                                        bool standardMidiFile, bool multis, bool) {
  if (!source) return;
  const std::string stem = sourceFileName.substr(0, sourceFileName.find_last_of('.'));
  std::string written;
  const auto bank = splitPass(entriesOfKind(*source, multis), multis, pass, stem, extension, newFolderName, sourcePath,
                              standardMidiFile, &written);
  if (!bank) return;
  auto guard = lock();
  listFor(multis ? kMultiList : kSoundList).push_back(bank);
}

bool PatchLibrarian::splitBankFile(const PatchFile& bank, const std::string& sourcePath, const std::string& extension,
                                   bool standardMidiFile) {
  const std::string stem = bank.fileName.substr(0, bank.fileName.find_last_of('.'));
  std::vector<std::shared_ptr<PatchFile>> pieces;
  std::vector<std::string> written;
  bool whole = true;
  std::string why;
  // No save of the source by another instance falls into the split.
  const userfiles::FileLock fileLock(sourcePath);
  splitPassCount = static_cast<int>(bank.patches.size() / kPatchesPerBank);
  for (const bool multis : {false, true}) {
    const auto collected = entriesOfKind(bank, multis);
    for (int pass = -1; whole; ++pass) {
      std::string path;
      if (auto piece = splitPass(collected, multis, pass, stem, extension, bank.folderName, sourcePath,
                                 standardMidiFile, &path)) {
        if (path.empty()) {
          whole = false;
          why = userfiles::failureReason(errno, folderOf(sourcePath));
        }
        pieces.push_back(std::move(piece));
        written.push_back(std::move(path));
      }
      if (pass + 1 >= splitPassCount) break;
    }
  }
  // Written by someone else while it was read or cut: the pieces would not
  // hold what the file holds now.
  if (whole && bank.stamp && userfiles::StampOf(sourcePath) != bank.stamp) {
    whole = false;
    why = "Changed by another program";
  }
  // The source leaves the library folder, or it would be split again by the
  // next load: into "Converted Banks", else beside itself under a name the
  // scan does not read.
  if (whole && !moveToConvertedBanks(sourcePath, mRoot)) {
    const std::string renamed = userfiles::moveUnderFreeName(sourcePath, folderOf(sourcePath), bank.fileName + ".converted");
    if (renamed.empty()) {
      whole = false;
      why = userfiles::failureReason(errno, folderOf(sourcePath));
    } else {
      log("PATCH LIBRARIAN: could not move file " + sourcePath + ", renamed it to " + renamed);
    }
  }
  if (!whole) {
    // The source keeps every dump; the new files would only be copies.
    for (const auto& path : written)
      if (!path.empty()) std::remove(path.c_str());
    log("PATCH LIBRARIAN: could not split file " + sourcePath + ", it stays as it is");
    lastSplitFailure = why;
    fail(nameOf(sourcePath) + " not split!", why);
    return false;
  }
  auto guard = lock();
  for (auto& piece : pieces) listFor(piece->bankType == 1 ? kMultiList : kSoundList).push_back(std::move(piece));
  return true;
}
