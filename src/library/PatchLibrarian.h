// The patch library in memory: the banks read from the library folder, the
// generated category and search banks, the browser folder trees, the
// category names and the selections of the librarian's two panes.
//
// One lock guards it all: every writer takes it, and so must every reader on
// another thread (menus, the slot view) while it walks the lists or trees.
// Banks are shared: a reload swaps in new lists, and a reader that keeps a
// bank beyond its lock (bankAt) keeps it alive until it lets go.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "FileStamp.h"
#include "FolderFiles.h"
#include "PatchFile.h"

namespace Poco {
class File;
class Path;
}  // namespace Poco

namespace userfiles {
class FileLock;
}  // namespace userfiles

struct SharedLoad;

using BankList = std::vector<std::shared_ptr<PatchFile>>;

// What a load builds and a reload replaces as a whole.
struct LibraryContents {
  std::vector<std::string> folders;  // folders visited by the last load
  BankList soundBanks;
  BankList multiBanks;
  BankList searchBanks;
  BankList categoryBanks;
  FolderTree soundTree;
  FolderTree multiTree;
  FolderTree categoryTree;
  FolderTree searchTree;
  std::vector<std::string> categoryNames;
  // Every folder and bank file the load looked at, as it was before it was
  // read: the load holds while they are unchanged.
  std::vector<std::pair<std::string, userfiles::FileStamp>> stamps;
  // The bank files among them changed too shortly before the load for a
  // stamp to show a rewrite, with a digest of what was read.
  std::vector<std::pair<std::string, std::uint64_t>> digests;
  // Bank files the load left out, with the reason, in load order.
  // A file read all the same (listed) was read with a fault the reason names;
  // a file put back came out of a split's hiding place under this path.
  struct LeftOut {
    std::string path;
    std::string reason;
    bool listed = false;
    bool putBack = false;
    // Whole entries of a file listed in part (one bank of a file that could
    // not be split), which no bank lists.
    std::size_t unlisted = 0;
  };
  std::vector<LeftOut> leftOut;
  // The bank files the load's splits wrote (the reload after a split keeps
  // them): each piece's path with the path of the file split.
  std::vector<std::pair<std::string, std::string>> splitPieces;
  // What the category banks and the search results list their sounds from:
  // the sound bank list as it was, and each of its banks as they read it (a
  // bank of this library's own as a copy no edit reaches). An edit made
  // since is found against it. Empty when the lists were not made so (the
  // categories of a load are made from its own banks).
  struct ListedFrom {
    BankList listed;
    BankList read;
  };
  ListedFrom categoriesFrom;
  ListedFrom searchFrom;
};

// The whole text naming the bank files a load left out (and those it put
// back), for the debug log; "" when there are none.
std::string leftOutStatusText(const std::vector<LibraryContents::LeftOut>& leftOut);
// The same for the window's two lines: how many files were left out (and
// how many were read with a fault or put back, and how many entries of
// files listed in part no bank lists), then each file with its reason, those
// put back first, then those left out. An empty count when there are none.
struct LeftOutLines {
  std::string count;
  std::vector<std::string> files;
};
LeftOutLines leftOutLines(const std::vector<LibraryContents::LeftOut>& leftOut);

// What the library asks of the editor; unset hooks do nothing.
struct LibraryHooks {
  // Writes one debug-log line; set only while the debug log is on.
  std::function<void(const std::string&)> debugLog;
  // True while the editor is in multi mode.
  std::function<bool()> multiMode;
  // A file prompt: action 1 save, 0 open; the start folder (the prompt
  // leaves the chosen file's folder in it), the proposed name and the
  // extensions separated by blanks. Returns the chosen path, or "" on cancel.
  std::function<std::string(int action, std::string& folder, const std::string& name, const std::string& extensions)>
      promptForFile;
  // A message box of the editor window: type 3 offers Yes, No and Cancel;
  // the answer is 1 for Yes, 7 for No, 2 for Cancel, 0 when closed.
  std::function<int(const std::string& text, const std::string& caption, int type)> messageBox;
  // Shows in the editor window that a file could not be saved, imported or
  // split: what failed and why, two short texts.
  std::function<void(const std::string& what, const std::string& why)> showFailure;
  // Runs file work the window started (reading and splitting the folders,
  // the waits for their locks) and the builds of the lists the library
  // shows (its categories, a search) so that the host's real-time calls do
  // not wait for them; unset, the work just runs.
  std::function<void(const std::function<void()>& work)> fileWork;
  // A test seam: called with 0, 1, 2, ... after each step of a split that
  // leaves something on disk (a piece written, its note, the source out of
  // its folder under a hidden name, the source in "Converted Banks", a piece
  // named).
  std::function<void(int step)> splitStep;
  // A test seam: called after the categories or a search were built, before
  // they are put in.
  std::function<void()> listsBuilt;
};

// Which list bankAt reads.
enum BankListKind : int { kSoundList = 0, kMultiList = 1, kCategoryList = 2, kSearchList = 3 };

// Files larger than this are not read: about 170,000 dumps.
constexpr std::size_t kMaxBankFileSize = 64u << 20;
// A file of more entries than this is neither read to its end nor split: a
// split writes at most 50 banks of sounds and 50 of multis.
constexpr std::size_t kMaxSplitEntries = 5000;
// Why a load put a file back: it was hidden by a split that cannot be
// finished, or whose note proves nothing of it.
inline constexpr const char* kFoundHidden = "found hidden by a split";
// Why a load left out a bank a split hid: it cannot take its name back (a
// folder the editor cannot write); the reason follows.
inline constexpr const char* kKeptHidden = "kept hidden";
// Files of this size or less are not bank files.
constexpr std::size_t kMinBankFileSize = 30001;
// A save, an import or a reload the window starts gives up when a folder's
// lock is not free within this time, and says so with this text.
constexpr std::chrono::milliseconds kSaveLockWait{2000};
inline constexpr const char* kFolderBusy = "Folder busy, try again";
// Said after what a save or an import wrote, when the reload after it could
// not take a folder's lock.
inline constexpr const char* kNotRefreshed = "folders busy, not read again";

class PatchLibrarian {
 public:
  PatchLibrarian() = default;
  ~PatchLibrarian();
  PatchLibrarian(const PatchLibrarian&) = delete;
  PatchLibrarian& operator=(const PatchLibrarian&) = delete;

  // ---- The lock and what it guards.
  std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock<std::recursive_mutex>(mMutex); }
  LibraryContents& contents() { return mContents; }
  const LibraryContents& contents() const { return mContents; }
  // A bank of one of the four lists, kept alive for the caller; null when
  // there is none. Read it only: banks may be shared with other instances.
  std::shared_ptr<PatchFile> bankAt(int list, int index) const;
  // The same bank for its names only: a category bank's entries may not be
  // made yet.
  std::shared_ptr<PatchFile> bankHeaderAt(int list, int index) const;
  // The same bank for changing: a bank of the shared load is first copied
  // into this library, so the other instances keep what they show.
  std::shared_ptr<PatchFile> bankForEdit(int list, int index);
  // The number of banks of one of the four lists.
  int bankCount(int list) const;

  // ---- Received dumps.
  // Copies the entry into the slot of the bank selected in the upper pane,
  // after holding that bank at 100 entries; false when no such slot.
  bool setSysexDatatoSelectedSlot(const LibrarianPatch* entry, int slot);
  // A copy of an entry, or an empty one where there is none.
  LibrarianPatch entryAt(int dataType, int bank, int slot) const;
  // Appends a bank of kPatchesPerBank empty entries; returns its index.
  int addBank(int dataType, const std::string& fileName);
  // The same, as a bank file directly in the library folder would be: in
  // its folder tree, saved there under its file name.
  int addBankInLibraryFolder(int dataType, const std::string& fileName);

  // Destroys the nodes of one tree (0 sound, 1 multi, 2 category, 3 search);
  // the banks stay. Other values do nothing.
  void clearDataStructures(int tree);

  // ---- Reading bank files.
  // Fills the bank from a whole file image of size bytes, pads it to 100
  // entries and merges its categories. Images under 15 bytes leave it as is.
  void loadFromChunk(const Bytes& data, int size, PatchFile* bank, int = 0);
  // Read the next dump at or after pos into the bank when it is accepted;
  // -1 when no further dump start exists, else the position after it.
  int readSysexMessage(const Bytes& data, int& pos, PatchFile* bank, int format, int slot);
  int readMIDIMessage(const Bytes& data, int& pos, PatchFile* bank, int format, int slot);

  // ---- Conversion of Q and Rerover sound dumps, in place.
  static void alterPatchFromQFormat(PatchSysexMessage* dump);
  static void alterPatchFromReroverFormat(PatchSysexMessage* dump);
  static void alterReroverCategoryFormat(PatchSysexMessage* dump);

  // ---- Padding to 100 entries.
  static void checkBankSizeAndAddData(PatchFile* bank);
  static void fillUncompletedBankFiles(PatchFile* bank);
  // A copy brought to the 100 entries a bank file holds, every entry without
  // a dump (a slot nothing was received into) holding an init sound or init
  // multi: a file the library lists, each sound in its slot.
  static void padForSaving(PatchFile& bank);

  // ---- Saving. Every file goes to a temporary file beside the target and
  // is renamed over it, so a failed write leaves the old file. A bank's file
  // is compared with the bank's stamp under the file's lock: when it changed
  // since it was read (another program, instance or process wrote it), the
  // user chooses to replace it, to keep both (the bank goes to the next free
  // name) or to save nothing. Save, Save As and Import never replace a file
  // that holds more than one bank or data the library does not keep: the
  // user keeps both or cancels, told why. "As read" means the same stamp and
  // the same content. Only regular files are read or written: a named pipe,
  // a device or a folder at the path is refused. A save that cannot take
  // the folder's lock within lockWait saves nothing. Every failure is shown
  // through showFailure.
  // Writes the selected bank to path; name's extension picks the format.
  bool saveEditedPatch(std::string path, std::string name);
  // Asks for a file and writes the selected bank there; false when the user
  // chose none or nothing could be written. A name without a bank file's
  // extension gets ".tvx" (".mid" in MIDI File format). The pane keeps the
  // name written.
  bool savePatchAs(const char* folder, std::string name, bool midi);
  // A bank saved outside the library folders, which a reload does not read,
  // listed again in list (what the file holds, or the bank as saved when it
  // cannot be read back): the pane stays on the file it saves to. Its index;
  // -1 for a bank in the library folders.
  int listSavedOutside(const std::shared_ptr<PatchFile>& saved, int list);
  // Copies a bank file into the library folder under its own name; a file
  // that cannot be read whole, or that holds more entries than a split
  // takes, writes nothing. Where a bank of that name is there already, the
  // user is asked: replace it, keep both (the copy takes a free name) or
  // import nothing.
  // writtenPath: the path of the file written.
  bool importBankFile(const std::string& chosenPath, const std::string& patchesFolder,
                      std::string* writtenPath = nullptr);
  // Takes back the copy the last import wrote at path when the library does
  // not list it (the reload could not split it): true when it was removed.
  // A copy that replaced a bank, that changed since, or whose bytes are no
  // longer in the file chosen stays.
  bool withdrawImport(const std::string& path);
  // Why a split of bank (read from a file of that extension) would leave
  // the file out of the library: a piece of it would be left out, so it is
  // not split. "" when every piece would be listed.
  std::string whySplitLeavesOut(const PatchFile& bank, const std::string& extension);
  // Whether the library lists the bank file at path (in the library folder
  // at libraryFolder): read from it, or from the pieces of its split. "" when
  // it does, else why not: the reason it was left out for.
  std::string whyNotListed(const std::string& path, const std::string& libraryFolder) const;
  // The number of whole entries of the bank file at path that the library
  // does not list (a file listed in part), with the reason; 0 when it lists
  // every one it read.
  std::size_t entriesNotListed(const std::string& path, std::string* why = nullptr) const;
  // The number of entries a file image holds, as a load reads them (at most
  // one more than maxSplitEntries); nothing in the library changes.
  // unconverted: set when the load would leave out a sound it cannot convert.
  std::size_t countEntries(const Bytes& data, bool* unconverted = nullptr);

  // ---- Loading the library folder.
  // Loads root (without a trailing "/") and replaces the library with it;
  // a missing root changes nothing. The load becomes the process's shared
  // one for root.
  void loadPatchesFromFilesystem(std::string root);
  // The same, but an instance of the process that holds a load of root
  // gives it: the folder is read once for all.
  void loadSharedPatches(std::string root);
  // The same on a worker: returns at once, and the library is empty until
  // the load arrives (takeArrival). A library destroyed before lets it go.
  void loadSharedPatchesInBackground(std::string root);
  // False while a load started in the background has not arrived.
  bool loaded() const;
  // Waits for that load; only for threads that may wait (never the host's),
  // and never under lock().
  void waitUntilLoaded() const;
  // A background load still running no longer reaches this library or its
  // hooks; for an owner about to go.
  void detachBackgroundLoad();
  // True once after each background load arrived: the window shows it.
  bool takeArrival() { return mArrivalUnseen.exchange(false); }
  // The next loadSharedPatches of this library's folder reads it again: a
  // bank file in it was written.
  void forgetSharedLoad();
  // Appends every directory below folder, deepest first; a directory met
  // again through a link is not walked twice.
  void buildFolderStructure(const std::string& folder, std::vector<std::string>* folders);
  // Reads one bank file; null when it was split and moved away, or when it
  // holds too many entries or could not be split (it then stays as it is).
  std::shared_ptr<PatchFile> parseFolderFiles(Poco::File file, Poco::Path path, int depth, int, int,
                                              std::string extension);
  // Empties the library and loads root again, as the window asks: when a
  // folder's lock stays with another holder for lockWait, the library stays
  // as it was, the failure is shown and the result is false (folderBusy).
  bool initBankFilesOnDiscard(std::string root);

  // ---- Browser folder trees.
  void createSingleFolderFilesStructure(PatchFile* bank, std::string = {});
  void createMultiFolderFilesStructure(PatchFile* bank, std::string = {});

  // ---- Categories and generated banks.
  void createCategories(PatchFile* bank);
  void createNewCategoryPatchFiles();
  // The category names, banks and tree again from the sound banks as they
  // are now, so that entries received since the load are listed, and the
  // search results' entries of the sounds edited since. An edit that leaves
  // every sound in its category (a rename, a dump received over one) only
  // has the entries of its banks made anew, each in its place; one that moves
  // a sound has every category bank built again. Built apart (through
  // hooks.fileWork) and put in whole: the lock is held only to take the banks
  // and to put the lists in. False, nothing put in, when the sound banks,
  // the names or the search changed meanwhile or a later build was put in
  // first. Never under lock(): the MIDI threads let in meanwhile may wait
  // for it.
  bool refreshCategories();
  // The search banks and tree of the sounds whose names hold the text, built
  // and put in as the categories are; a later search put in first stays.
  // The search stays open: every reload runs it again on what it read.
  // Never under lock(), as above.
  void createNewSearchPatchFiles(std::string text);
  // The search is closed: a reload runs it no more.
  void closeSearch();
  // One split pass over an oversized bank (pass -1 first). The new file
  // never replaces one: it takes a free name.
  void createNewPatchFile(PatchFile* source, std::string newFolderName, std::string sourceFileName,
                          std::string extension, std::string sourcePath, int, int pass, bool standardMidiFile,
                          bool multis, bool = false);

  // ---- Selections, written by the browser and the protocol engine.
  std::atomic<int> upperBank{0};
  std::atomic<int> lowerBank{0};
  std::atomic<int> librarianMode{0};  // 0 sounds, 1 multis
  std::atomic<int> targetSlot{0};     // -1 when no slot is selected
  std::atomic<int> mSelectedLowerSlot{-1};
  std::atomic<int> currentProgram{0};
  // ---- Split state of the last load.
  std::atomic<int> splitPassCount{0};
  std::atomic<bool> reloadAfterSplit{false};
  // The load met a file that another load split (or that went) while this
  // one read it: it reads the folder once more, also in its own reload.
  std::atomic<bool> splitElsewhere{false};
  std::atomic<bool> fileSplit{false};
  // The last initBankFilesOnDiscard found a folder busy: nothing was read.
  std::atomic<bool> folderBusy{false};

  // The upper pane's stored folder and bank file names, which the writers
  // update; read and write them under lock().
  std::string upperFolderName;
  std::string upperSoundFileName;
  std::string upperMultiFileName;

  // Set by the plug-in before the first load.
  LibraryHooks hooks;
  std::size_t maxBankFileSize = kMaxBankFileSize;
  std::size_t maxSplitEntries = kMaxSplitEntries;
  std::chrono::milliseconds lockWait = kSaveLockWait;

 private:
  BankList& listFor(int list);
  // The sound banks for a build beside the lock: each of a shared load
  // itself, each of this library's own as a copy, which no edit changes.
  // listed: the list as it is.
  BankList soundBanksToRead(BankList* listed = nullptr) const;
  // Runs a build of lists through hooks.fileWork.
  void runBesideHost(const std::function<void()>& work) const;
  // What the category banks list their sounds from (under lock()); the
  // banks of the load when they are still the load's.
  LibraryContents::ListedFrom categoriesSource() const;
  const BankList* listOf(int list) const;
  std::shared_ptr<PatchFile> selectedBank();
  void log(const std::string& line) const;
  int readDump(const Bytes& data, int& pos, PatchFile* bank, int format, int slot);
  // The dumps of an image into the bank, unpadded; false when there are
  // more than maxSplitEntries or the image is too short to hold one.
  bool readEntries(const Bytes& data, int size, PatchFile* bank);
  void fail(const std::string& what, const std::string& why) const;
  // Why a file must not be replaced by a bank: it holds more than one bank
  // (over 100 entries, or too large to read) or data the library does not
  // keep. `what` finishes a sentence naming the file; `status` is the short
  // reason shown when nothing was saved. onDisk: the file's bytes, if read.
  struct KeptData {
    std::string what;
    std::string status;
  };
  std::optional<KeptData> keptIn(const std::optional<Bytes>& onDisk, std::uint64_t size);
  // Whose choice replacing the file at a save's path is.
  enum class SaveTarget {
    kOwnFile,  // the bank's own file: replaced unasked while it is as read
    kPicked,   // a file the user picked to save over
    kUnseen,   // a name the user did not pick as it is: asked first
  };
  // Writes a bank's image to path under the file's lock, asking first when
  // the file is not as the bank was read or not the user's pick; the bank's
  // own file then holds the stamp of what was written. The path written
  // (another when both files were kept), or "", shown, when nothing was.
  std::string writeBankFile(const std::string& path, const Bytes& image, const std::shared_ptr<PatchFile>& bank,
                            SaveTarget target);
  // The bank now stands for the file written (under lock()): its name, its
  // folders below libraryFolder (or the path, outside it) and its stamp.
  void placeBankAt(PatchFile& bank, const std::string& written, std::string libraryFolder, const Bytes& image);
  // The bank takes the file written (take names it so, under lock()). The
  // file it stood for, at readPath, keeps its place in the list and the
  // trees as a bank of its own: the shared bank it was copied from, or else
  // the file as it is on disk. The bank takes the entry of the file written,
  // a new one when none lists it, and the upper pane stays on it.
  void bankTakesFile(const std::shared_ptr<PatchFile>& bank, const std::string& readPath, const std::string& written,
                     const std::function<void(PatchFile&)>& take);
  // The bank file at path as a load lists it (of bankType, 100 entries);
  // null when a load would not list it as it is. Touches no state.
  std::shared_ptr<PatchFile> bankOnDisk(const std::string& path, int bankType);
  // loadFromChunk without the categories; false when the image was not
  // read to its end (too many entries) or holds nothing to read. Touches no
  // state of the library: files are read on several threads.
  bool fillBank(const Bytes& data, int size, PatchFile* bank);
  // A bank file read into a new bank, apart from the library.
  struct ReadBank {
    std::shared_ptr<PatchFile> bank;
    bool readable = false;  // the file could be read
    bool whole = false;     // and was read to its end
    std::optional<userfiles::FileStamp> stamp;  // the file's, taken before it was read
  };
  // stamp: the file's as the caller took it before, else taken here.
  ReadBank readBankFile(const std::string& full, const Poco::Path& path, int depth,
                        std::optional<userfiles::FileStamp> stamp = std::nullopt);
  // What the library makes of a bank read: categories, split, filling, the
  // bank lists; the bank to hang into a tree, or null.
  std::shared_ptr<PatchFile> takeBank(ReadBank read, const std::string& full, const std::string& extension);
  // The walk of one load into this (private) library; nesting counts the
  // reloads after splits.
  void scanLibrary(const std::string& root, int nesting);
  // Root without trailing slashes; false, logged, when there is no such folder.
  bool foundRoot(std::string& root) const;
  // Reads root into a load to share; takes a load in place of the library.
  std::shared_ptr<const SharedLoad> readShared(const std::string& root) const;
  // With lockWait, null when a folder's lock stayed with another for it.
  static std::shared_ptr<const SharedLoad> readFolder(const std::string& root, const LibraryHooks& hooks,
                                                      std::size_t maxFileSize, std::size_t maxEntries,
                                                      std::optional<std::chrono::milliseconds> lockWait = {});
  // The lock of path's folder, waited for until the load's deadline when it
  // has one; a lock that stays busy ends the load (mFolderBusy).
  std::unique_ptr<userfiles::FileLock> folderLock(const std::string& path);
  // Notes the stamp of what path names now, before it is read.
  void stamp(const std::string& path);
  // Notes and logs a file left out of the library (or read with a fault).
  void leaveOut(const std::string& path, const std::string& reason, bool listed = false, std::size_t unlisted = 0);
  // Why the last split failed, for the list of files left out; unplaced:
  // "Converted Banks" could not take its source, which stays where it was.
  std::string lastSplitFailure;
  bool lastSplitUnplaced = false;
  void adopt(std::shared_ptr<const SharedLoad> load, std::string key);
  void hangIntoTree(FolderTree& tree, PatchFile* bank);
  // One split pass over the entries of one kind, collected in source order;
  // the new bank, named after the file it is to be written to, and its file
  // image, or null when the pass had nothing to cut.
  std::shared_ptr<PatchFile> splitPass(const std::vector<const LibrarianPatch*>& collected, bool multis, int pass,
                                       const std::string& stem, const std::string& extension,
                                       const std::string& folderName, bool standardMidiFile, Bytes* image);
  // The pieces a split of bank writes, in the order it writes them.
  struct SplitPiece {
    std::shared_ptr<PatchFile> bank;
    Bytes image;
  };
  std::vector<SplitPiece> splitPieces(const PatchFile& bank, const std::string& extension, bool standardMidiFile);
  // Why the loader would leave out a bank file of this image ("too short",
  // "too large", "without sounds"); "" when it would list it.
  std::string whyPieceLeftOut(const Bytes& image);
  // Splits an oversized bank into new files beside its source and moves
  // the source away; false, with no new file left, when that cannot be done
  // whole.
  bool splitBankFile(const PatchFile& bank, const std::string& sourcePath, const std::string& extension,
                     bool standardMidiFile);
  // What a temporary file a stopped writer left is to the load that takes
  // up killed splits: no note, a note taken up, a note of another file's
  // split (with source), or damage: a note that cannot be read, or one that
  // names more than plain names of files of its own library folder, for
  // which nothing is done. Of damage, what it still tells of the source's
  // name and of the hidden name the source took (plain names only).
  struct NoteTaken {
    enum Kind { kNoNote, kTakenUp, kOtherSplit, kDamage } kind = kNoNote;
    std::string source;
    std::string hiddenSource;
  };
  // Takes up the note of a split that a killed process left: its hidden
  // pieces get their names when the note records that the source left its
  // folder (a source still under its hidden name is put into "Converted
  // Banks" first), else they go; a hidden file that does not prove to be
  // the piece it is named as is put back instead. A hidden file the note names as its source
  // is never left to the sweep: what the note cannot prove to be the source,
  // or what cannot be put where the move puts it, is put back under the
  // source's name. With source, only notes of that file's split are taken
  // up. kept: gets the note and the files it names when the source could be
  // neither moved on nor put back; they must stay for the next load.
  NoteTaken finishSplit(const std::string& notePath, const std::string* source, bool libraryFolder,
                        std::vector<std::string>* kept);
  // Removes the temporary files that killed writers left in folder, after
  // taking up the notes of splits among them. splitsEnded: no split of the
  // folder is under way (its lock is held), so notes of any age are taken up.
  // With source, only the notes of that file's splits are taken up. A file
  // of more than one bank among them (in a library folder, or beside a note
  // that is damage) may be the only copy of a split's source: it is put back
  // under a name of its own, never removed.
  void clearStaleFiles(const std::string& folder, bool splitsEnded = false, const std::string* source = nullptr,
                       bool libraryFolder = true);
  // Renames a hidden file back under name in its folder (or a free name
  // like it); with said, the load's status names it. False when it stays,
  // which the load's status says; else path gets where it went.
  bool putBack(const std::string& hiddenPath, const std::string& name, bool said, std::string* path = nullptr);
  // The SHA-1 of each piece a split of the file at path writes, with the
  // piece's name; none when it is no file that is split.
  std::map<std::string, std::string> piecesOf(const std::string& path);
  // The pieces of the files in "Converted Banks", as piecesOf gives them;
  // read once a load, when a hidden file needs them.
  const std::map<std::string, std::string>& convertedPieces();
  // Whether the hidden file at path is a piece of a file in "Converted
  // Banks": then it is put back under the piece's name, and said (removed
  // when a listed file holds it already; kept gets it when it can take no
  // name). False, and nothing done, for any other file.
  bool tookUpConvertedPiece(const std::string& path, std::vector<std::string>* kept);
  // Whether a bank file of the library folders holds bytes of that SHA-1,
  // whole or as a piece its split writes, under any name (read once a load,
  // when a hidden file needs them).
  bool listsBytes(const std::string& sha1);
  // Adds a file now in the library folders to what listsBytes knows.
  void noteListed(const std::string& path);
  // Names in the load's status a bank that stays hidden, under the name it
  // was to take, with why (an errno value) it could not take it.
  void keptHidden(const std::string& path, int error);
  // Whether the file holds more than one bank, as a load reads it (a split
  // hides such a file); smf: set when it is a Standard MIDI File.
  bool holdsMoreThanABank(const std::string& path, bool* smf);
  // Moves the file at sourcePath into "Converted Banks" under name (or a
  // free name like it); false, errno saying why, when it cannot go there.
  bool moveToConvertedBanks(const std::string& sourcePath, const std::string& root, const std::string& name);

  // The file the last import wrote under a free name, as it wrote it.
  struct ImportCopy {
    std::string path;
    std::optional<userfiles::FileStamp> stamp;
    std::string chosen;
    std::uint64_t digest = 0;
  };
  ImportCopy mImportCopy;

  mutable std::recursive_mutex mMutex;
  LibraryContents mContents;
  // The load the contents came from, kept while its banks are shown, and its key.
  std::shared_ptr<const SharedLoad> mLoad;
  std::string mLoadKey;
  std::string mRoot;  // of the load running in this library
  std::optional<std::map<std::string, std::string>> mConvertedPieces;  // of the load running
  // Of the load running: the SHA-1s of the library folders' bank files and of
  // the pieces their splits write.
  std::optional<std::set<std::string>> mListedBytes;
  std::unordered_set<std::string> mVisited;  // canonical paths of the current walk
  // Set for a load the window starts: no folder lock is waited for past it.
  std::optional<std::chrono::steady_clock::time_point> mLockDeadline;
  bool mFolderBusy = false;  // a lock stayed busy: the load ends, nothing of it is kept
  // A load running on a worker. The worker reaches the library (its log,
  // the hand-over) under `reach` only while the library is there; `state`
  // guards only whether the load is over, so that asking never waits for
  // the worker's calls.
  struct PendingLoad {
    std::mutex reach;
    PatchLibrarian* library = nullptr;
    std::mutex state;
    std::condition_variable done;
    bool arrived = false;
    void finish();
  };
  std::shared_ptr<PendingLoad> mPending;
  // The builds of the categories and of the searches started and the last
  // put in, under mMutex: an older build never replaces a later one.
  struct Builds {
    std::uint64_t started = 0;
    std::uint64_t shown = 0;
  };
  Builds mCategoryBuilds;
  Builds mSearchBuilds;
  // The text of the search open, under mMutex; empty when none is.
  std::string mSearchText;
  // Runs the search open again on the lists a reload put in.
  void searchAgain();
  std::atomic<bool> mArrivalUnseen{false};
};

// The folder a split moves its source into: "Converted Banks" beside the
// library folder root, with a closing slash.
std::string convertedBanksFolder(const std::string& root);

// Removes every occurrence of each character of chars from text.
void removeCharsFromString(std::string& text, const char* chars);
