// What a killed split or writer left in a folder, taken up by the next load:
// the notes of splits first, then the temporary files no live writer holds.
// A hidden file that may be the only copy of a bank of the user's (a split's
// source) is never removed: it goes where a finished split puts it only when
// its note proves it is the source and records the move, and is otherwise
// put back under the source's name.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <functional>
#include <map>
#include <set>

#include "FailureText.h"
#include "PatchLibrarian.h"
#include "SplitNote.h"
#include "UserFiles.h"

using splitnote::hex;
using splitnote::identityOf;
using splitnote::SplitNote;
using userfiles::folderOf;

namespace {
// The coarsest clock of the file systems' stamps, in seconds (FAT: two).
constexpr long kCoarsestClockSeconds = 2;
// The name a hidden bank takes back when nothing tells its own.
constexpr const char* kRecoveredStem = "Recovered Bank";

bool before(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Whether the file at path holds bytes of that size and SHA-1.
bool holdsBytes(const std::string& path, std::uint64_t size, const std::string& sha1) {
  const auto stamp = userfiles::StampOf(path);
  if (!stamp || static_cast<std::uint64_t>(stamp->size) != size || size > kMaxBankFileSize) return false;
  const auto data = userfiles::readWholeFile(path, static_cast<std::size_t>(size));
  return data && data->size() == size && splitnote::sha1Of(*data) == sha1;
}

// Whether the file at path holds every byte of the source as the note
// records it: its size and its SHA-1.
bool holdsWholeSource(const std::string& path, const SplitNote& note) {
  return note.provesCopies() && holdsBytes(path, *note.size, note.sha1);
}

// Whether the file at path is a piece as the note records it.
bool holdsPiece(const std::string& path, const splitnote::Piece& piece) {
  return piece.provable() && holdsBytes(path, *piece.size, piece.sha1);
}

// Whether folder holds a file whose name passes that check, other than a
// writer's temporary file (whatever it holds, a copy cut short may go as a
// stale temporary); where gets its path.
bool holdsFile(const std::string& folder, const std::function<bool(const std::string&)>& namePasses,
               const std::function<bool(const std::string&)>& found, std::string* where = nullptr) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool any = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || userfiles::isTemporaryName(name) || !namePasses(name)) continue;
    if (found(folder + name)) {
      any = true;
      if (where) *where = folder + name;
      break;
    }
  }
  ::closedir(dir);
  return any;
}

// Whether folder holds a whole copy of the source under a name of its own,
// made since the note was written.
bool holdsWholeCopy(const std::string& folder, const SplitNote& note, const timespec& since) {
  return holdsFile(
      folder, [](const std::string&) { return true; },
      [&](const std::string& path) {
        const auto stamp = userfiles::StampOf(path);
        return stamp && !before(stamp->changed, since) && holdsWholeSource(path, note);
      });
}

// Whether folder holds the source of a note: the file itself (moved within
// its file system), or a copy of its content made since the note was
// written (moved across file systems: a new file).
bool holdsSource(const std::string& folder, const SplitNote& note, const timespec& since, std::size_t maxSize) {
  return holdsFile(folder, [](const std::string&) { return true; }, [&](const std::string& path) {
    const auto stamp = userfiles::StampOf(path);
    if (!stamp) return false;
    if (!note.identity.empty() && identityOf(stamp) == note.identity) return true;
    if (before(stamp->changed, since) || static_cast<unsigned long long>(stamp->size) > maxSize) return false;
    const auto data = userfiles::readWholeFile(path, maxSize);
    return data && hex(userfiles::digestOf(*data)) == note.digest;
  });
}
}  // namespace

PatchLibrarian::NoteTaken PatchLibrarian::finishSplit(const std::string& notePath, const std::string* source,
                                                      bool libraryFolder, std::vector<std::string>* kept) {
  NoteTaken taken;
  const auto text = userfiles::readWholeFile(notePath, 1 << 20);
  if (!text) return taken;
  const auto note = splitnote::read(*text);
  if (!note) {
    // Cut short (on disk, or written by hand): it proves nothing, and what
    // it named stays for the sweep to judge.
    if (const auto remains = splitnote::remainsOf(*text)) {
      taken = {NoteTaken::kDamage, remains->source, remains->hiddenSource};
      log("PATCH LIBRARIAN: note " + notePath + " of a split cannot be read, nothing is done for it");
    }
    return taken;
  }
  if (source && note->source != *source) return {NoteTaken::kOtherSplit, {}, {}};
  if (const std::string why = splitnote::damageOf(*note, notePath, libraryFolder); !why.empty()) {
    log("PATCH LIBRARIAN: note " + notePath + " of a split names " + why + ", nothing is done for it");
    return {NoteTaken::kDamage, splitnote::isBankFileName(note->source) ? note->source : std::string(),
            userfiles::isTemporaryName(note->hiddenSource) ? note->hiddenSource : std::string()};
  }
  taken.kind = NoteTaken::kTakenUp;
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
  timespec since{};
  if (const auto written = userfiles::StampOf(notePath)) {
    since = written->modified;
    since.tv_sec -= kCoarsestClockSeconds;
  }
  bool done = false;
  std::string converted;  // the source, found where a finished split puts it
  if (note->recordsMove) {
    // A note that records the move is believed alone: a copy found in
    // "Converted Banks" may be one a move cut short left. Without the mark
    // (cut short on the disk), a source that is hidden no more and proves to
    // be in "Converted Banks" finished its move all the same.
    done = !stayed && note->moved;
    if (!done && !stayed && !userfiles::nameTaken(folder + note->hiddenSource)) {
      holdsFile(
          convertedBanksFolder(mRoot), [](const std::string&) { return true; },
          [&](const std::string& path) {
            if (note->provesCopies()) return holdsWholeSource(path, *note);
            return !note->identity.empty() && identityOf(userfiles::StampOf(path)) == note->identity;
          },
          &converted);
      done = !converted.empty();
    }
  } else {
    // Notes of earlier versions: the split is done only when its source is
    // where the move puts it, in "Converted Banks". A source the user
    // renamed, moved or deleted stands as the user left it.
    done = !stayed && holdsSource(convertedBanksFolder(mRoot), *note, since, maxBankFileSize);
  }
  // The source under the hidden name the note gives: it left the folder.
  // It is the source only as the note proves it, by its identity or by its
  // size and SHA-1.
  const std::string hidden = folder + note->hiddenSource;
  std::string back;  // where a hidden source was put back
  const auto hiddenStamp = note->recordsMove ? userfiles::StampOf(hidden) : std::nullopt;
  if (hiddenStamp && hiddenStamp->size > 0) {
    const bool proven = (!note->identity.empty() && identityOf(hiddenStamp) == note->identity) ||
                        holdsWholeSource(hidden, *note);
    bool placed = false;
    if (done && proven) {
      // Where the move puts it, unless a whole copy got there under its own
      // name before the kill: one that matches the size and SHA-1 the note
      // took before the copy started, of a source that still matches them.
      // A note of the previous version proves no copy, so the source is
      // moved again (a second copy at most, never none).
      const bool copied =
          holdsWholeSource(hidden, *note) && holdsWholeCopy(convertedBanksFolder(mRoot), *note, since);
      placed = copied ? ::unlink(hidden.c_str()) == 0 : moveToConvertedBanks(hidden, mRoot, note->source);
    }
    if (!placed) {
      // Back where the user put it, and split again; a file the note does
      // not prove is the source is put back all the same, and said, beside
      // pieces the recorded move names. One that can be neither moved on
      // nor put back stays, with the note and the pieces, for the next load.
      if (!putBack(hidden, note->source, !proven, &back)) {
        if (kept) {
          kept->insert(kept->end(), {hidden, notePath});
          for (const auto& piece : note->pieces) kept->push_back(folder + piece.hidden);
        }
        return taken;
      }
      if (proven) done = false;
    }
  }
  // Not done: the load splits the source as it is now, and its hidden pieces
  // go. A hidden file goes as a piece only when it proves to be one: by the
  // size and SHA-1 its note records, or as a piece that the split of the
  // file now under the source's name writes again. Nothing else tells it
  // from a file of the user's (another split's hidden source): one that
  // proves nothing is put back and named, whether or not the split is done.
  std::optional<std::map<std::string, std::string>> again;
  const auto proves = [&](const std::string& path, const splitnote::Piece& piece) {
    // A piece holds a bank at most: a file of more is a bank of the user's,
    // whatever the note records of it.
    bool smf = false;
    if (holdsPiece(path, piece)) return !holdsMoreThanABank(path, &smf);
    if (done && converted.empty()) return false;
    if (!again) again = piecesOf(done ? converted : back.empty() ? sourcePath : back);
    const auto data = again->empty() ? std::nullopt : userfiles::readWholeFile(path, maxBankFileSize);
    return data && again->count(splitnote::sha1Of(*data)) > 0;
  };
  for (const splitnote::Piece& piece : note->pieces) {
    const std::string path = folder + piece.hidden;
    if (!userfiles::nameTaken(path)) continue;
    const bool proven = proves(path, piece);
    // It goes only while its sounds stay listed: the source is in the folder
    // to be split again. Else it may be a piece of a split another note
    // finished, the only listed copy of its sounds.
    if (proven && !done && (stayed || !back.empty() || !tookUpConvertedPiece(path, kept))) {
      ::unlink(path.c_str());
      continue;
    }
    if (proven && !done) continue;
    if (!proven && putBack(path, piece.name, true)) continue;
    if (proven) {
      const std::string written = userfiles::moveUnderFreeName(path, folder, piece.name);
      if (!written.empty()) {
        noteListed(written);
        log("PATCH LIBRARIAN: named file " + written + " of a split cut short");
        continue;
      }
      const int error = errno;
      log("PATCH LIBRARIAN: could not name file " + path);
      keptHidden(folder + piece.name, error);
    }
    // Hidden still, with the note that names it, for the next load.
    if (kept) {
      if (std::find(kept->begin(), kept->end(), notePath) == kept->end()) kept->push_back(notePath);
      kept->push_back(path);
    }
  }
  return taken;
}

std::map<std::string, std::string> PatchLibrarian::piecesOf(const std::string& path) {
  std::map<std::string, std::string> digests;
  const auto data = userfiles::readWholeFile(path, maxBankFileSize);
  PatchFile bank;
  bank.fileName = userfiles::nameOf(path);
  if (!data || !fillBank(*data, static_cast<int>(data->size()), &bank) ||
      bank.patches.size() <= static_cast<std::size_t>(kPatchesPerBank) || bank.patches.size() > maxSplitEntries)
    return digests;
  const std::size_t dot = bank.fileName.find_last_of('.');
  const std::string extension = dot == std::string::npos ? std::string() : asciiLower(bank.fileName.substr(dot + 1));
  const int passes = splitPassCount;
  for (const SplitPiece& piece : splitPieces(bank, extension, extension == "mid"))
    digests.emplace(splitnote::sha1Of(piece.image), piece.bank->fileName);
  splitPassCount = passes;
  return digests;
}

const std::map<std::string, std::string>& PatchLibrarian::convertedPieces() {
  if (mConvertedPieces) return *mConvertedPieces;
  mConvertedPieces.emplace();
  const std::string folder = convertedBanksFolder(mRoot);
  holdsFile(folder, splitnote::isBankFileName, [&](const std::string& path) {
    mConvertedPieces->merge(piecesOf(path));
    return false;
  });
  return *mConvertedPieces;
}

bool PatchLibrarian::listsBytes(const std::string& sha1) {
  if (!mListedBytes) {
    mListedBytes.emplace();
    for (const std::string& folder : mContents.folders)
      holdsFile(folder + "/", splitnote::isBankFileName, [&](const std::string& path) {
        noteListed(path);
        return false;
      });
  }
  return mListedBytes->count(sha1) > 0;
}

void PatchLibrarian::noteListed(const std::string& path) {
  if (!mListedBytes || userfiles::notAFile(path)) return;
  if (const auto data = userfiles::readWholeFile(path, maxBankFileSize)) mListedBytes->insert(splitnote::sha1Of(*data));
  for (const auto& piece : piecesOf(path)) mListedBytes->insert(piece.first);
}

bool PatchLibrarian::tookUpConvertedPiece(const std::string& path, std::vector<std::string>* kept) {
  const auto data = userfiles::readWholeFile(path, maxBankFileSize);
  if (!data || data->empty()) return false;
  const std::string sha1 = splitnote::sha1Of(*data);
  const auto piece = convertedPieces().find(sha1);
  if (piece == convertedPieces().end()) return false;
  // Listed already (the piece named, or held by a file of the library the
  // load splits, the source the user renamed or moved within it): it goes,
  // never back beside it.
  if (listsBytes(sha1)) {
    if (::unlink(path.c_str()) == 0) log("PATCH LIBRARIAN: removed file " + path + " that the library lists already");
    return true;
  }
  // Put back as the piece it proves to be, and said: no note tells of it.
  if (!putBack(path, piece->second, true) && kept) kept->push_back(path);
  return true;
}

void PatchLibrarian::keptHidden(const std::string& path, int error) {
  std::string why = userfiles::failureReason(error, folderOf(path));
  if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
  const std::string reason = std::string(kKeptHidden) + ", " + why;
  log("PATCH LIBRARIAN: file " + path + " stays hidden (" + why + ")");
  auto guard = lock();
  // Once a load, however often the load meets it.
  for (const auto& file : mContents.leftOut)
    if (file.path == path && file.reason == reason) return;
  mContents.leftOut.push_back({path, reason});
}

bool PatchLibrarian::putBack(const std::string& hiddenPath, const std::string& name, bool said, std::string* path) {
  const std::string back = userfiles::moveUnderFreeName(hiddenPath, folderOf(hiddenPath), name);
  if (back.empty()) {
    const int error = errno;
    log("PATCH LIBRARIAN: could not put back file " + hiddenPath + " as " + name + ", it stays");
    keptHidden(folderOf(hiddenPath) + name, error);
    return false;
  }
  if (path) *path = back;
  noteListed(back);
  log("PATCH LIBRARIAN: put back file " + back + " that a split hid");
  if (said) {
    auto guard = lock();
    mContents.leftOut.push_back({back, kFoundHidden, false, true});
  }
  return true;
}

bool PatchLibrarian::holdsMoreThanABank(const std::string& path, bool* smf) {
  const auto data = userfiles::readWholeFile(path, maxBankFileSize);
  if (!data) return false;
  static constexpr char kSmfHead[] = "MThd";
  *smf = data->size() >= 4 && std::equal(kSmfHead, kSmfHead + 4, data->begin());
  PatchFile read;
  readEntries(*data, static_cast<int>(data->size()), &read);
  return read.patches.size() > static_cast<std::size_t>(kPatchesPerBank);
}

void PatchLibrarian::clearStaleFiles(const std::string& folder, bool splitsEnded, const std::string* source,
                                     bool libraryFolder) {
  // A split's note is taken up at once, whatever its age: a load just after
  // a kill lists each sound once too. Other young files stay: their writer
  // may not have locked them yet.
  std::vector<userfiles::StaleFile> stale = userfiles::staleTemporaries(folder, splitsEnded);
  if (stale.empty()) return;
  // The notes of splits first: they name pieces that are to stay.
  std::vector<NoteTaken> notes(stale.size());
  std::vector<std::string> kept;
  for (size_t i = 0; i < stale.size(); ++i) notes[i] = finishSplit(stale[i].path, source, libraryFolder, &kept);
  const auto isKept = [&](const std::string& path) { return std::find(kept.begin(), kept.end(), path) != kept.end(); };
  // A bank of more than a hundred entries that no writer holds is what a
  // split hides: it may be the only copy of the user's file, whatever became
  // of its note. In a library folder, or beside damage elsewhere, it goes
  // back under the name a damaged note still gives it, else the name of the
  // only source such notes name, else a name of its own.
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  std::map<std::string, std::string> hiddenNames;
  std::vector<std::string> sourceNames;
  bool damage = false;
  for (const NoteTaken& note : notes) {
    if (note.kind != NoteTaken::kDamage) continue;
    damage = true;
    if (!note.hiddenSource.empty() && !note.source.empty()) hiddenNames[prefix + note.hiddenSource] = note.source;
    else if (!note.source.empty()) sourceNames.push_back(note.source);
  }
  std::sort(sourceNames.begin(), sourceNames.end());
  sourceNames.erase(std::unique(sourceNames.begin(), sourceNames.end()), sourceNames.end());
  struct Hidden {
    std::string path;
    bool smf = false;
  };
  std::vector<Hidden> originals;
  if (!source && (libraryFolder || damage)) {
    for (size_t i = 0; i < stale.size(); ++i) {
      Hidden original{stale[i].path};
      if (notes[i].kind == NoteTaken::kNoNote && !isKept(original.path) && userfiles::nameTaken(original.path) &&
          holdsMoreThanABank(original.path, &original.smf))
        originals.push_back(original);
    }
  }
  const size_t unnamed = std::count_if(originals.begin(), originals.end(),
                                       [&](const Hidden& h) { return !hiddenNames.count(h.path); });
  bool stays = false;
  for (const Hidden& original : originals) {
    const auto named = hiddenNames.find(original.path);
    const std::string name = named != hiddenNames.end()              ? named->second
                             : unnamed == 1 && sourceNames.size() == 1 ? sourceNames.front()
                                                                       : kRecoveredStem + std::string(original.smf ? ".mid" : ".syx");
    if (putBack(original.path, name, true)) continue;
    kept.push_back(original.path);
    stays = true;
  }
  // A hidden bank no note names (or only one that is damage) that a split
  // of a file in "Converted Banks" writes is a piece of a finished split
  // whose note was lost: it is put back under its name, never swept.
  if (!source && libraryFolder) {
    for (size_t i = 0; i < stale.size(); ++i)
      if (notes[i].kind == NoteTaken::kNoNote && !isKept(stale[i].path) && userfiles::nameTaken(stale[i].path))
        tookUpConvertedPiece(stale[i].path, &kept);
  }
  for (size_t i = 0; i < stale.size(); ++i) {
    const std::string& path = stale[i].path;
    const NoteTaken::Kind kind = notes[i].kind;
    if (source && kind != NoteTaken::kTakenUp) continue;
    if (isKept(path) || kind == NoteTaken::kOtherSplit) continue;
    // Damage beside a bank that must stay hidden stays too: elsewhere than
    // in a library folder it is what keeps the bank from the sweep.
    if (kind == NoteTaken::kDamage && stays) continue;
    if (stale[i].young && kind != NoteTaken::kTakenUp) continue;
    if (kind == NoteTaken::kNoNote && !userfiles::nameTaken(path)) continue;  // named by a note
    if (::unlink(path.c_str()) == 0) log("PATCH LIBRARIAN: removed file " + path + " that a stopped writer left");
  }
}
