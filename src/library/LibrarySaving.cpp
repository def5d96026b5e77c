// Writing the selected bank to a file and importing bank files into the
// library folder. The bank is copied and written from the copy; every file
// is written beside its target and renamed over it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "BankFileFormat.h"
#include "FailureText.h"
#include "FileLock.h"
#include "PatchLibrarian.h"
#include "UserFiles.h"

namespace {
enum class Choice { kReplace, kKeepBoth, kCancel };

bool sameFile(const std::optional<userfiles::FileStamp>& a, const std::optional<userfiles::FileStamp>& b) {
  return a && b && a->device == b->device && a->inode == b->inode;
}

// The extensions of the files the library lists, in any letter case.
bool hasBankExtension(const std::string& path) {
  const std::string lower = asciiLower(path);
  for (const char* extension : {".syx", ".tvx", ".mid"})
    if (lower.ends_with(extension)) return true;
  return false;
}

// Why a load would leave the file out of the library, in the words of its
// left-out line; "" when it would list it.
std::string whyUnlisted(const std::string& name, std::size_t size, std::size_t entries, bool unconverted) {
  if (!hasBankExtension(name)) return "not a .syx, .tvx or .mid file";
  if (size < kMinBankFileSize) return "too short";
  if (entries == 0) return unconverted ? "a sound that cannot be converted" : "no sounds found";
  return {};
}
}  // namespace

using userfiles::folderOf;
using userfiles::nameOf;

void PatchLibrarian::fail(const std::string& what, const std::string& why) const {
  log("PATCH LIBRARIAN: " + what + " " + why);
  if (hooks.showFailure) hooks.showFailure(what, why);
}

std::optional<PatchLibrarian::KeptData> PatchLibrarian::keptIn(const std::optional<Bytes>& onDisk,
                                                                 std::uint64_t size) {
  const std::string oneBank = "Holds more than one bank";
  if (!onDisk) {
    if (size > maxBankFileSize)
      return KeptData{"is too large for the library to read (over " + std::to_string(maxBankFileSize >> 20) +
                          " MB): it holds more than one bank",
                      oneBank};
    return KeptData{"cannot be read, so what it holds is not known", "File cannot be read"};
  }
  bool unconverted = false;
  if (const std::size_t entries = countEntries(*onDisk, &unconverted); entries > static_cast<std::size_t>(kPatchesPerBank)) {
    const std::string count = entries > maxSplitEntries ? "over " + std::to_string(maxSplitEntries) : std::to_string(entries);
    return KeptData{"holds more than one bank (" + count + " sounds)", oneBank};
  }
  if (unconverted)
    return KeptData{"holds sounds the library cannot convert", "Holds data the library does not keep"};
  if (const std::string unkept = unkeptData(*onDisk); !unkept.empty())
    return KeptData{"holds " + unkept + ", which the library does not keep", "Holds data the library does not keep"};
  return std::nullopt;
}

std::string PatchLibrarian::writeBankFile(const std::string& path, const Bytes& image,
                                          const std::shared_ptr<PatchFile>& bank, SaveTarget target) {
  // A named pipe would hold the read of what is there; a folder or a device
  // is no bank file to replace.
  if (userfiles::notAFile(path)) {
    fail("Bank not saved!", userfiles::failureReason(EISDIR));
    return {};
  }
  const bool ownFile = target == SaveTarget::kOwnFile;
  std::optional<userfiles::FileStamp> readStamp;
  std::optional<std::uint64_t> readDigest;
  {
    auto guard = lock();
    readStamp = bank->stamp;
    readDigest = bank->digest;
  }
  const std::string name = nameOf(path);
  std::string why = "Changed by another program";
  // What to do with the file as it is now; the user is asked with no lock
  // held, so no other save waits on the answer.
  auto choose = [&](const std::optional<userfiles::FileStamp>& now) {
    if (!now) return Choice::kReplace;
    const auto onDisk = userfiles::readWholeFile(path, maxBankFileSize);
    if (const auto kept = keptIn(onDisk, static_cast<std::uint64_t>(now->size))) {
      // A bank never takes the place of more than it holds: both files, or none.
      why = kept->status;
      const std::string text = "\"" + name + "\" " + kept->what +
                               ". This bank would replace all of it. Save this bank under a new name? No saves nothing.";
      return (hooks.messageBox ? hooks.messageBox(text, "Save", 4) : 1) == 1 ? Choice::kKeepBoth : Choice::kCancel;
    }
    // Unchanged by stamp and by content: a clock too coarse to move the
    // stamp does not hide a rewrite.
    const bool asRead = readStamp && *now == *readStamp && (!readDigest || userfiles::digestOf(*onDisk) == *readDigest);
    if (ownFile && asRead) return Choice::kReplace;
    // Another file the user picked to save over is theirs to replace.
    if (target == SaveTarget::kPicked) return Choice::kReplace;
    why = ownFile ? "Changed by another program" : "File exists";
    // Without a window to ask in, both files are kept.
    const std::string text = "\"" + name + "\"" +
                             (ownFile ? " was changed by another program since it was read." : " exists already.") +
                             " Replace it? No keeps both: this bank is saved under a new name.";
    const int answer = hooks.messageBox ? hooks.messageBox(text, "Save", 3) : 7;
    return answer == 1 ? Choice::kReplace : answer == 7 ? Choice::kKeepBoth : Choice::kCancel;
  };
  constexpr int kMaxRounds = 3;
  for (int round = 0; round < kMaxRounds; ++round) {
    const auto seen = userfiles::StampOf(path);
    const Choice choice = choose(seen);
    if (choice == Choice::kCancel) break;
    // Every instance and process takes this lock before it writes, so no
    // save falls between the look at the file and the write.
    const userfiles::FileLock fileLock(path, lockWait);
    if (fileLock.busy()) {
      // The edit stays; the next save tries again.
      fail("Bank not saved!", kFolderBusy);
      return {};
    }
    // Written again while the user was asked: asked again.
    if (userfiles::StampOf(path) != seen) continue;
    std::string written = path;
    if (choice == Choice::kKeepBoth) {
      written = userfiles::writeUnderFreeName(folderOf(path), name, image);
      if (written.empty()) {
        fail("Bank not saved!", userfiles::failureReason(errno, folderOf(path)));
        return {};
      }
    } else if (!userfiles::writeFileAtomically(path, image)) {
      const int error = errno;
      log("PATCH LIBRARIAN: could not write file " + path);
      fail("Bank not saved!", userfiles::failureReason(error, path));
      return {};
    }
    // The bank now stands for what was written: its next save asks only
    // when someone else writes the file again.
    if (ownFile) {
      const auto stamp = userfiles::StampOf(written);
      const auto digest = userfiles::digestOf(image);
      // What the bank was copied from is no longer what the file written holds.
      bankTakesFile(bank, path, written, [&](PatchFile& saved) {
        saved.stamp = stamp;
        saved.digest = digest;
        saved.source.reset();
        if (choice == Choice::kKeepBoth) saved.fileName = nameOf(written);
      });
    }
    return written;
  }
  fail("Bank not saved!", why);
  return {};
}

bool PatchLibrarian::saveEditedPatch(std::string path, std::string name) {
  auto guard = lock();
  const auto bank = selectedBank();
  if (!bank) return false;
  auto copy = bank->clone();
  padForSaving(*copy);
  copy->fileName = name;
  const size_t dot = name.find_last_of('.');
  // Letter case does not choose the format: "Bank.MID" stays a MIDI file.
  const std::string extension = asciiLower(dot == std::string::npos ? name : name.substr(dot + 1));
  const bool midi = extension == "mid";
  if (midi) {
    name += ".mid";
  } else if (extension == "syx" || extension == "tvx") {
    name += ".tvx";
  }
  const bool multi = hooks.multiMode && hooks.multiMode();
  (multi ? upperMultiFileName : upperSoundFileName) = name;
  const Bytes image = writeBankImage(*copy, midi, multi);
  guard.unlock();
  return !writeBankFile(path, image, bank, SaveTarget::kOwnFile).empty();
}

bool PatchLibrarian::savePatchAs(const char* folder, std::string name, bool midi) {
  if (!hooks.promptForFile) return false;
  std::string startFolder = folder ? folder : "";
  std::string chosen = hooks.promptForFile(1, startFolder, name, midi ? "mid" : "tvx syx mid");
  if (chosen.empty()) return false;
  // A bank gets a name the library lists, in the format it is written in; a
  // file of that name was not the user's pick, so it is not replaced unasked.
  const bool extended = !hasBankExtension(chosen);
  if (extended) chosen += midi ? ".mid" : ".tvx";
  const size_t split = chosen.find_last_of("/\\");
  const std::string folderPart = split == std::string::npos ? std::string() : chosen.substr(0, split);
  const std::string fileName = split == std::string::npos ? chosen : chosen.substr(split + 1);
  const size_t inner = folderPart.find_last_of("/\\");
  std::string lastComponent = inner == std::string::npos ? folderPart : folderPart.substr(inner + 1);
  removeCharsFromString(lastComponent, "/\\");

  std::string libraryFolder = folder ? folder : "";
  while (libraryFolder.size() > 1 && libraryFolder.back() == '/') libraryFolder.pop_back();
  const bool multi = hooks.multiMode && hooks.multiMode();
  auto guard = lock();
  upperFolderName = lastComponent.empty() ? "Patches" : lastComponent;
  (multi ? upperMultiFileName : upperSoundFileName) = fileName;
  // The user's file is touched only once there is a bank to write.
  const auto bank = selectedBank();
  if (!bank) return false;
  auto copy = bank->clone();
  padForSaving(*copy);
  const Bytes image = writeBankImage(*copy, midi, multi);
  const std::string readPath = bank->pathIn(libraryFolder);
  // Another file the user picked is theirs to replace; the bank's own file
  // is compared with what was read.
  const SaveTarget target = sameFile(bank->stamp, userfiles::StampOf(chosen)) ? SaveTarget::kOwnFile
                            : extended                                         ? SaveTarget::kUnseen
                                                                               : SaveTarget::kPicked;
  guard.unlock();
  const std::string written = writeBankFile(chosen, image, bank, target);
  if (written.empty()) return false;
  // The pane is on the file written from now on, whether or not the reload
  // that follows can run: a later Save writes the edit there, never into the
  // file the bank was read from.
  // A write to the bank's own file moved the bank itself when it kept both.
  bankTakesFile(bank, target == SaveTarget::kOwnFile ? written : readPath, written, [&](PatchFile& saved) {
    (multi ? upperMultiFileName : upperSoundFileName) = nameOf(written);
    placeBankAt(saved, written, libraryFolder, image);
  });
  return true;
}

void PatchLibrarian::placeBankAt(PatchFile& bank, const std::string& written, std::string libraryFolder,
                                 const Bytes& image) {
  while (libraryFolder.size() > 1 && libraryFolder.back() == '/') libraryFolder.pop_back();
  std::string folder = folderOf(written);
  if (folder.size() > 1) folder.pop_back();
  bank.fileName = nameOf(written);
  bank.outsidePath.clear();
  if (!libraryFolder.empty() && (folder == libraryFolder || folder.starts_with(libraryFolder + "/"))) {
    // As a load names it: the library folder's own name, then the folders below it.
    std::vector<std::string> directories = {nameOf(libraryFolder)};
    std::size_t start = libraryFolder.size() + 1;
    while (start < folder.size()) {
      const std::size_t end = std::min(folder.find('/', start), folder.size());
      if (end > start) directories.push_back(folder.substr(start, end - start));
      start = end + 1;
    }
    bank.directories = std::move(directories);
  } else {
    bank.directories.clear();
    bank.outsidePath = written;
  }
  bank.folderName = nameOf(folder);
  bank.stamp = userfiles::StampOf(written);
  bank.digest = userfiles::digestOf(image);
}

bool PatchLibrarian::importBankFile(const std::string& chosenPath, const std::string& patchesFolder,
                                    std::string* writtenPath) {
  if (userfiles::notAFile(chosenPath)) {
    fail("Bank not imported!", userfiles::failureReason(EISDIR));
    return false;
  }
  // A file that cannot be read whole must not replace a library file.
  const auto stamp = userfiles::StampOf(chosenPath);
  errno = 0;
  const auto data = userfiles::readWholeFile(chosenPath, maxBankFileSize);
  if (!data) {
    log("FILE IMPORTER: cannot read " + chosenPath);
    const bool tooLarge = stamp && static_cast<unsigned long long>(stamp->size) > maxBankFileSize;
    fail("Bank not imported!", tooLarge ? "File too large" : userfiles::failureReason(errno ? errno : ENOENT));
    return false;
  }
  // Only a file the library lists is copied: anything else would only take
  // room in the library folder, and say so at the next load.
  const std::string name = nameOf(chosenPath);
  bool unconverted = false;
  const std::size_t entries = countEntries(*data, &unconverted);
  if (const std::string why = whyUnlisted(name, data->size(), entries, unconverted); !why.empty()) {
    log("FILE IMPORTER: " + chosenPath + " not imported (" + why + ")");
    fail("Bank not imported!", why);
    return false;
  }
  if (entries > maxSplitEntries) {
    log("FILE IMPORTER: too many entries in " + chosenPath);
    fail("Bank not imported!", "Too many sounds (over " + std::to_string(maxSplitEntries) + ")");
    return false;
  }
  // A file of more than one bank is listed in the pieces a load splits it
  // into: one whose pieces the load would leave out is left out itself.
  if (entries > static_cast<std::size_t>(kPatchesPerBank)) {
    PatchLibrarian scratch;
    scratch.maxBankFileSize = maxBankFileSize;
    scratch.maxSplitEntries = maxSplitEntries;
    PatchFile bank;
    bank.fileName = name;
    scratch.fillBank(*data, static_cast<int>(data->size()), &bank);
    const std::size_t dot = name.find_last_of('.');
    const std::string extension = asciiLower(dot == std::string::npos ? std::string() : name.substr(dot + 1));
    // A load lists the whole entries of a file it cannot split: one of none
    // is left out.
    const std::string why = scratch.whySplitLeavesOut(bank, extension);
    if (!why.empty() && std::none_of(bank.patches.begin(), bank.patches.end(),
                                     [](const LibrarianPatch& entry) { return entry.whole(); })) {
      log("FILE IMPORTER: " + chosenPath + " not imported (" + why + ")");
      fail("Bank not imported!", why);
      return false;
    }
  }
  const std::string target = patchesFolder + "/" + name;
  bool written = false;
  // Written under the folder's lock, as a save is, taken after the question:
  // a lock another keeps is given up after lockWait.
  std::optional<userfiles::FileLock> held;
  const auto lockFolder = [&] {
    held.emplace(target, lockWait);
    if (!held->busy()) return true;
    fail("Bank not imported!", kFolderBusy);
    return false;
  };
  if (userfiles::nameTaken(target)) {
    const auto there = userfiles::StampOf(target);
    const auto kept = there ? keptIn(userfiles::readWholeFile(target, maxBankFileSize),
                                     static_cast<std::uint64_t>(there->size))
                            : std::nullopt;
    // Without a window to ask in, both files are kept.
    int answer = 7;
    if (kept) {
      // Never replaced: the new file takes a free name, or nothing is imported.
      const std::string text = "A file named \"" + name + "\" in the library " + kept->what +
                               ". The import would replace all of it. Import the file under a new name? No imports "
                               "nothing.";
      answer = (hooks.messageBox ? hooks.messageBox(text, "Import", 4) : 1) == 1 ? 7 : 2;
    } else if (hooks.messageBox) {
      answer = hooks.messageBox("A bank named \"" + name +
                                    "\" is already in the library. Do you want to replace it? No keeps both files.",
                                "Import", 3);
    }
    if (answer == 1) {
      if (!lockFolder()) return false;
      log("FILE IMPORTER: patch file copied to " + patchesFolder);
      written = userfiles::writeFileAtomically(target, *data);
      if (!written) fail("Bank not imported!", userfiles::failureReason(errno, target));
      if (written && writtenPath) *writtenPath = target;
      mImportCopy = {};  // it replaced a bank: taking it back would leave neither
      return written;
    }
    if (answer != 7) return false;  // Cancel, or the box was closed
  }
  if (!lockFolder()) return false;
  log("FILE IMPORTER: patch file copied to " + patchesFolder);
  const std::string copy = userfiles::writeUnderFreeName(patchesFolder, name, *data);
  if (copy.empty()) fail("Bank not imported!", userfiles::failureReason(errno, patchesFolder));
  if (writtenPath) *writtenPath = copy;
  mImportCopy = {copy, userfiles::StampOf(copy), chosenPath, userfiles::digestOf(*data)};
  return !copy.empty();
}

bool PatchLibrarian::withdrawImport(const std::string& path) {
  const ImportCopy copy = std::exchange(mImportCopy, {});
  if (path.empty() || copy.path != path || !copy.stamp) return false;
  const userfiles::FileLock held(path, lockWait);
  if (held.busy()) return false;
  // Only the file the import wrote, as it wrote it, and only while the file
  // chosen still holds the same bytes elsewhere: never a user's only copy.
  const auto sameFile = [](const std::optional<userfiles::FileStamp>& a, const std::optional<userfiles::FileStamp>& b) {
    return a && b && a->device == b->device && a->inode == b->inode;
  };
  const auto now = userfiles::StampOf(path);
  const auto chosen = userfiles::StampOf(copy.chosen);
  if (!sameFile(now, copy.stamp) || !chosen || sameFile(chosen, now)) return false;
  for (const std::string& file : {path, copy.chosen}) {
    const auto data = userfiles::readWholeFile(file, maxBankFileSize);
    if (!data || userfiles::digestOf(*data) != copy.digest) return false;
  }
  if (::unlink(path.c_str()) != 0) return false;
  log("FILE IMPORTER: removed " + path + ", which the library does not list");
  auto guard = lock();
  std::erase_if(mContents.leftOut, [&](const LibraryContents::LeftOut& file) { return file.path == path; });
  return true;
}
