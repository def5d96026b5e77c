// A bank file of more than 100 entries becomes bank files of 100 sounds and
// files of 100 multis next to it, in its own format. The entries of each
// kind are collected once, so a split costs time in proportion to its size;
// a new file never replaces a file that is there: it takes a free name.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include <Poco/DigestEngine.h>
#include <Poco/SHA1Engine.h>

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
// A note's fields end with a NUL, which no file name holds (a newline or a
// tab may be in one); notes of earlier versions end them with newlines.
constexpr const char* kSplitNote = "tvx split 4";
constexpr const char* kHiddenNote = "tvx split 3";    // no size, no SHA-1
constexpr const char* kIdentityNote = "tvx split 2";  // no hidden source, no mark
constexpr const char* kLineNote = "tvx split 1";
// The field a note ends with once the source has left the library folder.
constexpr const char* kMovedMark = "\x01moved";

std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Which file the source is, by device and inode: its name may be taken by
// another file, and its content rewritten in place.
std::string identityOf(const std::optional<userfiles::FileStamp>& stamp) {
  if (!stamp) return {};
  return std::to_string(stamp->device) + ":" + std::to_string(stamp->inode);
}

// The SHA-1 of data in hex: a copy that matches it (and the size) holds
// the source's every byte.
std::string sha1Of(const std::vector<unsigned char>& data) {
  Poco::SHA1Engine engine;
  engine.update(data.data(), static_cast<unsigned>(data.size()));
  return Poco::DigestEngine::digestToHex(engine.digest());
}

struct SplitNote {
  std::string source;  // the name of the file split
  std::string digest;
  std::string identity;  // "" in notes of earlier versions
  // The source's size and SHA-1 as the split read it before any copy
  // started; nullopt and "" in notes of earlier versions, which prove no copy.
  std::optional<std::uint64_t> size;
  std::string sha1;
  std::vector<std::pair<std::string, std::string>> pieces;  // hidden name, name to take
  // The hidden name the source leaves the folder under, and whether the
  // note says it did; "" and false in notes of earlier versions.
  std::string hiddenSource;
  bool moved = false;
  bool recordsMove = false;  // a note that would say it
  bool provesCopies() const { return size && !sha1.empty(); }
};

// Appends the mark that the source has left the library folder.
bool markMoved(const std::string& notePath) {
  const int fd = ::open(notePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  const std::size_t size = std::strlen(kMovedMark) + 1;  // with its NUL
  const bool written = ::write(fd, kMovedMark, size) == static_cast<ssize_t>(size);
  const int error = errno;
  const bool closed = ::close(fd) == 0;
  errno = error;
  return written && closed;
}

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

// A field not ended was cut short by the kill: it is left out.
std::optional<SplitNote> readSplitNote(const std::vector<unsigned char>& text) {
  const auto startsWith = [&](const char* head, char end) {
    const std::size_t n = std::strlen(head);
    return text.size() > n && std::equal(head, head + n, text.begin()) && text[n] == static_cast<unsigned char>(end);
  };
  const bool lines = startsWith(kLineNote, '\n');
  const bool proving = !lines && startsWith(kSplitNote, '\0');
  const bool hiding = !lines && (proving || startsWith(kHiddenNote, '\0'));
  if (!lines && !hiding && !startsWith(kIdentityNote, '\0')) return std::nullopt;
  const char end = lines ? '\n' : '\0';
  std::vector<std::string> fields;
  std::string field;
  for (const unsigned char c : text) {
    if (c != static_cast<unsigned char>(end)) {
      field += static_cast<char>(c);
      continue;
    }
    fields.push_back(std::move(field));
    field.clear();
  }
  const std::size_t head = lines ? 3 : proving ? 7 : hiding ? 5 : 4;
  if (fields.size() < head) return std::nullopt;
  SplitNote note;
  note.source = fields[1];
  note.digest = fields[2];
  if (!lines) note.identity = fields[3];
  if (proving) {
    // A size that does not read proves no copy; the note is taken up all the same.
    const std::string& size = fields[5];
    if (!size.empty() && size.size() < 20 &&
        std::all_of(size.begin(), size.end(), [](char c) { return c >= '0' && c <= '9'; }))
      note.size = std::stoull(size);
    note.sha1 = fields[6];
  }
  if (hiding) {
    note.hiddenSource = fields[4];
    note.recordsMove = true;
    // The mark follows the pairs of pieces: a field of its own at the end.
    note.moved = (fields.size() - head) % 2 == 1 && fields.back() == kMovedMark;
  }
  if (lines) {
    for (std::size_t i = head; i < fields.size(); ++i)
      if (const std::size_t tab = fields[i].find('\t'); tab != std::string::npos)
        note.pieces.emplace_back(fields[i].substr(0, tab), fields[i].substr(tab + 1));
  } else {
    for (std::size_t i = head; i + 1 < fields.size(); i += 2) note.pieces.emplace_back(fields[i], fields[i + 1]);
  }
  return note;
}

// The coarsest clock of the file systems' stamps, in seconds (FAT: two).
constexpr long kCoarsestClockSeconds = 2;

bool before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Whether the file at path holds every byte of the source as the note
// records it: its size and its SHA-1.
bool holdsWholeSource(const std::string& path, const SplitNote& note) {
  if (!note.provesCopies()) return false;
  const auto stamp = userfiles::StampOf(path);
  if (!stamp || static_cast<std::uint64_t>(stamp->size) != *note.size) return false;
  const auto data = userfiles::readWholeFile(path, static_cast<std::size_t>(*note.size));
  return data && data->size() == *note.size && sha1Of(*data) == note.sha1;
}

// Whether folder holds a whole copy of the source under a name of its own,
// made since the note was written: a writer's temporary file, whatever it
// holds, is no copy that has arrived.
bool holdsWholeCopy(const std::string& folder, const SplitNote& note, const timespec& since) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || userfiles::isTemporaryName(name)) continue;
    const std::string path = folder + name;
    const auto stamp = userfiles::StampOf(path);
    if (!stamp || before(stamp->changed, since)) continue;
    if (holdsWholeSource(path, note)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// Whether folder holds the source of a note under a name that passes: the
// file itself (moved within its file system), or a copy of its content
// made since the note was written (moved across file systems: a new file).
// A writer's temporary file is never it: a copy cut short may hold it all
// and still go as a stale temporary.
bool holdsSource(const std::string& folder, const SplitNote& note, const timespec& since, std::size_t maxSize,
                 const std::function<bool(const std::string&)>& namePasses) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (userfiles::isTemporaryName(entry->d_name) || !namePasses(entry->d_name)) continue;
    const std::string path = folder + entry->d_name;
    const auto stamp = userfiles::StampOf(path);
    if (!stamp) continue;
    if (!note.identity.empty() && identityOf(stamp) == note.identity) {
      found = true;
      break;
    }
    if (before(stamp->changed, since) || static_cast<unsigned long long>(stamp->size) > maxSize) continue;
    const auto data = userfiles::readWholeFile(path, maxSize);
    if (data && hex(userfiles::digestOf(*data)) == note.digest) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}
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
    field(pairs, nameOf(file->path()));
    field(pairs, piece.bank->fileName);
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
  field(note, kSplitNote);
  field(note, bank.fileName);
  field(note, hex(bank.digest.value_or(0)));
  field(note, identityOf(bank.stamp));
  field(note, nameOf(hiddenSource.path));
  field(note, content ? std::to_string(content->size()) : std::string());
  field(note, content ? sha1Of(*content) : std::string());
  note += pairs;
  std::unique_ptr<userfiles::PendingFile> noteFile;
  if (whole) {
    noteFile = std::make_unique<userfiles::PendingFile>(folder, note.data(), note.size());
    if (noteFile->path().empty()) {
      whole = false;
      why = userfiles::failureReason(errno, folder);
    } else {
      reached();
    }
  }
  // The source leaves the library folder, or it would be split again by the
  // next load: hidden, recorded, then into "Converted Banks", else beside
  // itself under a name the scan does not read.
  std::string hidden;
  if (whole) {
    if (::rename(sourcePath.c_str(), hiddenSource.path.c_str()) != 0) {
      whole = false;
      why = userfiles::failureReason(errno, folder);
    } else {
      hidden = std::exchange(hiddenSource.path, std::string());
      if (markMoved(noteFile->path())) {
        reached();
      } else {
        whole = false;
        why = userfiles::failureReason(errno, folder);
      }
    }
  }
  if (whole && !placeSplitSource(hidden, bank.fileName)) {
    whole = false;
    why = userfiles::failureReason(errno, folder);
  }
  // Back where it was; one that cannot leave its hidden name keeps the note
  // that names it, for the next load.
  if (!whole && !hidden.empty() && userfiles::nameTaken(hidden) &&
      userfiles::moveUnderFreeName(hidden, folder, nameOf(sourcePath)).empty() && noteFile)
    noteFile->abandon();
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

bool PatchLibrarian::placeSplitSource(const std::string& hiddenPath, const std::string& name) {
  if (moveToConvertedBanks(hiddenPath, mRoot, name)) return true;
  const std::string folder = folderOf(hiddenPath);
  const std::string renamed = userfiles::moveUnderFreeName(hiddenPath, folder, name + ".converted");
  if (renamed.empty()) return false;
  log("PATCH LIBRARIAN: could not move file " + folder + name + ", renamed it to " + renamed);
  return true;
}

bool PatchLibrarian::finishSplit(const std::string& notePath, const std::string* source,
                                 std::vector<std::string>* kept) {
  const auto text = userfiles::readWholeFile(notePath, 1 << 20);
  if (!text) return false;
  const auto note = readSplitNote(*text);
  if (!note || (source && note->source != *source)) return false;
  const std::string folder = folderOf(notePath);
  const std::string sourcePath = folder + note->source;
  // The source still at its name (the same file; for a note of an earlier
  // version, the same content) was not moved.
  const auto now = userfiles::StampOf(sourcePath);
  bool stayed = now && identityOf(now) == note->identity;
  if (note->identity.empty() && now) {
    const auto data = userfiles::readWholeFile(sourcePath, maxBankFileSize);
    stayed = data && hex(userfiles::digestOf(*data)) == note->digest;
  }
  // The split is done only when its source is where the move puts it: in
  // "Converted Banks", or beside itself as ".converted" when that folder
  // could not be made. A free name is not enough: a source the user
  // renamed, moved or deleted stands as the user left it.
  timespec since{};
  if (const auto written = userfiles::StampOf(notePath)) {
    since = written->modified;
    since.tv_sec -= kCoarsestClockSeconds;
  }
  const auto inConverted = [&] {
    return holdsSource(convertedBanksFolder(mRoot), *note, since, maxBankFileSize,
                       [](const std::string&) { return true; });
  };
  // The source under the hidden name the note gives: it left the folder, and
  // the move that follows was cut short.
  const std::string hidden = folder + note->hiddenSource;
  const bool hiddenHere = userfiles::isTemporaryName(note->hiddenSource) &&
                          ((!note->identity.empty() && identityOf(userfiles::StampOf(hidden)) == note->identity) ||
                           holdsWholeSource(hidden, *note));
  // A note that records the move is believed alone: a copy found in
  // "Converted Banks" may be one a move cut short left.
  bool done = !stayed && (note->recordsMove ? note->moved || hiddenHere
                                            : inConverted() || holdsSource(folder, *note, since, maxBankFileSize,
                                                                           [&](const std::string& name) {
                                                                             return name.rfind(note->source, 0) == 0 &&
                                                                                    name.ends_with(".converted");
                                                                           }));
  if (done && hiddenHere) {
    // Where the move puts it, unless a whole copy got there under its own
    // name before the kill: one that matches the size and SHA-1 the note
    // took before the copy started, of a source that still matches them.
    // A note of an earlier version proves no copy, so the source is moved
    // again (a second copy at most, never none).
    const bool copied = holdsWholeSource(hidden, *note) && holdsWholeCopy(convertedBanksFolder(mRoot), *note, since);
    if (copied) {
      ::unlink(hidden.c_str());
    } else if (!placeSplitSource(hidden, note->source)) {
      // Back where the user put it, and split again; a source that cannot
      // leave its hidden name stays under it, with the note that names it.
      if (userfiles::moveUnderFreeName(hidden, folder, note->source).empty() && kept)
        kept->insert(kept->end(), {hidden, notePath});
      done = false;
    }
  }
  // Not done: the load splits the source as it is now; the hidden pieces go.
  for (const auto& [hiddenName, name] : note->pieces) {
    if (name.empty() || hiddenName.find('/') != std::string::npos || name.find('/') != std::string::npos) continue;
    const std::string hidden = folder + hiddenName;
    if (!userfiles::isTemporaryName(hiddenName) || !userfiles::nameTaken(hidden)) continue;
    if (!done) {
      ::unlink(hidden.c_str());
      continue;
    }
    const std::string written = userfiles::moveUnderFreeName(hidden, folder, name);
    log(written.empty() ? "PATCH LIBRARIAN: could not name file " + hidden
                        : "PATCH LIBRARIAN: named file " + written + " of a split cut short");
  }
  return true;
}
