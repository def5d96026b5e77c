// Loading the library folder "Patches": every folder at any depth, deeper
// folders first, root files last; files of one folder in byte order of
// their paths. A file of more than 100 entries is split, moved to
// "Converted Banks", and the library is read once more. "Converted Banks"
// is never read as part of the library, nor any folder twice.
#include <Poco/DirectoryIterator.h>
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

#include "FileLock.h"
#include "PatchLibrarian.h"
#include "SharedLibraryLoads.h"
#include "UserFiles.h"

namespace {
// Threads that read a load's files, the loading one included.
constexpr unsigned kReadingThreads = 4;
// The coarsest clock of the file systems' stamps, in seconds (FAT: two).
constexpr long kCoarsestClockSeconds = 2;

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool exists(const std::string& path) {
  try {
    return Poco::File(path).exists();
  } catch (const Poco::Exception&) {
    return false;
  }
}

// The number of directories above a path, read as a folder.
int folderDepth(const std::string& folder) {
  Poco::Path path(folder);
  path.makeDirectory();
  return path.depth();
}

// Set as the module goes: a load's wait for a folder's lock ends there.
std::atomic<bool> gUnloading{false};

// Background loads outlive the instance that started them, but not the
// module: a host that unloads the plug-in while one still reads waits for it
// here, since its code goes with the module. Nobody takes what it reads any
// more: a wait for a folder another process holds is given up, so the host's
// exit never waits for that process.
class BackgroundLoads {
 public:
  ~BackgroundLoads() {
    gUnloading = true;
    std::lock_guard<std::mutex> guard(mMutex);
    for (Load& load : mLoads) load.thread.join();
  }
  void start(std::function<void()> work) {
    std::lock_guard<std::mutex> guard(mMutex);
    // Finished loads are joined as new ones start: none is kept for long.
    std::erase_if(mLoads, [](Load& load) {
      if (!load.done->load()) return false;
      load.thread.join();
      return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([work = std::move(work), done] {
      pthread_setname_np(pthread_self(), "tvx-library");
      work();
      done->store(true);
    });
    mLoads.push_back({std::move(thread), std::move(done)});
  }

 private:
  struct Load {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::mutex mMutex;
  std::vector<Load> mLoads;
};

BackgroundLoads gBackgroundLoads;
}  // namespace

bool PatchLibrarian::foundRoot(std::string& root) const {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (exists(root)) return true;
  log("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
  return false;
}

void PatchLibrarian::loadPatchesFromFilesystem(std::string root) {
  if (!foundRoot(root)) return;
  const std::string key = SharedLibraryLoads::keyOf(root);
  std::shared_ptr<const SharedLoad> load = readShared(root);
  SharedLibraryLoads::publish(key, load);
  adopt(std::move(load), key);
  searchAgain();
}

void PatchLibrarian::loadSharedPatches(std::string root) {
  if (!foundRoot(root)) return;
  const std::string key = SharedLibraryLoads::keyOf(root);
  adopt(SharedLibraryLoads::take(key, [&] { return readShared(root); }), key);
  searchAgain();
}

PatchLibrarian::~PatchLibrarian() { detachBackgroundLoad(); }

void PatchLibrarian::PendingLoad::finish() {
  {
    std::lock_guard<std::mutex> guard(state);
    arrived = true;
  }
  done.notify_all();
}

void PatchLibrarian::detachBackgroundLoad() {
  if (!mPending) return;
  // A load still running finds no library to hand its banks to, and logs
  // nothing more; waiting for it ends.
  {
    std::lock_guard<std::mutex> guard(mPending->reach);
    mPending->library = nullptr;
  }
  mPending->finish();
}

void PatchLibrarian::loadSharedPatchesInBackground(std::string root) {
  auto pending = std::make_shared<PendingLoad>();
  pending->library = this;
  mPending = pending;
  // The worker logs through the pending load: the editor's log goes with
  // the library.
  LibraryHooks workerHooks;
  if (hooks.debugLog)
    workerHooks.debugLog = [pending](const std::string& line) {
      std::lock_guard<std::mutex> guard(pending->reach);
      if (pending->library) pending->library->log(line);
    };
  gBackgroundLoads.start([pending, root = std::move(root), workerHooks, maxFile = maxBankFileSize,
                          maxEntries = maxSplitEntries]() mutable {
    std::string key;
    std::shared_ptr<const SharedLoad> load;
    std::string trimmed = root;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    if (exists(trimmed)) {
      key = SharedLibraryLoads::keyOf(trimmed);
      load = SharedLibraryLoads::take(key, [&] { return readFolder(trimmed, workerHooks, maxFile, maxEntries); });
    } else if (workerHooks.debugLog) {
      workerHooks.debugLog("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
    }
    {
      std::lock_guard<std::mutex> guard(pending->reach);
      if (PatchLibrarian* library = pending->library) {
        if (load) library->adopt(std::move(load), key);
        library->log("PATCH LIBRARIAN COMPLETED FILE LOADING...");
        library->mArrivalUnseen = true;
      }
    }
    pending->finish();
  });
}

bool PatchLibrarian::loaded() const {
  if (!mPending) return true;
  std::lock_guard<std::mutex> guard(mPending->state);
  return mPending->arrived;
}

void PatchLibrarian::waitUntilLoaded() const {
  if (!mPending) return;
  std::unique_lock<std::mutex> guard(mPending->state);
  mPending->done.wait(guard, [this] { return mPending->arrived; });
}

void PatchLibrarian::forgetSharedLoad() {
  std::string key;
  {
    auto guard = lock();
    key = mLoadKey;
  }
  if (!key.empty()) SharedLibraryLoads::forget(key);
}

std::shared_ptr<const SharedLoad> PatchLibrarian::readShared(const std::string& root) const {
  return readFolder(root, hooks, maxBankFileSize, maxSplitEntries);
}

std::shared_ptr<const SharedLoad> PatchLibrarian::readFolder(const std::string& root, const LibraryHooks& hooks,
                                                             std::size_t maxFileSize, std::size_t maxEntries,
                                                             std::optional<std::chrono::milliseconds> lockWait) {
  // The load runs on a private library; readers of this one see the old
  // banks until the new ones are swapped in whole.
  PatchLibrarian staged;
  staged.hooks = hooks;
  staged.maxBankFileSize = maxFileSize;
  staged.maxSplitEntries = maxEntries;
  if (lockWait) staged.mLockDeadline = std::chrono::steady_clock::now() + *lockWait;
  staged.scanLibrary(root, 0);
  if (staged.mFolderBusy) return nullptr;
  auto load = std::make_shared<SharedLoad>();
  load->contents = std::move(staged.mContents);
  load->splitPassCount = staged.splitPassCount;
  for (const BankList* list : {&load->contents.soundBanks, &load->contents.multiBanks, &load->contents.categoryBanks})
    for (const auto& bank : *list) bank->shared = true;
  return load;
}

std::unique_ptr<userfiles::FileLock> PatchLibrarian::folderLock(const std::string& path) {
  std::optional<std::chrono::milliseconds> wait;
  if (mLockDeadline)
    wait = std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      *mLockDeadline - std::chrono::steady_clock::now()));
  auto held = std::make_unique<userfiles::FileLock>(path, wait, &gUnloading);
  if (held->busy()) {
    log("PATCH LIBRARIAN: folder of " + path + " busy, the load ends");
    mFolderBusy = true;
  }
  return held;
}

void PatchLibrarian::stamp(const std::string& path) {
  if (auto now = userfiles::StampOf(path)) mContents.stamps.emplace_back(path, *now);
}

void PatchLibrarian::leaveOut(const std::string& path, const std::string& reason, bool listed, std::size_t unlisted) {
  log(std::string(listed ? "PATCH LIBRARIAN: read file " : "PATCH LIBRARIAN: left out file ") + path + " (" + reason +
      ")");
  auto guard = lock();
  mContents.leftOut.push_back({path, reason, listed, false, unlisted});
}

std::string leftOutStatusText(const std::vector<LibraryContents::LeftOut>& leftOut) {
  // Every file, in load order: the window cuts what it cannot show, and the
  // debug log has the whole text. A file listed with a fault (a dump cut
  // short) is named apart: it is in the library; so is one put back.
  std::string out, faulty, back;
  for (const auto& file : leftOut) {
    std::string& list = file.putBack ? back : file.listed ? faulty : out;
    list += (list.empty() ? "" : ", ") + Poco::Path(file.path).getFileName() + " (" + file.reason + ")";
  }
  std::string text;
  if (!out.empty()) text = "Left out of the library: " + out;
  if (!faulty.empty()) text += (text.empty() ? "Read with a fault: " : "; read with a fault: ") + faulty;
  if (!back.empty()) text += (text.empty() ? "Put back: " : "; put back: ") + back;
  return text;
}

LeftOutLines leftOutLines(const std::vector<LibraryContents::LeftOut>& leftOut) {
  LeftOutLines lines;
  std::vector<std::string> faulty, back;
  for (const auto& file : leftOut)
    (file.putBack ? back : file.listed ? faulty : lines.files)
        .push_back(Poco::Path(file.path).getFileName() + " (" + file.reason + ")");
  const auto files = [](size_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); };
  const size_t out = lines.files.size();
  if (out > 0 && faulty.empty()) lines.count = files(out) + " left out of the library";
  else if (out > 0) lines.count = files(out) + " left out, " + std::to_string(faulty.size()) + " read with a fault";
  else if (!faulty.empty()) lines.count = files(faulty.size()) + " read with a fault";
  if (!back.empty())
    lines.count = lines.count.empty() ? files(back.size()) + " put back"
                                      : lines.count + ", " + std::to_string(back.size()) + " put back";
  std::size_t unlisted = 0;
  for (const auto& file : leftOut) unlisted += file.unlisted;
  if (unlisted > 0)
    lines.count += ", " + std::to_string(unlisted) + (unlisted == 1 ? " entry" : " entries") + " not listed";
  lines.files.insert(lines.files.end(), faulty.begin(), faulty.end());
  // A file put back is what the user most needs to hear of: it comes first.
  lines.files.insert(lines.files.begin(), back.begin(), back.end());
  return lines;
}

void PatchLibrarian::adopt(std::shared_ptr<const SharedLoad> load, std::string key) {
  const LibraryContents& shared = load->contents;
  LibraryContents fresh;
  fresh.folders = shared.folders;
  fresh.soundBanks = shared.soundBanks;
  fresh.multiBanks = shared.multiBanks;
  fresh.categoryBanks = shared.categoryBanks;
  fresh.soundTree = copyTree(shared.soundTree);
  fresh.multiTree = copyTree(shared.multiTree);
  fresh.categoryTree = copyTree(shared.categoryTree);
  fresh.categoryNames = shared.categoryNames;
  fresh.leftOut = shared.leftOut;
  fresh.splitPieces = shared.splitPieces;
  // The old contents' trees refer into the old load: they go first.
  LibraryContents old;
  std::shared_ptr<const SharedLoad> oldLoad;
  {
    auto guard = lock();
    old = std::move(mContents);
    mContents = std::move(fresh);
    oldLoad = std::move(mLoad);
    mLoad = std::move(load);
    mLoadKey = std::move(key);
    splitPassCount = mLoad->splitPassCount;
  }
  old = LibraryContents{};
}

bool PatchLibrarian::initBankFilesOnDiscard(std::string root) {
  folderBusy = false;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (exists(root)) {
    // The window waits: a folder another process keeps locked is given up
    // after lockWait, and nothing of the reading is kept.
    const std::string key = SharedLibraryLoads::keyOf(root);
    std::shared_ptr<const SharedLoad> load;
    const auto read = [&] { load = readFolder(root, hooks, maxBankFileSize, maxSplitEntries, lockWait); };
    if (hooks.fileWork) hooks.fileWork(read);
    else read();
    if (!load) {
      folderBusy = true;
      fail("Folders not refreshed!", kFolderBusy);
      return false;
    }
    SharedLibraryLoads::publish(key, load);
    adopt(std::move(load), key);
    // A search open lists what the folders hold now.
    searchAgain();
    return true;
  }
  log("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
  LibraryContents old;
  auto guard = lock();
  old = std::move(mContents);
  mContents = LibraryContents{};
  return true;
}

void PatchLibrarian::scanLibrary(const std::string& root, int nesting) {
  mRoot = root;
  mConvertedPieces.reset();
  mListedBytes.reset();
  splitElsewhere = false;
  // The pieces of this load's splits stay known to the reload that lists
  // them, and the files it put back stay named.
  auto splitPieces = std::move(mContents.splitPieces);
  auto putBack = std::move(mContents.leftOut);
  std::erase_if(putBack, [](const LibraryContents::LeftOut& file) { return !file.putBack; });
  mContents = LibraryContents{};
  if (nesting > 0) {
    mContents.splitPieces = std::move(splitPieces);
    mContents.leftOut = std::move(putBack);
  }
  mVisited.clear();
  mVisited.insert(canonical(root));
  // Where splits put their sources is no part of the library, even where a
  // link inside it leads there.
  mVisited.insert(canonical(convertedBanksFolder(root)));
  // A file changed in the same tick of the clock as this load cannot be
  // told by its stamp from a later rewrite: its content is noted too.
  timespec loadStart{};
  ::clock_gettime(CLOCK_REALTIME, &loadStart);
  const auto recent = [&](const userfiles::FileStamp& stamp) {
    return std::max(stamp.modified.tv_sec, stamp.changed.tv_sec) >= loadStart.tv_sec - kCoarsestClockSeconds;
  };
  // What writers killed in this load's folders left; the data folder and
  // "Converted Banks" take files too.
  const std::string dataFolder = userfiles::folderOf(root);
  if (!dataFolder.empty()) {
    clearStaleFiles(dataFolder, false, nullptr, false);
    clearStaleFiles(dataFolder + "Converted Banks", false, nullptr, false);
  }
  buildFolderStructure(root, &mContents.folders);
  mContents.folders.push_back(root);
  mListedBytes.reset();  // the folders are known now
  const int rootDepth = folderDepth(root);

  // The files to read, in load order, each stamped before it is read.
  struct Candidate {
    std::string full;
    std::string extension;
    int depth = 0;
    bool tooLarge = false;
    bool tooShort = false;
    userfiles::FileStamp stamp;
    ReadBank read;
  };
  std::vector<Candidate> candidates;
  const std::vector<std::string> folders = mContents.folders;
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    {
      // A split under way in the folder (of this process or another) ends
      // first: the folder is listed before it or after it.
      const auto held = folderLock(folder + "/");
      if (mFolderBusy) return;
      clearStaleFiles(folder, true);
      stamp(folder);
      try {
        Poco::File(folder).list(names);
      } catch (const Poco::Exception&) {
        log("PATCH LIBRARIAN: cannot list folder " + folder);
        continue;
      }
    }
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back(folder + "/" + name);
    std::sort(paths.begin(), paths.end());
    for (auto& full : paths) {
      const size_t dot = full.find_last_of("./");
      const std::string extension = dot != std::string::npos && full[dot] == '.' ? asciiLower(full.substr(dot + 1)) : "";
      if (extension != "mid" && extension != "syx" && extension != "tvx") continue;
      struct stat info {};
      if (::stat(full.c_str(), &info) != 0) continue;
      const userfiles::FileStamp stamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
      mContents.stamps.emplace_back(full, stamp);
      if (!S_ISREG(info.st_mode)) continue;
      const auto size = static_cast<std::size_t>(info.st_size);
      Candidate candidate;
      candidate.tooShort = size < kMinBankFileSize;
      candidate.tooLarge = size > maxBankFileSize;
      candidate.depth = Poco::Path(full).depth() - rootDepth;
      candidate.extension = extension;
      candidate.stamp = stamp;
      candidate.full = std::move(full);
      candidates.push_back(std::move(candidate));
    }
  }

  // The files are read and their dumps parsed on a few threads; what comes
  // of them (the log, categories, splits, lists and trees) follows in load
  // order on this one.
  std::atomic<size_t> next{0};
  const auto readSome = [&] {
    for (size_t i = next++; i < candidates.size(); i = next++) {
      Candidate& c = candidates[i];
      if (!c.tooLarge && !c.tooShort) c.read = readBankFile(c.full, Poco::Path(c.full), c.depth, c.stamp);
    }
  };
  const unsigned helpers = std::min<unsigned>(kReadingThreads - 1, static_cast<unsigned>(candidates.size() / 16));
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < helpers; ++t) threads.emplace_back(readSome);
  readSome();
  for (std::thread& thread : threads) thread.join();

  for (Candidate& c : candidates) {
    if (c.tooShort) {
      leaveOut(c.full, "too short");
      continue;
    }
    if (c.tooLarge) {
      log("PATCH LIBRARIAN: file too large to load " + c.full);
      leaveOut(c.full, "too large");
      continue;
    }
    if (c.read.bank && c.read.bank->digest && recent(c.stamp))
      mContents.digests.emplace_back(c.full, *c.read.bank->digest);
    const auto bank = takeBank(std::move(c.read), c.full, c.extension);
    if (mFolderBusy) return;
    if (!bank) continue;
    if (bank->bankType == 1) {
      createMultiFolderFilesStructure(bank.get());
    } else if (bank->bankType == 0) {
      createSingleFolderFilesStructure(bank.get());
    }
  }

  if (reloadAfterSplit) {
    reloadAfterSplit = false;
    // One reload reads the files a split wrote; a split met by that reload
    // waits for the next load instead of starting a chain. A file split by
    // another load meanwhile is read in its pieces by one more.
    if (nesting < 1 || (splitElsewhere && nesting < 2)) {
      scanLibrary(root, nesting + 1);
      return;
    }
  }
  createNewCategoryPatchFiles();
}

void PatchLibrarian::buildFolderStructure(const std::string& folder, std::vector<std::string>* folders) {
  if (!folders) return;
  try {
    Poco::DirectoryIterator it(folder);
    const Poco::DirectoryIterator end;
    for (; it != end; ++it) {
      try {
        if (!it->isDirectory()) continue;
      } catch (const Poco::Exception&) {
        continue;
      }
      const std::string path = folder + "/" + it.name();
      // Links are followed, but a folder is walked once: a link cycle ends.
      const std::string real = canonical(path);
      if (real.empty() || !mVisited.insert(real).second) continue;
      buildFolderStructure(path, folders);
      folders->push_back(path);
    }
  } catch (const Poco::Exception&) {
    log("PATCH LIBRARIAN: cannot list folder " + folder);
  }
}

std::shared_ptr<PatchFile> PatchLibrarian::parseFolderFiles(Poco::File file, Poco::Path path, int depth, int,
                                                            int, std::string extension) {
  ReadBank read = readBankFile(file.path(), path, depth);
  return takeBank(std::move(read), path.toString(), extension);
}

PatchLibrarian::ReadBank PatchLibrarian::readBankFile(const std::string& full, const Poco::Path& path, int depth,
                                                      std::optional<userfiles::FileStamp> stamp) {
  ReadBank read;
  read.stamp = stamp ? stamp : userfiles::StampOf(full);
  auto bank = std::make_shared<PatchFile>();
  bank->fileName = path.getFileName();
  const int dirs = path.depth();
  if (dirs > 0) bank->folderName = path.directory(dirs - 1);
  for (int d = std::max(0, dirs - (depth + 1)); d < dirs; ++d) bank->directories.push_back(path.directory(d));
  bank->patches.reserve(kPatchesPerBank);
  if (auto data = userfiles::readWholeFile(full, maxBankFileSize)) {
    read.readable = true;
    bank->digest = userfiles::digestOf(*data);
    read.whole = fillBank(*data, static_cast<int>(data->size()), bank.get());
  }
  read.bank = std::move(bank);
  return read;
}

std::shared_ptr<PatchFile> PatchLibrarian::takeBank(ReadBank read, const std::string& full,
                                                    const std::string& extension) {
  fileSplit = false;
  log("PATCH LIBRARIAN: loading file " + full);
  std::shared_ptr<PatchFile> bank = std::move(read.bank);
  bank->stamp = read.stamp;  // taken before the read: a change after it is seen at the next save
  const bool standardMidiFile = extension == "mid";
  if (!read.readable) {
    // Gone since its folder was listed: another load split it, or the user
    // moved it. The library is read once more.
    if (!userfiles::nameTaken(full)) {
      log("PATCH LIBRARIAN: file " + full + " went while it was read");
      splitElsewhere = true;
      reloadAfterSplit = true;
      return nullptr;
    }
    log("PATCH LIBRARIAN: cannot read file " + full);
    leaveOut(full, "cannot be read");
    return nullptr;
  }
  // Not offered: a pick of it would find no bank.
  const std::string unconverted = "a sound that cannot be converted";
  if (read.whole && bank->patches.empty()) {
    leaveOut(full, bank->unconverted ? unconverted : "no sounds found");
    return nullptr;
  }
  // Named whatever becomes of the file: the sound is in none of its banks.
  if (bank->unconverted) leaveOut(full, unconverted, true);
  if (read.whole) createCategories(bank.get());

  if (bank->patches.size() > maxSplitEntries) {
    log("PATCH LIBRARIAN: too many entries to split file " + full + ", it stays as it is");
    leaveOut(full, "more than " + std::to_string(maxSplitEntries) + " sounds");
    return nullptr;
  }
  if (bank->patches.size() > static_cast<size_t>(kPatchesPerBank)) {
    // A split writes only files this loader lists: pieces of dumps cut short
    // may be too short to be bank files. Nor is a split made whose source
    // cannot go into "Converted Banks". The file then stays as it is, and
    // its whole entries are listed as read (the first hundred of them), the
    // file named with the reason; one of no whole entry is left out.
    std::string why = whySplitLeavesOut(*bank, extension);
    if (why.empty()) {
      // The reload that reads the new files runs only when the source is
      // gone: a source left in place would be split again by every reload.
      if (splitBankFile(*bank, full, extension, standardMidiFile)) {
        fileSplit = true;
        reloadAfterSplit = true;
        return nullptr;
      }
      why = "not split: " + lastSplitFailure;
      if (mFolderBusy || !lastSplitUnplaced) {
        if (!mFolderBusy) leaveOut(full, why);
        return nullptr;
      }
    }
    log("PATCH LIBRARIAN: would split file " + full + " into files left out, it stays as it is");
    std::erase_if(bank->patches, [](const LibrarianPatch& entry) { return !entry.whole(); });
    if (bank->patches.empty()) {
      leaveOut(full, why);
      return nullptr;
    }
    bank->cutShort = bank->fileCutShort = false;  // named already
    bank->bankType = bank->patches.front().typeCode == kMultiFromFile ? 1 : 0;
    // One bank of the file is listed: how many whole entries that leaves
    // out is said with the file.
    const std::size_t whole = bank->patches.size();
    const std::size_t unlisted = whole > static_cast<std::size_t>(kPatchesPerBank) ? whole - kPatchesPerBank : 0;
    const std::string kind = bank->bankType == 1 ? " multis" : " sounds";
    leaveOut(full,
             unlisted == 0 ? why
                           : std::to_string(unlisted) + " of " + std::to_string(whole) + kind + " not listed, " + why,
             true, unlisted);
  }

  if (bank->cutShort)
    leaveOut(full, "a dump cut short", true);
  else if (bank->fileCutShort)
    leaveOut(full, "file cut short", true);
  // Every load is shared once done, and nothing changes its banks before:
  // the generated banks made at its end list their sounds.
  bank->shared = true;
  auto guard = lock();
  fillUncompletedBankFiles(bank.get());
  bank->holdAt(kPatchesPerBank);
  bank->indexNames();
  (bank->bankType == 0 ? mContents.soundBanks : mContents.multiBanks).push_back(bank);
  return bank;
}

std::string PatchLibrarian::whyNotListed(const std::string& path, const std::string& libraryFolder) const {
  auto guard = lock();
  const auto listsFile = [&](const std::string& file) {
    for (const BankList* list : {&mContents.soundBanks, &mContents.multiBanks})
      for (const auto& bank : *list)
        if (bank->pathIn(libraryFolder) == file) return true;
    return false;
  };
  if (listsFile(path)) return {};
  for (const auto& [piece, source] : mContents.splitPieces)
    if (source == path && listsFile(piece)) return {};
  for (const auto& left : mContents.leftOut)
    if (left.path == path) return left.reason;
  return "not listed by the library";
}

std::size_t PatchLibrarian::entriesNotListed(const std::string& path, std::string* why) const {
  auto guard = lock();
  for (const auto& left : mContents.leftOut)
    if (left.path == path && left.listed && left.unlisted > 0) {
      if (why) *why = left.reason;
      return left.unlisted;
    }
  return 0;
}

bool PatchLibrarian::moveToConvertedBanks(const std::string& sourcePath, const std::string& root,
                                          const std::string& name) {
  const std::string destination = convertedBanksFolder(root);
  if (::mkdir(destination.c_str(), 0777) != 0 && errno != EEXIST) return false;
  // An earlier original of the same name stays: this one takes a free name.
  if (userfiles::moveUnderFreeName(sourcePath, destination, name).empty()) {
    log("PATCH LIBRARIAN: cannot move file " + sourcePath);
    return false;
  }
  mConvertedPieces.reset();
  mListedBytes.reset();
  // On the disk in both folders before anything that trusts the move.
  userfiles::syncFolder(destination);
  userfiles::syncFolder(userfiles::folderOf(sourcePath));
  log("PATCH LIBRARIAN: moved file " + destination + " due to mismatching data in package!");
  return true;
}
