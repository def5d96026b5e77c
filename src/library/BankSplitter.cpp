// A bank file of more than 100 entries becomes bank files of 100 sounds and
// files of 100 multis next to it, in its own format. The entries of each
// kind are collected once, so a split costs time in proportion to its size;
// a new file never replaces a file that is there: it takes a free name.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "BankFileFormat.h"
#include "FailureText.h"
#include "FileLock.h"
#include "PatchLibrarian.h"
#include "SplitNote.h"
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
                                                     const std::string& folderName, bool standardMidiFile,
                                                     Bytes* image) {
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
  bank->fileName = userfiles::cutToBytes(stem, suffix.size() < room ? room - suffix.size() : 0) + suffix;
  bank->folderName = folderName;
  fillUncompletedBankFiles(bank.get());
  bank->holdAt(kPatchesPerBank);
  *image = writeBankImage(*bank, standardMidiFile, multis);
  return bank;
}

void PatchLibrarian::createNewPatchFile(PatchFile* source, std::string newFolderName, std::string sourceFileName,
                                        std::string extension, std::string sourcePath, int, int pass,
                                        bool standardMidiFile, bool multis, bool) {
  if (!source) return;
  const std::string stem = sourceFileName.substr(0, sourceFileName.find_last_of('.'));
  Bytes image;
  const auto bank = splitPass(entriesOfKind(*source, multis), multis, pass, stem, extension, newFolderName,
                              standardMidiFile, &image);
  if (!bank) return;
  const std::string written = userfiles::writeUnderFreeName(folderOf(sourcePath), bank->fileName, image);
  if (written.empty())
    log("PATCH LIBRARIAN: could not write file " + folderOf(sourcePath) + bank->fileName);
  else
    bank->fileName = nameOf(written);
  auto guard = lock();
  listFor(multis ? kMultiList : kSoundList).push_back(bank);
}

std::vector<PatchLibrarian::SplitPiece> PatchLibrarian::splitPieces(const PatchFile& bank, const std::string& extension,
                                                                    bool standardMidiFile) {
  const std::string stem = bank.fileName.substr(0, bank.fileName.find_last_of('.'));
  std::vector<SplitPiece> pieces;
  splitPassCount = static_cast<int>(bank.patches.size() / kPatchesPerBank);
  for (const bool multis : {false, true}) {
    const auto collected = entriesOfKind(bank, multis);
    for (int pass = -1;; ++pass) {
      SplitPiece piece;
      piece.bank = splitPass(collected, multis, pass, stem, extension, bank.folderName, standardMidiFile, &piece.image);
      if (piece.bank) pieces.push_back(std::move(piece));
      if (pass + 1 >= splitPassCount) break;
    }
  }
  return pieces;
}

std::string PatchLibrarian::whyPieceLeftOut(const Bytes& image) {
  // As the loader judges a file: by its size, then by what it reads of it.
  if (image.size() < kMinBankFileSize) return "too short";
  if (image.size() > maxBankFileSize) return "too large";
  PatchFile read;
  if (!readEntries(image, static_cast<int>(image.size()), &read) || read.patches.empty()) return "without sounds";
  return {};
}

std::string PatchLibrarian::whySplitLeavesOut(const PatchFile& bank, const std::string& extension) {
  const int passes = splitPassCount;
  std::string why;
  for (const SplitPiece& piece : splitPieces(bank, extension, extension == "mid")) {
    why = whyPieceLeftOut(piece.image);
    if (!why.empty()) break;
  }
  splitPassCount = passes;
  if (why.empty()) return why;
  return std::string("not split: ") + (bank.cutShort ? "dumps cut short, " : "") + "a piece would be " + why;
}

namespace {
// A name of the writer's temporary shape in a folder, held by an empty file
// until the source takes it; the file goes with the object unless taken.
struct HiddenName {
  std::string path;
  explicit HiddenName(const std::string& folder) : path(folder + userfiles::kTemporaryPrefix + "XXXXXX") {
    const int fd = ::mkstemp(path.data());
    if (fd < 0) path.clear();
    else ::close(fd);
  }
  ~HiddenName() {
    if (!path.empty()) ::unlink(path.c_str());
  }
  HiddenName(const HiddenName&) = delete;
  HiddenName& operator=(const HiddenName&) = delete;
};
}  // namespace

std::string convertedBanksFolder(const std::string& root) {
  const size_t slash = root.find_last_of('/');
  return (slash == std::string::npos ? std::string() : root.substr(0, slash + 1)) + "Converted Banks/";
}

// The pieces are written whole under hidden names first, with a note of the
// split; the source leaving the folder marks the split done, and only then
// do the pieces take their names. It leaves in one step, a rename to a
// hidden name the note gives, which the note then records: a move across
// file systems is a copy, and a copy cut short or a source never removed is
// no finished move. A split cut short before that leaves only hidden files,
// which the next load removes (and the source as the user leaves it is
// split again); one cut short after it leaves the note, by which the next
// load puts the source into "Converted Banks" and names the pieces still
// hidden. The folder's lock is held throughout: a load reads the folder
// before the split or after it, never in between.
bool PatchLibrarian::splitBankFile(const PatchFile& bank, const std::string& sourcePath, const std::string& extension,
                                   bool standardMidiFile) {
  const std::string folder = folderOf(sourcePath);
  struct Piece {
    std::shared_ptr<PatchFile> bank;
    std::unique_ptr<userfiles::PendingFile> file;
    std::string written;  // the path it took
  };
  std::vector<Piece> pieces;
  int step = 0;
  const auto reached = [&] {
    if (hooks.splitStep) hooks.splitStep(step++);
  };
  bool whole = true;
  std::string why;
  // No save of the source by another instance falls into the split.
  const auto held = folderLock(sourcePath);
  if (mFolderBusy) return false;
  // A split of this file that a killed process left half done is taken up
  // first: its pieces get their names, or they go and the file is split
  // here, never both. A load that read the folder before that process
  // started splits nothing twice.
  const std::string sourceName = nameOf(sourcePath);
  clearStaleFiles(folder, true, &sourceName);
  // Gone while this load read it: another load split it, or the user moved
  // it. The reload reads what is there now.
  if (!userfiles::nameTaken(sourcePath)) {
    log("PATCH LIBRARIAN: file " + sourcePath + " went while it was read");
    splitElsewhere = true;
    return true;
  }
  // Written by someone else since it was read (by stamp, or by content
  // before the source goes): the pieces would not hold what it holds now.
  // The content read last is what the note records of the source.
  std::optional<Bytes> content;
  const auto changed = [&](bool byContent) {
    if (bank.stamp && userfiles::StampOf(sourcePath) != bank.stamp) return true;
    if (!byContent) return false;
    content = userfiles::readWholeFile(sourcePath, maxBankFileSize);
    return !content || (bank.digest && userfiles::digestOf(*content) != *bank.digest);
  };
  if (changed(false)) {
    whole = false;
    why = "Changed by another program";
  }
  // The source has one place to go: a split it cannot reach is not made.
  // (The move makes "Converted Banks" when it is not there.)
  const std::string converted = convertedBanksFolder(mRoot);
  lastSplitUnplaced = whole && ::access(converted.c_str(), W_OK | X_OK) != 0 && errno != ENOENT;
  if (lastSplitUnplaced) {
    whole = false;
    why = "Converted Banks: " + userfiles::failureReason(errno, converted);
  }
  const auto field = [](std::string& note, const std::string& text) {
    note += text;
    note += '\0';
  };
  std::string pairs;
  HiddenName hiddenSource(folder);
  if (hiddenSource.path.empty()) {
    whole = false;
    why = userfiles::failureReason(errno, folder);
  }
  for (SplitPiece& piece : splitPieces(bank, extension, standardMidiFile)) {
    if (!whole) break;
    auto file = std::make_unique<userfiles::PendingFile>(folder, piece.image);
    if (file->path().empty()) {
      whole = false;
      why = userfiles::failureReason(errno, folder);
      log("PATCH LIBRARIAN: could not write file " + folder + piece.bank->fileName);
    }
    // Each piece with its size and SHA-1: a later load removes a hidden
    // file as a piece only when it proves to be that piece.
    field(pairs, nameOf(file->path()));
    field(pairs, piece.bank->fileName);
    field(pairs, std::to_string(piece.image.size()));
    field(pairs, splitnote::sha1Of(piece.image));
    pieces.push_back({std::move(piece.bank), std::move(file), {}});
    if (whole) reached();
  }
  if (whole && changed(true)) {
    whole = false;
    why = "Changed by another program";
  }
  // Before the source leaves: its size and SHA-1, by which a later load
  // tells a whole copy of it from one a kill cut short.
  std::string note;
  field(note, splitnote::kCurrent);
  field(note, bank.fileName);
  field(note, splitnote::hex(bank.digest.value_or(0)));
  field(note, splitnote::identityOf(bank.stamp));
  field(note, nameOf(hiddenSource.path));
  field(note, content ? std::to_string(content->size()) : std::string());
  field(note, content ? splitnote::sha1Of(*content) : std::string());
  note += pairs;
  std::unique_ptr<userfiles::PendingFile> noteFile;
  if (whole) {
    noteFile = std::make_unique<userfiles::PendingFile>(folder, note.data(), note.size());
    if (noteFile->path().empty()) {
      whole = false;
      why = userfiles::failureReason(errno, folder);
    } else {
      // The note and the pieces it names are in the folder before the
      // source leaves it.
      userfiles::syncFolder(folder);
      reached();
    }
  }
  // The source leaves the library folder, or it would be split again by the
  // next load: hidden, recorded, then into "Converted Banks".
  std::string hidden;
  if (whole) {
    if (::rename(sourcePath.c_str(), hiddenSource.path.c_str()) != 0) {
      whole = false;
      why = userfiles::failureReason(errno, folder);
    } else {
      hidden = std::exchange(hiddenSource.path, std::string());
      // Each step a later load reads is on the disk before the next: the
      // source hidden, then the mark, then the move on.
      userfiles::syncFolder(folder);
      if (splitnote::markMoved(noteFile->path())) {
        reached();
      } else {
        whole = false;
        why = userfiles::failureReason(errno, folder);
      }
    }
  }
  if (whole && !moveToConvertedBanks(hidden, mRoot, bank.fileName)) {
    whole = false;
    lastSplitUnplaced = true;
    why = "Converted Banks: " + userfiles::failureReason(errno, converted);
  }
  // Back where it was; one that cannot leave its hidden name keeps the note
  // that names it and the pieces the note names, for the next load.
  if (!whole && !hidden.empty() && userfiles::nameTaken(hidden) &&
      userfiles::moveUnderFreeName(hidden, folder, nameOf(sourcePath)).empty() && noteFile) {
    log("PATCH LIBRARIAN: could not put back file " + hidden + " as " + nameOf(sourcePath) + ", it stays");
    lastSplitUnplaced = false;
    noteFile->abandon();
    for (Piece& piece : pieces) piece.file->abandon();
  }
  if (!whole) {
    // The source keeps every dump; the hidden pieces go with their owners.
    log("PATCH LIBRARIAN: could not split file " + sourcePath + ", it stays as it is");
    lastSplitFailure = why;
    fail(nameOf(sourcePath) + " not split!", why);
    return false;
  }
  reached();
  bool named = true;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::string written = pieces[i].file->publish(pieces[i].bank->fileName);
    if (written.empty()) {
      // Left hidden with the note: the next load names it.
      log("PATCH LIBRARIAN: could not name file " + folder + pieces[i].bank->fileName);
      pieces[i].file->abandon();
      named = false;
      continue;
    }
    pieces[i].bank->fileName = nameOf(written);
    pieces[i].written = written;
    reached();
  }
  if (!named) noteFile->abandon();
  auto guard = lock();
  for (const auto& piece : pieces)
    if (!piece.written.empty()) mContents.splitPieces.emplace_back(piece.written, sourcePath);
  for (auto& piece : pieces)
    listFor(piece.bank->bankType == 1 ? kMultiList : kSoundList).push_back(std::move(piece.bank));
  return true;
}
