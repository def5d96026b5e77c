// One bank of the library: 100 entries once loaded from or written to a file,
// 1 to 100 for the generated category and search banks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "FileStamp.h"
#include "LibrarianPatch.h"

constexpr int kPatchesPerBank = 100;
// Bytes of one entry's name in a bank's name index.
constexpr size_t kIndexedNameSize = 16;

struct PatchFile;

// The sounds a category or search bank lists, in the banks that hold them:
// the bank's entries are made from them (with their first dumpCount dumps)
// the first time it is read, so a load holds no copy of every sound.
struct ListedEntries {
  std::vector<std::pair<const PatchFile*, std::uint32_t>> entries;  // bank and slot
  std::vector<std::shared_ptr<const PatchFile>> holders;            // keep those banks
  std::size_t dumpCount = 1;
  // Every listed bank is one of a shared load, which never changes; a bank
  // listing others is filled at once, before they change.
  bool fromShared = true;
  std::once_flag filled;

  // Lists the sound in slot of bank.
  void add(const std::shared_ptr<PatchFile>& bank, std::uint32_t slot);
};

struct PatchFile {
  int bankType = 0;  // 0 sounds, 1 multis
  int kind = 0;
  std::vector<LibrarianPatch> patches;
  std::string fileName;
  std::string folderName;
  std::vector<std::string> directories;
  // The file a Save As wrote the bank to outside the library folder, which
  // a later Save writes again; empty for a bank in the library folder.
  std::string outsidePath;
  // Part of a load every instance of the process shares: never changed
  // (PatchLibrarian::bankForEdit changes a copy).
  bool shared = false;
  // The shared bank an edit's copy was made from, while the file on disk
  // still holds what that bank holds: the copy's own writes let it go.
  std::shared_ptr<PatchFile> source;
  // The file's stamp as it was when the bank was read from it or last
  // written; a save that finds another one asks before it replaces the file.
  std::optional<userfiles::FileStamp> stamp;
  // A digest of the file's bytes as they were read or last written: a
  // rewrite that leaves the stamp as it was (a coarse clock) still shows.
  std::optional<std::uint64_t> digest;
  // A dump of the file was cut short (no end byte before the next began, or
  // shorter than its kind's dump): the reader completed it for the views.
  bool cutShort = false;
  // The file ends inside a track of a Standard MIDI File.
  bool fileCutShort = false;
  // A sound of the Q or the Rerover was left out: converted, it would have
  // held bytes that are no data bytes.
  bool unconverted = false;
  // Set for a category or search bank (fillListed makes its entries).
  std::shared_ptr<ListedEntries> listed;
  // The entries' names lower-cased, kIndexedNameSize bytes each, zero-padded,
  // for the name search; made when the bank is read from its file, empty
  // when not made (the search then reads the names).
  std::string nameIndex;

  // Makes the entries of a category or search bank from the sounds it
  // lists, once.
  void fillListed();
  // Makes nameIndex from the entries as they are now.
  void indexNames();

  // The file the bank stands for, in the library folder at libraryFolder
  // unless a Save As wrote it outside.
  std::string pathIn(const std::string& libraryFolder) const;

  // A copy with bankType, kind (0, 1, other values 2), every entry and the
  // file name; folder name and directories stay empty. A bankType other
  // than 0 or 1 gives 0 and kind 0.
  std::unique_ptr<PatchFile> clone() const;
  // Appends empty entries or drops those beyond the count.
  void holdAt(size_t count) { patches.resize(count); }
};
